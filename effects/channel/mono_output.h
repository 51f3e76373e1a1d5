// Mono output: both channels of a stereo frame take one value, the sum of
// the channels or one of them, times a gain. The sum is not halved; the
// default gain of -6 dB brings it close to the average.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_MONO {

// Block (4 bytes):
//   +0 i16 source: 0..2, default 0 (words both, left, right)
//   +2 i16 gain: -2000..0 (0.01 dB), default -600
inline constexpr std::uint32_t kBlockSize = 4;

struct MySetupParams : CEffEntry::SetupParams {
  std::int32_t source = 0;  // 0 left + right, 1 left, 2 right
  float gain = 1.0f;        // linear
};

class CMyEffRun : public CEffRun {
 public:
  CMyEffRun(std::int32_t source, float gain) : source_(source), gain_(gain) {}
  // Frames of other than two channels pass unchanged.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override {}
  std::string GetName() const override;

 private:
  std::int32_t source_;
  float gain_;
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

}  // namespace tidemark::NS_EFFECT_MONO
