// Normalize: brings the selected channels to a target level, measured as
// the peak, the loudest one-second window (short-term RMS peak) or the RMS
// of the selection. A statistics scan measures the level (with progress and
// cancel); the factor target / level then goes to the document's range-gain
// operation, so no sample is rewritten.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_MAXIMIZE {

// Block (10 bytes), console names in quotes:
//   +0 i16 "mode": 0 peak, 1 short-term RMS peak, 2 RMS; default 0
//   +2 i16 "peak": the peak target, -1000..0 (0.01 dB), default 0
//   +4 i16 "shortrms": the short-term RMS peak target, -5000..0 (0.01 dB), default -1500
//   +6 i16 "rms": the RMS target, -5000..0 (0.01 dB), default -1500
//   +8 u8  "shortguard": clip guard of mode 1 (non-zero: on), default 1
//   +9 u8  "rmsguard": clip guard of mode 2 (non-zero: on), default 1
inline constexpr std::uint32_t kBlockSize = 10;

enum Mode : std::int16_t { kPeak = 0, kShortRmsPeak = 1, kRms = 2 };

// Selections whose peak is at or below this are left alone.
inline constexpr double kSilentPeak = 1e-5;
// With the clip guard the factor never takes the peak above this.
inline constexpr double kGuardPeak = 0.9999;

struct MySetupParams : CEffEntry::SetupParams {
  float target_level = 1.0f;  // linear: the chosen mode's target
  std::int16_t mode = kPeak;
  std::uint8_t clip_guard = 0;  // the chosen mode's guard; 0 for mode 0
};

class CMyEffEntry : public CEffEntry {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  // 0xFFFFFFFB without a selection or when the selection is silent (peak at
  // most 1e-5; nothing changes), 0xFFFFFFFF when the scan is cancelled, 3
  // or 4 from the dialog.
  [[nodiscard]] Error Execute(SoundDocument* target) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_MAXIMIZE
