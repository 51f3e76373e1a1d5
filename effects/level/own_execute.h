// The steps shared by the entries that implement their own Execute on
// CEffEntry alone (Normalize, Offset, Silence, Sign reverse): the start of
// an Execute with settings, and a fixed gain over the selection.
#pragma once

#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

// The start of such an Execute: 0xFFFFFFFB without a selection; else the
// entry's params for the target's selection, set up from its last-used
// block (the defaults at first use) through the dialog by
// SetupEntrySettings with `fill`; the store keeps the result, or its old
// block when the setup fails.
[[nodiscard]] Error BeginOwnExecute(CEffEntry& entry, SoundDocument* target, SettingsFill fill,
                                    CEffEntry::SetupParamsPtr* params);

// Execute of an entry whose effect is one gain: 0xFFFFFFFB without a
// selection; else `factor` for the selected channels (1 for the others)
// through the document's range-gain operation, one undo step named by the
// entry.
[[nodiscard]] Error ExecuteFixedGain(CEffEntry& entry, SoundDocument* target, float factor);

}  // namespace tidemark
