// Limiter: the lookahead peak limiter with a gain in front of it.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_LIMITER {

// Block (8 bytes):
//   +0 i16 ceiling: -1000..0 (0.01 dB), default 0
//   +2 i16 window: 5..50 ms, default 10
//   +4 i16 gain: 0..1200 (0.01 dB), default 0
//   +6 u8  stereo link: 0 off, nonzero on; default 0
//   +7 reserved
inline constexpr std::uint32_t kBlockSize = 8;

struct MySetupParams : CEffEntry::SetupParams {
  float ceiling = 1.0f;  // C = 10^((ceiling - gain) / 2000)
  float window_ms = 10.0f;
  float makeup = 1.0f;  // M = 10^(gain / 2000)
  std::uint8_t link = 0;
  std::uint32_t rate = 44100;
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

}  // namespace tidemark::NS_EFFECT_LIMITER
