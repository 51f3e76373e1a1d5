// The streaming time stretcher: both methods keep a tone's frequency at
// every speed with the output where the speed puts it, give the same output
// however the input and output are split, and keep bad samples local.
#include "dsp/stretch/time_stretcher.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "dsp/stretch/sinc_kernel.h"
#include "tests/dsp/stretch/tone_frequency.h"

namespace tidemark::testing {
namespace {

using dsp::StretchMethod;
using dsp::StretchOptions;
using dsp::TimeStretcher;

// Pushes `in` in pieces of `push` frames and pulls `out_frames` in pieces of
// `pull` frames (random sizes up to the number when `seed` is set).
std::vector<float> Stretch(TimeStretcher& s, const std::vector<float>& in, std::size_t channels, std::size_t out_frames,
                       std::size_t push, std::size_t pull, unsigned seed = 0) {
  std::mt19937 gen(seed);
  const auto size = [&](std::size_t most) { return seed ? 1 + gen() % most : most; };
  std::vector<float> out(out_frames * channels);
  const std::size_t in_frames = in.size() / channels;
  std::size_t fed = 0, got = 0;
  while (got < out_frames) {
    const std::size_t n = s.Pull(out.data() + got * channels, std::min(size(pull), out_frames - got));
    got += n;
    if (n > 0) continue;
    if (fed == in_frames) {
      s.Finish();
      continue;
    }
    const std::size_t take = std::min(size(push), in_frames - fed);
    fed += s.Push(in.data() + fed * channels, take);
  }
  return out;
}

struct SpeedCase {
  StretchMethod method;
  double speed;
  bool smoothing;
};

class StretchKeepsPitch : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(StretchKeepsPitch, ToneFrequencyWithinTwoTenthsOfAPercent) {
  const SpeedCase c = GetParam();
  constexpr double kRate = 44100, kHz = 1000;
  const std::size_t in_frames = 88200;
  const auto out_frames = static_cast<std::size_t>(std::floor(in_frames / c.speed + 0.5));
  TimeStretcher s;
  ASSERT_EQ(s.Init(2, 44100, {c.method, c.speed, c.smoothing, 1.0}), 0u);
  const std::vector<float> out = Stretch(s, Tone(kHz, kRate, in_frames, 2), 2, out_frames, 4096, 4096);
  const std::size_t quarter = out_frames / 4;
  for (std::size_t ch = 0; ch < 2; ++ch)
    EXPECT_NEAR(ZeroCrossingHz(out, 2, ch, quarter, 3 * quarter, kRate), kHz, kHz * 0.002) << ch;
  // The level holds in every 100 ms: no gaps, no cancelling overlaps.
  for (std::size_t at = quarter; at + 4410 <= 3 * quarter; at += 4410)
    ASSERT_NEAR(AmplitudeAt(out, 2, at, at + 4410, kHz, kRate), 0.5, 0.05) << at;
}

INSTANTIATE_TEST_SUITE_P(Speeds, StretchKeepsPitch,
                         ::testing::Values(SpeedCase{StretchMethod::kWsola, 0.5, false},
                                           SpeedCase{StretchMethod::kWsola, 2.0, false},
                                           SpeedCase{StretchMethod::kWsola, 0.5, true},
                                           SpeedCase{StretchMethod::kWsola, 3.7, true},
                                           SpeedCase{StretchMethod::kPhaseVocoder, 0.5, false},
                                           SpeedCase{StretchMethod::kPhaseVocoder, 2.0, false},
                                           SpeedCase{StretchMethod::kPhaseVocoder, 0.8, false}));

// Output frame j sits at input j x speed: a click at input frame 30000 shows
// at output 30000 / speed.
TEST(TimeStretcher, OutputFollowsInputAtTheSpeed) {
  for (const StretchMethod method : {StretchMethod::kWsola, StretchMethod::kPhaseVocoder}) {
    for (const double speed : {0.5, 2.0}) {
      std::vector<float> in(60000, 0.0f);
      for (std::size_t i = 30000; i < 30100; ++i) in[i] = 0.8f;
      TimeStretcher s;
      ASSERT_EQ(s.Init(1, 44100, {method, speed, false, 1.0}), 0u);
      const auto frames = static_cast<std::size_t>(60000 / speed);
      const std::vector<float> out = Stretch(s, in, 1, frames, 1 << 14, 1 << 14);
      std::size_t loudest = 0;
      for (std::size_t i = 0; i < frames; ++i)
        if (std::abs(out[i]) > std::abs(out[loudest])) loudest = i;
      EXPECT_NEAR(static_cast<double>(loudest), 30050 / speed, 0.02 * 44100) << int(method) << " " << speed;
    }
  }
}

TEST(TimeStretcher, BlockSplitsGiveTheSameOutput) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> u(-0.5f, 0.5f);
  std::vector<float> in(2 * 40000);
  for (float& v : in) v = u(gen);
  for (const StretchMethod method : {StretchMethod::kWsola, StretchMethod::kPhaseVocoder}) {
    TimeStretcher s;
    ASSERT_EQ(s.Init(2, 44100, {method, 1.3, false, 1.0}), 0u);
    const std::vector<float> whole = Stretch(s, in, 2, 30000, 1 << 20, 1 << 20);
    s.Reset();
    const std::vector<float> single = Stretch(s, in, 2, 30000, 1, 1);
    s.Reset();
    const std::vector<float> random = Stretch(s, in, 2, 30000, 3000, 5000, 11);
    EXPECT_EQ(whole, single) << int(method);
    EXPECT_EQ(whole, random) << int(method);
  }
}

TEST(TimeStretcher, NonFiniteInputReadsAsSilence) {
  std::vector<float> in = Tone(440, 44100, 30000, 1);
  std::vector<float> clean = in;
  in[10000] = std::nanf("");
  in[20000] = INFINITY;
  clean[10000] = clean[20000] = 0.0f;
  for (const StretchMethod method : {StretchMethod::kWsola, StretchMethod::kPhaseVocoder}) {
    TimeStretcher s;
    ASSERT_EQ(s.Init(1, 44100, {method, 0.7, false, 1.0}), 0u);
    const std::vector<float> out = Stretch(s, in, 1, 40000, 4096, 4096);
    s.Reset();
    const std::vector<float> want = Stretch(s, clean, 1, 40000, 4096, 4096);
    EXPECT_EQ(out, want);
  }
}

TEST(TimeStretcher, RefusesSettingsOutOfRange) {
  TimeStretcher s;
  EXPECT_NE(s.Init(1, 44100, {StretchMethod::kWsola, 0.09, false, 1.0}), 0u);
  EXPECT_NE(s.Init(1, 44100, {StretchMethod::kWsola, 10.01, false, 1.0}), 0u);
  EXPECT_NE(s.Init(3, 44100, {StretchMethod::kWsola, 1.0, false, 1.0}), 0u);
  EXPECT_NE(s.Init(1, 44100, {StretchMethod::kPhaseVocoder, 1.0, false, 5.0}), 0u);
  EXPECT_EQ(s.Init(1, 44100, {StretchMethod::kWsola, 0.1, false, 1.0}), 0u);
  EXPECT_EQ(s.Init(1, 44100, {StretchMethod::kWsola, 10, false, 1.0}), 0u);
}

// The kernel against the ideal band-limited interpolation of a tone well
// inside the pass band, and unit DC gain at every fraction.
TEST(SincKernel, InterpolatesAToneAndPassesDc) {
  dsp::SincKernel k;
  ASSERT_EQ(k.Init(0.5, 16), 0u);
  std::vector<float> w(static_cast<std::size_t>(k.taps()));
  const double f = 0.05;  // cycles per sample
  for (const double frac : {0.0, 0.125, 0.5, 0.9}) {
    k.Weights(frac, w.data());
    double sum = 0, y = 0;
    for (int j = 0; j < k.taps(); ++j) {
      const double x = j - k.reach() + 1;
      sum += w[static_cast<std::size_t>(j)];
      y += w[static_cast<std::size_t>(j)] * std::sin(2 * std::numbers::pi * f * (100 + x));
    }
    EXPECT_NEAR(sum, 1.0, 1e-6);
    EXPECT_NEAR(y, std::sin(2 * std::numbers::pi * f * (100 + frac)), 2e-3) << frac;
  }
  EXPECT_NE(k.Init(0.0), 0u);
  EXPECT_NE(k.Init(0.6), 0u);
}

}  // namespace
}  // namespace tidemark::testing
