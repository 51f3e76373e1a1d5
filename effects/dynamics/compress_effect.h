// Compress: the RMS compressor with its safety limiter, or with the
// de-esser flag the de-esser, which compresses only the band above its
// frequency.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_COMPRESS {

// Block (12 bytes):
//   +0  i16 ratio x 100: 100..500 (1.00 : 1 to 5.00 : 1), default 250
//   +2  i16 threshold: -5000..0 (0.01 dB), default -1200
//   +4  i16 window: 10..100 ms, default 50
//   +6  i16 makeup gain: 0..1200 (0.01 dB), default 300
//   +8  i16 de-esser frequency: 1200..6000 cents re 1 kHz (2 kHz..32 kHz), default 2400 (4 kHz)
//   +10 u8  de-esser: 0 compressor, nonzero de-esser; default 0
//   +11 reserved
inline constexpr std::uint32_t kBlockSize = 12;

struct MySetupParams : CEffEntry::SetupParams {
  float inv_ratio = 0.4f;
  float threshold = 1.0f;  // T = 10^((threshold - makeup) / 2000)
  float window_ms = 50.0f;
  float makeup = 1.0f;  // M
  float frequency = 4000.0f;
  std::uint8_t de_esser = 0;
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

}  // namespace tidemark::NS_EFFECT_COMPRESS
