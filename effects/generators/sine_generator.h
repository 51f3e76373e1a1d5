// Sine generator: adds a sine tone to the processed channels (on silence,
// the pure tone).
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_GENSINE {

// Block (12 bytes; the fields in their natural alignment, the float first):
//   +0  f32 freq: 1 .. min(rate / 2, 20000) Hz, default 440
//   +4  i16 level: 0..100 %, default 50
//   +6  i16 display: 0..1 (words hz, note), default 0
//   +8  i16 pitch: 350..450 Hz (the note A the display names notes from), default 440
//   +10 reserved (2 bytes, the float's alignment)
inline constexpr std::uint32_t kBlockSize = 12;

// The frequency's upper end at `rate`: rate / 2 below 40002 Hz, else 20000.
double MaxFrequency(std::uint32_t rate);

struct MySetupParams : CEffEntry::SetupParams {
  float frequency = 440.0f;  // Hz
  float amplitude = 0.5f;    // level / 100
};

class CMyEffRun : public CEffRun {
 public:
  CMyEffRun(std::uint32_t rate, float frequency, float amplitude);
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override { phase_ = start_phase_; }
  std::string GetName() const override;

 private:
  double step_;         // f / rate
  double amplitude_;
  double start_phase_;  // 0.25 at exactly the Nyquist frequency, so the tone is not all zeros
  double phase_;        // in cycles, 0 <= phase < 1
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

}  // namespace tidemark::NS_EFFECT_GENSINE
