// Click removal ("ClickRemoval"): finds clicks with a linear-prediction
// error detector and rebuilds them from their neighbours (see
// declick_run.h). A stereo selection with both channels is analysed linked,
// as mid and side.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"
#include "effects/restoration/declick_channel.h"

namespace tidemark::NS_EFFECT_DECLICK {

// Block (6 bytes):
//   +0 i16 threshold: 15..25, default 20 (lower finds more clicks)
//   +2 i16 factor: 1000..4000 thousandths (1.0..4.0), default 1000
//   +4 i16 level: 2000..3000 (0.01 dB, 20..30 dB), default 3000
inline constexpr std::uint32_t kBlockSize = 6;

struct MySetupParams : CEffEntry::SetupParams {
  NS_EFFECT::DeclickSettings settings;
};

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_DECLICK
