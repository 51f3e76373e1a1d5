// The steps shared by the entries that implement their own Execute on
// CEffEntry alone (Normalize, Offset, Silence, Sign reverse): the setup of
// their settings through the dialog, and a fixed gain over the selection.
#pragma once

#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

// Loads the entry's last-used block (the defaults at first use) clamped to
// its ranges for the target's rate, lets the settings dialog edit it when
// the entry has one (clamping what it wrote), and keeps the result as the
// last-used block in `*block` and the entry's store. 3 when a dialog is needed and none can be
// shown, 4 when it is cancelled (the store then keeps its old block).
[[nodiscard]] Error SetupOwnSettings(CEffEntry& entry, const CEffEntry::SetupParams& params, SettingsBlock* block);

// The start of such an Execute: 0xFFFFFFFB without a selection; else the
// entry's params for the target's selection and its settings as
// SetupOwnSettings leaves them.
[[nodiscard]] Error BeginOwnExecute(CEffEntry& entry, SoundDocument* target, CEffEntry::SetupParamsPtr* params,
                                    SettingsBlock* block);

// Execute of an entry whose effect is one gain: 0xFFFFFFFB without a
// selection; else `factor` for the selected channels (1 for the others)
// through the document's range-gain operation, one undo step named by the
// entry.
[[nodiscard]] Error ExecuteFixedGain(CEffEntry& entry, SoundDocument* target, float factor);

}  // namespace tidemark
