// Offset: adds a DC offset to the selected channels through the document's
// range-offset operation, either the one that removes the measured offset
// (an offset scan in double precision, with progress and cancel) or a
// fixed value.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_OFFSET {

// Block (8 bytes), console names in quotes:
//   +0 i16 "mode": 0 measure and remove, 1 fixed value; default 0
//   +2 two reserved bytes, kept 0
//   +4 f32 "value": the fixed offset, -1.0..1.0 (full scale), default 0.0
inline constexpr std::uint32_t kBlockSize = 8;

enum Mode : std::int16_t { kMeasure = 0, kFixed = 1 };

struct MySetupParams : CEffEntry::SetupParams {
  std::int16_t mode = kMeasure;
  float value = 0.0f;
};

class CMyEffEntry : public CEffEntry {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  // Mode 0: channel c of the mask gets −(sum_c / length); mode 1: the
  // value. Channels outside the mask get 0. One undo step. 0xFFFFFFFB
  // without a selection, 0xFFFFFFFF when the scan is cancelled, 3 or 4 from
  // the dialog.
  [[nodiscard]] Error Execute(SoundDocument* target) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_OFFSET
