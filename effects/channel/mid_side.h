// Mid-side: a stereo frame becomes its half sum and half difference.
#pragma once

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_MIDSIDE {

// No settings.

class CMyEffRun : public CEffRun {
 public:
  // Frames of other than two channels pass unchanged.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override {}
  std::string GetName() const override;
};

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error FillParams(ProgressScope*, SetupParams&, const SettingsBlock&) override { return {}; }
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_MIDSIDE
