// The limiter, the clip guard and the de-esser by their properties, and
// non-finite samples through every run.
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

using NS_EFFECT::CLimiter;

double FromDb(double db) { return std::pow(10.0, db / 20.0); }

struct CeilingCase {
  const char* name;
  int material;  // 0 squares, 1 impulses, 2 white noise, 3 all in turns
  std::uint16_t channels;
  bool link;
};

class LimiterCeiling : public ::testing::TestWithParam<CeilingCase> {};

// A minute of material per case, -20..+20 dB, through limiters of random
// ceiling, gain and window in random block splits: no output sample above
// C x M, and the material does reach it.
TEST_P(LimiterCeiling, NoSampleEverAboveCeilingTimesGain) {
  const CeilingCase& p = GetParam();
  std::mt19937 gen(static_cast<std::uint32_t>(p.material * 2 + p.link));
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  double loudest = 0.0;
  for (std::uint32_t round = 0; round < 6; ++round) {
    const std::uint32_t rate = round % 2 ? 48000 : 44100;
    const double ceiling_db = -10.0 * uni(gen), gain_db = 12.0 * uni(gen);
    const auto c = static_cast<float>(FromDb(ceiling_db - gain_db)), m = static_cast<float>(FromDb(gain_db));
    CLimiter run;
    ASSERT_EQ(run.Init(rate, p.channels, c, static_cast<float>(5.0 + 45.0 * uni(gen)), m, p.link), 0u);
    std::vector<float> input(std::size_t{rate} * 10 * p.channels);
    for (std::size_t at = 0, length = 0; at < input.size(); at += length) {
      length = std::min(input.size() - at, static_cast<std::size_t>(400 + uni(gen) * 40000));
      const int kind = p.material == 3 ? static_cast<int>(uni(gen) * 3) : p.material;
      const double level = FromDb(-20.0 + 40.0 * uni(gen));
      const auto period = static_cast<std::size_t>(2 + uni(gen) * 800);
      for (std::size_t i = 0; i < length; ++i) {
        const double v = kind == 0 ? ((i / period) % 2 ? level : -level)
                         : kind == 1 ? (uni(gen) < 0.002 ? (uni(gen) - 0.5) * 2.4 * level : 0.0)
                                     : level * (2.0 * uni(gen) - 1.0);
        input[at + i] = static_cast<float>(v);
      }
    }
    const auto out = RunSplit(run, input, p.channels, round + 1, 20000);
    double peak = 0.0;
    for (float y : out) peak = std::max(peak, std::fabs(static_cast<double>(y)));
    ASSERT_LE(peak, static_cast<double>(c) * m) << "round " << round;
    loudest = std::max(loudest, peak / (static_cast<double>(c) * m));
  }
  EXPECT_GT(loudest, 0.9);
}

INSTANTIATE_TEST_SUITE_P(Materials, LimiterCeiling,
                         ::testing::Values(CeilingCase{"squares", 0, 1, false}, CeilingCase{"impulses", 1, 2, false},
                                           CeilingCase{"noise", 2, 2, true}, CeilingCase{"mixed", 3, 2, true},
                                           CeilingCase{"mixed_unlinked", 3, 2, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LimiterEdges, FullScaleSpikeAtMinusOneDbComesOutAtTheCeiling) {
  const double ceiling = std::pow(10.0, -100.0 / 2000.0);
  CLimiter run;
  ASSERT_EQ(run.Init(44100, 1, static_cast<float>(ceiling), 10.0f, 1.0f, false), 0u);
  std::vector<float> input(22050, 0.0f);
  input[1000] = 1.0f;
  const auto out = RunSplit(run, input, 1);
  const std::size_t at = 1000 + run.GetLatency();
  EXPECT_NEAR(out[at], ceiling, 1e-5);
  EXPECT_LE(out[at], static_cast<float>(ceiling));
  EXPECT_EQ(std::count(out.begin(), out.end(), 0.0f), static_cast<std::ptrdiff_t>(out.size() - 1));
}

// A second, slightly higher impulse while the first one's ramp is well
// under way (at 1/5..9/10 of the window, in silence): the ramp keeps its
// slope to the lower gain and must then hold it until the second impulse
// has left, not release at once.
TEST(LimiterEdges, LaterHigherImpulseKeepsItsReduction) {
  const float ceiling = 0.5f;
  for (const double when : {0.2, 0.5, 0.8, 0.9}) {
    CLimiter run;
    ASSERT_EQ(run.Init(44100, 1, ceiling, 20.0f, 1.0f, false), 0u);
    std::vector<float> input(22050, 0.0f);
    input[1000] = 1.0f;
    input[1000 + static_cast<std::size_t>(when * run.window_frames())] = 1.05f;
    const auto out = RunSplit(run, input, 1);
    EXPECT_LE(*std::max_element(out.begin(), out.end()), ceiling) << when;
  }
}

// Triples what comes in, so that the guard after it has overs to catch.
class Triple final : public CEffRun {
 public:
  Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t) override {
    for (std::size_t i = 0; i < std::size_t{frames} * channels; ++i) buffer[i] *= 3.0f;
    return Error{};
  }
  void Reset() override {}
  std::string GetName() const override { return "Triple"; }
};

// Quiet stretches (|3x| <= 0.6) with loud events of growing length (up to
// three times full scale) every 20000 frames: never above 1, and from 2 D
// after each event on exactly the inner run's output, delayed by D.
TEST(AntiClipper, NeverAboveFullScaleAndBackToExactlyUnityAfterEachEvent) {
  const std::size_t d = 256, cycle = 20000;
  NS_EFFECT::CAntiClipper guard;
  ASSERT_EQ(guard.Init(std::make_unique<Triple>(), 2, d), 0u);
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  auto event_end = [&](std::size_t k) { return (k / cycle) * cycle + cycle / 2 + (k / cycle + 1) * 300; };
  std::vector<float> input(2 * 10 * cycle);
  for (std::size_t i = 0; i < input.size(); ++i) {
    const std::size_t k = i / 2;
    const bool loud = k % cycle >= cycle / 2 && k < event_end(k);
    input[i] = static_cast<float>(uni(gen) * (loud ? 1.0 : 0.2));
  }
  const auto out = RunSplit(guard, input, 2, 9);
  EXPECT_EQ(guard.GetLatency(), d);
  EXPECT_LE(*std::max_element(out.begin(), out.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }),
            1.0f);
  for (std::size_t i = 2 * d; i < out.size(); ++i) {
    const std::size_t k = i / 2 - d;
    if (k % cycle < cycle / 2 - d || k >= event_end(k) + 2 * d) {
      ASSERT_EQ(out[i], 3.0f * input[i - 2 * d]) << k;
    }
  }
}

class DeEsserLowBand : public ::testing::TestWithParam<std::uint32_t> {};

// Tones below the split and loud sibilance near 8 kHz that a -40 dB, 5 : 1
// compressor pulls down hard: with makeup 0 dB the tones come out as they
// went in (after the latency) within 0.1 dB.
TEST_P(DeEsserLowBand, ContentBelowTheSplitUntouched) {
  const std::uint32_t rate = GetParam();
  NS_EFFECT::CDeEsser run;
  ASSERT_EQ(run.Init(rate, 1, 0.2f, static_cast<float>(FromDb(-40.0)), 10.0f, 1.0f, 4000.0f), 0u);
  const double tones[] = {150.0, 700.0, 1500.0, 2500.0};
  auto phase = [rate](double f, std::size_t k) { return 2.0 * std::numbers::pi * f * static_cast<double>(k) / rate; };
  std::vector<float> input(3 * rate);
  for (std::size_t k = 0; k < input.size(); ++k) {
    double v = (k / (rate / 8)) % 2 ? 0.25 : 0.02;
    v *= std::sin(phase(8000.0, k)) + 0.3 * std::sin(phase(7100.0, k));
    for (double f : tones) v += 0.08 * std::sin(phase(f, k));
    input[k] = static_cast<float>(v);
  }
  const auto out = RunSplit(run, input, 1, rate);
  // Amplitudes by projection over one second: whole cycles of every tone.
  auto amplitude_db = [&](const std::vector<float>& s, std::size_t from, double f) {
    double re = 0.0, im = 0.0;
    for (std::size_t k = 0; k < rate; ++k) {
      re += s[from + k] * std::cos(phase(f, k));
      im += s[from + k] * std::sin(phase(f, k));
    }
    return 20.0 * std::log10(std::hypot(re, im));
  };
  const std::size_t from = rate / 2, latency = run.GetLatency();
  for (double f : tones) {
    EXPECT_NEAR(amplitude_db(out, from + latency, f), amplitude_db(input, from, f), 0.1) << f << " Hz";
  }
  EXPECT_LT(amplitude_db(out, from + latency, 8000.0), amplitude_db(input, from, 8000.0) - 6.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, DeEsserLowBand, ::testing::Values(44100u, 48000u, 96000u));

struct NonFiniteCase {
  const char* name;
  std::function<Error(EffRunPtr*)> make;
};

class NonFinite : public ::testing::TestWithParam<NonFiniteCase> {};

// NaN and infinities enter as silence: the output is that of the same
// material with zeros in their place.
TEST_P(NonFinite, TakenAsSilenceWithoutSpreading) {
  std::vector<float> input = MusicLike(44100, 2, 2.0, 3), zeroed = input;
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity()};
  for (std::size_t i = 0; i < 3; ++i) {
    input[20000 + i * 17001] = bad[i];
    zeroed[20000 + i * 17001] = 0.0f;
  }
  EffRunPtr a, b;
  ASSERT_EQ(GetParam().make(&a), 0u);
  ASSERT_EQ(GetParam().make(&b), 0u);
  const auto got = RunSplit(*a, input, 2, 4);
  EXPECT_EQ(got, RunSplit(*b, zeroed, 2));
  EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](float y) { return std::isfinite(y); }));
}

template <class T, class... Args>
std::function<Error(EffRunPtr*)> Maker(Args... args) {
  return [=](EffRunPtr* run) {
    auto made = std::make_unique<T>();
    const Error rc = made->Init(args...);
    *run = std::move(made);
    return rc;
  };
}

INSTANTIATE_TEST_SUITE_P(
    Runs, NonFinite,
    ::testing::Values(NonFiniteCase{"compressor", Maker<NS_EFFECT::CLimCompress>(44100u, std::uint16_t{2}, 0.4f, 0.1f,
                                                                                 30.0f, 2.0f, '\0')},
                      NonFiniteCase{"weighted", Maker<NS_EFFECT::CLimCompress>(44100u, std::uint16_t{2}, 0.4f, 0.1f,
                                                                               30.0f, 2.0f, 'A')},
                      NonFiniteCase{"limiter", Maker<CLimiter>(44100u, std::uint16_t{2}, 0.3f, 10.0f, 1.5f, true)},
                      NonFiniteCase{"deesser", Maker<NS_EFFECT::CDeEsser>(44100u, std::uint16_t{2}, 0.4f, 0.05f, 20.0f,
                                                                          1.0f, 4000.0f, '\0', 120.0)}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark::testing
