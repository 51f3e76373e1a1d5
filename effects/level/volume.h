// Volume: one gain for the selected channels. Executed as a range gain (no
// sample is touched until the document is saved); its block run serves
// chains and previews.
#pragma once

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_VOLUME {

// Block (2 bytes): +0 i16 gain, -1300..1300 (0.01 dB), default 0.
inline constexpr std::uint32_t kBlockSize = 2;

struct MySetupParams : CEffEntry::SetupParams {
  float gain = 1.0f;  // linear
};

class CMyEffRun : public CEffRun {
 public:
  explicit CMyEffRun(float gain) : gain_(gain) {}
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override {}
  std::string GetName() const override;

 private:
  float gain_;
};

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error Execute(SoundDocument* target) override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_VOLUME
