// Noise generator: adds white noise of a given RMS to the processed
// channels, a fresh value for every channel of every frame.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_GENNOISE {

// Block (4 bytes):
//   +0 i16 level: -9000..-1000 (0.01 dB, RMS relative to full scale), default -2000
//   +2 reserved (2 bytes)
inline constexpr std::uint32_t kBlockSize = 4;

// The generator of the runs and of their seeds: x <- x * 0xF33B4F51 + 0x2694
// (modulo 2^32).
constexpr std::uint32_t NextNoiseState(std::uint32_t x) { return x * 4080750417u + 9876u; }

// Advances the process-wide seed generator by one step, lock-free (a
// compare-and-swap loop, so concurrent callers each get a step of their
// own), and answers the new state.
std::uint32_t AdvanceSharedSeedGenerator();

// A new run's seed: s * 12345 + 83810205 with s the tick count plus the
// shared generator's next output (its new state >> 16).
std::uint32_t NewNoiseSeed();

struct MySetupParams : CEffEntry::SetupParams {
  float sigma = 0.1f;  // 10^(level / 2000)
};

class CMyEffRun : public CEffRun {
 public:
  // Seeds itself from NewNoiseSeed().
  explicit CMyEffRun(float sigma);
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  // The sequence goes on: a restarted preview hears new noise.
  void Reset() override {}
  std::string GetName() const override;

  std::uint32_t seed() const { return seed_; }
  // Test seams: start the sequence from `seed`; choose the distribution
  // (the effect uses the Gaussian one).
  void SetSeed(std::uint32_t seed) { seed_ = state_ = seed; }
  void SetGaussian(bool gaussian) { gaussian_ = gaussian; }

 private:
  double Next();

  std::uint32_t seed_ = 0;
  std::uint32_t state_ = 0;
  float sigma_;
  bool gaussian_ = true;
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

}  // namespace tidemark::NS_EFFECT_GENNOISE
