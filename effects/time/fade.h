// Fade: each processed channel multiplied by a straight line over the
// selection, from 0 to 1 (in) or from 1 to 0 (out). The two crossed shapes
// fade the channels in opposite directions and always give stereo output.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_FADE {

// Block (2 bytes):
//   +0 i16 shape: 0..3, default 0 (words in, out, out-in, in-out)
inline constexpr std::uint32_t kBlockSize = 2;

struct MySetupParams : CEffEntry::SetupParams {
  // Per channel: 0 fades in, 1 fades out.
  std::int16_t d0 = 0;
  std::int16_t d1 = 0;
};

class CMyEffRun : public CEffRun {
 public:
  // `length` is the selection's frame count, the line's full extent.
  CMyEffRun(std::int16_t d0, std::int16_t d1, std::uint32_t length) : d_{d0, d1}, length_(length) {}
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override { frame_ = 0; }
  std::string GetName() const override;

 private:
  std::int16_t d_[2];
  std::uint32_t length_;
  std::uint64_t frame_ = 0;  // counted from the selection's start across blocks
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

}  // namespace tidemark::NS_EFFECT_FADE
