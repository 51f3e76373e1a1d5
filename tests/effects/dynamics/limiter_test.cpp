// The limiter, the clip guard and the de-esser by their properties: the
// ceiling is never passed, the clip guard never lets |x| > 1 through and
// ends each event at exactly unity, the de-esser leaves the low band alone;
// and every run takes non-finite samples as silence.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effects/dynamics/anti_clipper.h"
#include "effects/dynamics/de_esser.h"
#include "effects/dynamics/lim_compress.h"
#include "effects/dynamics/limiter.h"
#include "tests/effects/dynamics/dynamics_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT::CAntiClipper;
using NS_EFFECT::CDeEsser;
using NS_EFFECT::CLimCompress;
using NS_EFFECT::CLimiter;

double FromDb(double db) { return std::pow(10.0, db / 20.0); }

enum class Material { kSquares, kImpulses, kNoise, kMixed };

// Hostile material up to +20 dB: square waves of random period and level,
// sparse impulses of random height and sign, white noise, or all of them
// in turns.
std::vector<float> Hostile(Material kind, std::size_t frames, std::uint16_t ch, std::mt19937& gen) {
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  std::vector<float> out(frames * ch, 0.0f);
  std::size_t at = 0;
  while (at < frames) {
    const std::size_t length = std::min(frames - at, static_cast<std::size_t>(200 + uni(gen) * 20000));
    Material m = kind;
    if (kind == Material::kMixed) m = static_cast<Material>(static_cast<int>(uni(gen) * 3));
    const double level = FromDb(-20.0 + 40.0 * uni(gen));
    const auto period = static_cast<std::size_t>(2 + uni(gen) * 400);
    for (std::size_t i = 0; i < length; ++i, ++at) {
      for (std::uint16_t c = 0; c < ch; ++c) {
        double v = 0.0;
        switch (m) {
          case Material::kSquares: v = ((i + c * period / 3) / period) % 2 ? level : -level; break;
          case Material::kImpulses: v = uni(gen) < 0.002 ? (uni(gen) < 0.5 ? -1 : 1) * level * uni(gen) * 1.2 : 0.0; break;
          default: v = level * (2.0 * uni(gen) - 1.0); break;
        }
        out[at * ch + c] = static_cast<float>(v);
      }
    }
  }
  return out;
}

struct CeilingCase {
  const char* name;
  Material material;
  std::uint16_t channels;
  bool link;
};

class LimiterCeiling : public ::testing::TestWithParam<CeilingCase> {};

// About a minute of material per case, through limiters of random ceiling,
// gain and window, in random block splits.
TEST_P(LimiterCeiling, NoSampleEverAboveCeilingTimesGain) {
  const CeilingCase& p = GetParam();
  std::mt19937 gen(static_cast<std::uint32_t>(std::hash<std::string>{}(p.name)));
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  double loudest_ratio = 0.0;
  for (int round = 0; round < 6; ++round) {
    const std::uint32_t rate = round % 2 ? 48000 : 44100;
    const double ceiling_db = -10.0 * uni(gen), gain_db = 12.0 * uni(gen);
    const auto c = static_cast<float>(FromDb(ceiling_db - gain_db));
    const auto m = static_cast<float>(FromDb(gain_db));
    const auto window = static_cast<float>(5.0 + 45.0 * uni(gen));
    CLimiter run;
    ASSERT_EQ(run.Init(rate, p.channels, c, window, m, p.link), 0u);
    const std::vector<float> input = Hostile(p.material, rate * 10, p.channels, gen);
    const auto out = RunSplit(run, input, p.channels,
                              RandomSplit(static_cast<std::uint32_t>(input.size() / p.channels), static_cast<std::uint32_t>(gen()), 20000));
    const double limit = static_cast<double>(c) * m;
    double peak = 0.0;
    for (float y : out) peak = std::max(peak, std::fabs(static_cast<double>(y)));
    ASSERT_LE(peak, limit) << "round " << round << " ceiling " << ceiling_db << " gain " << gain_db;
    loudest_ratio = std::max(loudest_ratio, peak / limit);
  }
  EXPECT_GT(loudest_ratio, 0.9) << "the material must reach the ceiling";
}

INSTANTIATE_TEST_SUITE_P(Materials, LimiterCeiling,
                         ::testing::Values(CeilingCase{"squares", Material::kSquares, 1, false},
                                           CeilingCase{"impulses", Material::kImpulses, 2, false},
                                           CeilingCase{"noise", Material::kNoise, 2, true},
                                           CeilingCase{"mixed", Material::kMixed, 2, true},
                                           CeilingCase{"mixed_unlinked", Material::kMixed, 2, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LimiterEdges, FullScaleSpikeAtMinusOneDbComesOutAtTheCeiling) {
  const std::uint32_t rate = 44100;
  const auto c = static_cast<float>(std::pow(10.0, -100.0 / 2000.0));
  CLimiter run;
  ASSERT_EQ(run.Init(rate, 1, c, 10.0f, 1.0f, false), 0u);
  std::vector<float> input(rate / 2, 0.0f);
  input[1000] = 1.0f;
  const auto out = RunWhole(run, input, 1);
  const std::size_t at = 1000 + run.GetLatency();
  EXPECT_NEAR(out[at], std::pow(10.0, -100.0 / 2000.0), 1e-5);
  EXPECT_LE(out[at], c);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (i != at) {
      ASSERT_EQ(out[i], 0.0f) << i;
    }
  }
}

TEST(LimiterEdges, LinkedChannelsShareOneGain) {
  CLimiter linked, apart;
  ASSERT_EQ(linked.Init(44100, 2, 0.5f, 10.0f, 1.0f, true), 0u);
  ASSERT_EQ(apart.Init(44100, 2, 0.5f, 10.0f, 1.0f, false), 0u);
  std::vector<float> input(2 * 20000);
  for (std::size_t k = 0; k < 20000; ++k) {
    input[2 * k] = k > 5000 && k < 6000 ? 0.9f : 0.1f;
    input[2 * k + 1] = 0.3f;
  }
  const auto l = RunWhole(linked, input, 2), a = RunWhole(apart, input, 2);
  const std::size_t peak_out = 5500 + linked.GetLatency();
  EXPECT_NEAR(l[2 * peak_out + 1], 0.3 * 0.5 / 0.9, 1e-4);  // the quiet channel follows the loud one
  EXPECT_FLOAT_EQ(a[2 * peak_out + 1], 0.3f);
}

// Triples what comes in, so a guard after it has overs to catch.
class Triple final : public CEffRun {
 public:
  Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t) override {
    for (std::size_t i = 0; i < std::size_t{frames} * channels; ++i) buffer[i] *= 3.0f;
    return Error{};
  }
  void Reset() override {}
  std::string GetName() const override { return "Triple"; }
};

TEST(AntiClipper, NeverAboveFullScaleAndBackToExactlyUnityAfterEachEvent) {
  const std::uint32_t d = 256;
  CAntiClipper guard;
  ASSERT_EQ(guard.Init(std::make_unique<Triple>(), 2, d), 0u);
  EXPECT_EQ(guard.GetLatency(), d);
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  // Quiet stretches (|3x| < 0.6) with loud events (up to 3x full scale) in
  // between, each event followed by more than 2 D quiet frames.
  std::vector<float> input(2 * 200000);
  std::vector<std::size_t> quiet_from;
  for (std::size_t k = 0; k < input.size() / 2; ++k) {
    const bool loud = (k % 20000) >= 10000 && (k % 20000) < 10000 + (k / 20000 + 1) * 300;
    for (int c = 0; c < 2; ++c) input[2 * k + static_cast<std::size_t>(c)] = static_cast<float>(uni(gen) * (loud ? 1.0 : 0.2));
  }
  const auto out = RunSplit(guard, input, 2, RandomSplit(static_cast<std::uint32_t>(input.size() / 2), 9));
  float peak = 0.0f;
  for (float y : out) peak = std::max(peak, std::fabs(y));
  EXPECT_LE(peak, 1.0f);
  EXPECT_GT(peak, 0.99f);
  std::size_t exact = 0;
  for (std::size_t k = d; k < out.size() / 2; ++k) {
    const std::size_t in_cycle = (k - d) % 20000;
    const std::size_t event_end = 10000 + ((k - d) / 20000 + 1) * 300;
    if (in_cycle < event_end + 2 * d + 2 && in_cycle >= 10000 - d) continue;
    for (std::size_t c = 0; c < 2; ++c) {
      ASSERT_EQ(out[2 * k + c], input[2 * (k - d) + c] * 3.0f) << k;
      ++exact;
    }
  }
  EXPECT_GT(exact, out.size() / 2);
}

class DeEsserLowBand : public ::testing::TestWithParam<std::uint32_t> {};

// Tones below the split plus loud sibilance at 7..9 kHz that the
// compressor pulls down hard: with makeup 0 dB the tones come out as they
// went in (after the latency) within 0.1 dB.
TEST_P(DeEsserLowBand, ContentBelowTheSplitUntouched) {
  const std::uint32_t rate = GetParam();
  const double tones[] = {150.0, 700.0, 1500.0, 2500.0};
  CDeEsser run;
  ASSERT_EQ(run.Init(rate, 1, 0.2f, static_cast<float>(FromDb(-40.0)), 10.0f, 1.0f, 4000.0f), 0u);
  const std::size_t frames = 3 * rate;
  std::vector<float> input(frames);
  std::mt19937 gen(rate);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  for (std::size_t k = 0; k < frames; ++k) {
    const double t = static_cast<double>(k) / rate;
    double v = 0.0;
    for (double f : tones) v += 0.08 * std::sin(2.0 * std::numbers::pi * f * t);
    const double burst = (k / (rate / 8)) % 2 ? 0.25 : 0.02;
    v += burst * (std::sin(2.0 * std::numbers::pi * 8000.0 * t) + 0.3 * std::sin(2.0 * std::numbers::pi * 7100.0 * t));
    input[k] = static_cast<float>(v);
  }
  const auto out = RunSplit(run, input, 1, RandomSplit(static_cast<std::uint32_t>(frames), rate));
  const std::size_t latency = run.GetLatency();
  // Amplitudes by projection over whole seconds (integer cycles of every tone).
  auto amplitude = [&](const std::vector<float>& s, std::size_t from, double f) {
    double re = 0.0, im = 0.0;
    for (std::size_t k = 0; k < rate; ++k) {
      const double ph = 2.0 * std::numbers::pi * f * static_cast<double>(k) / rate;
      re += s[from + k] * std::cos(ph);
      im += s[from + k] * std::sin(ph);
    }
    return 2.0 * std::hypot(re, im) / rate;
  };
  const std::size_t from = rate / 2;
  for (double f : tones) {
    const double a_in = amplitude(input, from, f), a_out = amplitude(out, from + latency, f);
    EXPECT_NEAR(20.0 * std::log10(a_out / a_in), 0.0, 0.1) << f << " Hz";
  }
  const double s_in = amplitude(input, from, 8000.0), s_out = amplitude(out, from + latency, 8000.0);
  EXPECT_LT(20.0 * std::log10(s_out / s_in), -6.0) << "the sibilance must be compressed";
}

INSTANTIATE_TEST_SUITE_P(Rates, DeEsserLowBand, ::testing::Values(44100u, 48000u, 96000u));

struct NonFiniteCase {
  const char* name;
  std::function<EffRunPtr()> make;
};

class NonFinite : public ::testing::TestWithParam<NonFiniteCase> {};

// NaN and infinities enter as silence: the output is that of the same
// material with zeros in their place, and stays finite.
TEST_P(NonFinite, TakenAsSilenceWithoutSpreading) {
  std::vector<float> input = MusicLike(44100, 2, 2.0, 3);
  std::vector<float> zeroed = input;
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity()};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t at = 20000 + i * 17001;
    input[at] = bad[i];
    zeroed[at] = 0.0f;
  }
  EffRunPtr a = GetParam().make(), b = GetParam().make();
  const auto got = RunSplit(*a, input, 2, RandomSplit(static_cast<std::uint32_t>(input.size() / 2), 4));
  const auto want = RunWhole(*b, zeroed, 2);
  EXPECT_EQ(got, want);
  for (float y : got) ASSERT_TRUE(std::isfinite(y));
}

template <class T, class... Args>
EffRunPtr Made(Args... args) {
  auto run = std::make_unique<T>();
  EXPECT_EQ(run->Init(args...), 0u);
  return run;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, NonFinite,
    ::testing::Values(
        NonFiniteCase{"compressor", [] { return Made<CLimCompress>(44100u, std::uint16_t{2}, 0.4f, 0.1f, 30.0f, 2.0f, '\0'); }},
        NonFiniteCase{"weighted", [] { return Made<CLimCompress>(44100u, std::uint16_t{2}, 0.4f, 0.1f, 30.0f, 2.0f, 'A'); }},
        NonFiniteCase{"limiter", [] { return Made<CLimiter>(44100u, std::uint16_t{2}, 0.3f, 10.0f, 1.5f, true); }},
        NonFiniteCase{"deesser", [] {
          return Made<CDeEsser>(44100u, std::uint16_t{2}, 0.4f, 0.05f, 20.0f, 1.0f, 4000.0f, '\0', 120.0);
        }}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark::testing
