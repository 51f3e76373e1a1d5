// Pitch change by speed: the selection is read at 2^(cents / 1200) frames
// per output frame through the eased variable-position interpolator, so it
// becomes shorter as it rises; output length = selection / ratio rounded to
// the nearest frame.
#pragma once

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_PITCHCHG {

// Block (2 bytes): +0 i16 pitch, -1250..1250 cents, default 0.
inline constexpr std::uint32_t kBlockSize = 2;

struct MySetupParams : CEffEntry::SetupParams {
  float ratio = 1.0f;  // 2^(cents / 1200)
};

// How a pitch is shown: whole semitones (at most 12 either way) and the
// rest in cents, -50..49 except at the ends (1250 is 12 and 50).
struct SemitonesAndCents {
  int semitones = 0;
  int cents = 0;
};
SemitonesAndCents SplitCents(int cents);

class CMyEffEntry : public CEffEntry_Resample {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, ResampleEffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_PITCHCHG
