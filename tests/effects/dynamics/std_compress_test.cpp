// The RMS compressor against a plain double-precision model of its
// per-frame rules, and its edge cases: ratio 1, the settled gain at 2 : 1,
// the exact recomputation interval, live reconfiguration without a step.
#include "effects/dynamics/std_compress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/effects/dynamics/dynamics_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT::CStdCompress;

struct Setting {
  double ratio, threshold_db, window_ms, makeup_db;
};

double FromDb(double db) { return std::pow(10.0, db / 20.0); }

// The compressor as its rules read, frame by frame over whole arrays: the
// powers and gains of every frame kept, the running sum kept and
// recomputed, the gain applied to frame k being the one set L - W frames
// earlier, and the output the input of L frames before.
std::vector<double> Reference(const std::vector<float>& x, std::uint32_t rate, std::uint16_t ch, float inv_ratio,
                              float t, float window_ms, float m, std::uint64_t end) {
  const std::size_t n = x.size() / ch;
  const std::int64_t l = rate / 10;
  const auto w = std::max<std::int64_t>(static_cast<std::int64_t>(std::min(double{window_ms}, 100.0) * rate / 1000.0), 1);
  const double e = static_cast<double>(t) * t * static_cast<double>(w);
  const std::int64_t every = std::max<std::int64_t>(1, (rate / 20 + 256000) / (rate / 10));
  std::vector<double> power(n), gain(n);
  double s = 0.0, current = 1.0 / m, increment = 0.0;
  float target = 1.0f / m;
  std::int64_t left = 0, rings = 0;
  bool ended = false;
  for (std::size_t k = 0; k < n; ++k) {
    const auto ik = static_cast<std::int64_t>(k);
    if (left < 2) {
      current = target;
      left = 0;
    } else {
      current += increment;
      --left;
    }
    gain[k] = current;
    double p = 0.0;
    for (std::uint16_t c = 0; c < ch; ++c) p += static_cast<double>(x[k * ch + c]) * x[k * ch + c];
    power[k] = p / ch;
    s += power[k] - (ik >= w ? power[k - static_cast<std::size_t>(w)] : 0.0);
    if ((ik + 1) % l == 0 && ++rings == every) {
      s = 0.0;
      for (std::int64_t j = std::max<std::int64_t>(0, ik - w + 1); j <= ik; ++j) s += power[static_cast<std::size_t>(j)];
      rings = 0;
    }
    const auto count = static_cast<std::uint64_t>(k + 1);
    if (ended) continue;
    if (count > static_cast<std::uint64_t>(w)) {
      if (s > e) {
        const double g = std::sqrt(std::pow(s / e, static_cast<double>(inv_ratio)) * e / s);
        if (left == 0 || target >= g) {
          target = static_cast<float>(g);
          increment = (target - current) / static_cast<double>(w);
          left = w;
        }
      } else if (left == 0 && target != 1.0f) {
        target = 1.0f;
        increment = (1.0 - current) / static_cast<double>(w);
        left = w;
      }
    }
    if (count == end + static_cast<std::uint64_t>(w)) {
      target = 1.0f / m;
      increment = target - current;
      left = 1;
      ended = true;
    }
  }
  std::vector<double> out(x.size(), 0.0);
  for (std::size_t k = static_cast<std::size_t>(l); k < n; ++k) {
    const std::int64_t from = static_cast<std::int64_t>(k) - (l - w);
    const double g = from >= 0 ? gain[static_cast<std::size_t>(from)] : 1.0 / m;
    for (std::uint16_t c = 0; c < ch; ++c) out[k * ch + c] = x[(k - static_cast<std::size_t>(l)) * ch + c] * m * g;
  }
  return out;
}

constexpr Setting kSettings[] = {
    {2.5, -12.0, 50.0, 3.0},
    {5.0, -30.0, 10.0, 12.0},
    {1.5, -18.0, 100.0, 0.0},
    {3.0, -24.0, 23.0, 6.0},
};

class AgainstReference : public ::testing::TestWithParam<std::tuple<std::uint32_t, int, std::uint16_t>> {};

TEST_P(AgainstReference, SameOutputWithinFloatRoundingInAnyBlockSplit) {
  const auto [rate, which, channels] = GetParam();
  const Setting& set = kSettings[which];
  const auto inv_ratio = static_cast<float>(1.0 / set.ratio);
  const auto makeup = static_cast<float>(FromDb(set.makeup_db));
  const auto threshold = static_cast<float>(FromDb(set.threshold_db - set.makeup_db));
  const auto window = static_cast<float>(set.window_ms);
  // Long enough for an exact recomputation of the sum at every rate.
  const std::vector<float> input = MusicLike(rate, channels, 6.5, rate + static_cast<std::uint32_t>(which));
  const auto frames = static_cast<std::uint32_t>(input.size() / channels);
  const std::uint64_t end = frames - rate / 5;

  CStdCompress whole, split;
  ASSERT_EQ(whole.Init(rate, channels, inv_ratio, threshold, window, makeup), 0u);
  ASSERT_EQ(split.Init(rate, channels, inv_ratio, threshold, window, makeup), 0u);
  whole.SetEnd(end);
  split.SetEnd(end);
  const auto got = RunSplit(whole, input, channels);
  EXPECT_EQ(got, RunSplit(split, input, channels, rate + 3));

  const auto want = Reference(input, rate, channels, inv_ratio, threshold, window, makeup, end);
  const std::size_t delay = std::size_t{rate / 10} * channels;
  double worst = 0.0, changed = 0.0;
  for (std::size_t i = delay; i < want.size(); ++i) {
    worst = std::max(worst, std::fabs(got[i] - want[i]));
    changed = std::max(changed, std::fabs(want[i] - input[i - delay]));
  }
  EXPECT_LT(worst, 1e-6 * makeup);
  EXPECT_GT(changed, 0.01) << "the settings must really compress this material";
}

INSTANTIATE_TEST_SUITE_P(RatesAndSettings, AgainstReference,
                         ::testing::Combine(::testing::Values(44100u, 48000u, 96000u), ::testing::Range(0, 4),
                                            ::testing::Values(std::uint16_t{2})));
INSTANTIATE_TEST_SUITE_P(Mono, AgainstReference,
                         ::testing::Values(std::make_tuple(44100u, 1, std::uint16_t{1})));

// out[k] / in[k - L] wherever the input is not tiny; -1 elsewhere.
std::vector<double> AppliedGains(const std::vector<float>& in, const std::vector<float>& out, std::uint32_t latency,
                                 std::uint16_t channels) {
  std::vector<double> g(out.size() / channels, -1.0);
  for (std::size_t k = latency; k < g.size(); ++k) {
    const float x = in[(k - latency) * channels];
    if (std::fabs(x) > 1e-3f) g[k] = out[k * channels] / static_cast<double>(x);
  }
  return g;
}

TEST(StdCompressEdges, RatioOneOnlyBringsInTheMakeupAtTheFirstRelease) {
  const std::uint32_t rate = 48000;
  const float makeup = static_cast<float>(FromDb(6.0));
  CStdCompress run;
  ASSERT_EQ(run.Init(rate, 1, 1.0f, static_cast<float>(FromDb(-30.0)), 40.0f, makeup), 0u);
  const std::vector<float> input = MusicLike(rate, 1, 3.0, 11);
  const auto gains = AppliedGains(input, RunSplit(run, input, 1), run.GetLatency(), 1);
  double last = 0.0;
  bool reached = false;
  std::size_t seen = 0;
  for (double g : gains) {
    if (g < 0) continue;
    ++seen;
    if (reached) {
      ASSERT_NEAR(g, makeup, 2e-6);
    } else {
      ASSERT_GE(g, last - 2e-6);
      ASSERT_LE(g, makeup + 2e-6);
      reached = std::fabs(g - makeup) < 1e-6;
      last = g;
    }
  }
  EXPECT_TRUE(reached);
  EXPECT_GT(seen, gains.size() / 2);
}

struct SettleCase {
  double level_db, threshold_db;
};

class SettlesAt : public ::testing::TestWithParam<SettleCase> {};

// A square wave has the same power in every window, so the detector sees a
// constant RMS.
TEST_P(SettlesAt, GainOfRmsOverThresholdToTheMinusHalf) {
  const std::uint32_t rate = 44100;
  const double a = FromDb(GetParam().level_db);
  const auto t = static_cast<float>(FromDb(GetParam().threshold_db));
  CStdCompress run;
  ASSERT_EQ(run.Init(rate, 1, 0.5f, t, 30.0f, 1.0f), 0u);
  std::vector<float> input(rate);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>((i / 50) % 2 ? a : -a);
  const auto gains = AppliedGains(input, RunSplit(run, input, 1), run.GetLatency(), 1);
  const double want = std::pow(static_cast<float>(a) / static_cast<double>(t), -0.5);
  for (std::size_t k = rate / 2; k < gains.size(); ++k) ASSERT_NEAR(gains[k], want, 1e-5) << k;
}

INSTANTIATE_TEST_SUITE_P(JustAboveAndWellAbove, SettlesAt,
                         ::testing::Values(SettleCase{-19.0, -20.0}, SettleCase{-11.9, -12.0},
                                           SettleCase{-3.0, -20.0}));

TEST(StdCompressEdges, ExactSumRecomputedEvery53RingsAt48kAnd58At44k) {
  EXPECT_EQ(CStdCompress::RecomputeInterval(48000), 53u);
  EXPECT_EQ(CStdCompress::RecomputeInterval(44100), 58u);
}

struct Change {
  const char* what;
  float window_ms, makeup_db;
};

class ReconfigureWhileRunning : public ::testing::TestWithParam<Change> {};

// A level jump starts an attack; the change comes in the middle of it, and
// the overall gain must move on smoothly (ramps of at least 10 ms move it
// less than 0.005 per frame).
TEST_P(ReconfigureWhileRunning, MakesNoGainStep) {
  const std::uint32_t rate = 48000;
  const Change change = GetParam();
  CStdCompress run;
  ASSERT_EQ(run.Init(rate, 1, 0.25f, static_cast<float>(FromDb(-20.0 - 3.0)), 20.0f,
                     static_cast<float>(FromDb(3.0))), 0u);
  std::vector<float> input(3 * rate);
  for (std::size_t i = 0; i < input.size(); ++i) {
    const double a = i < rate ? 0.05 : 0.7;
    input[i] = static_cast<float>((i / 40) % 2 ? a : -a);
  }
  std::vector<float> out = input;
  const std::uint32_t at = rate + rate / 200;
  ASSERT_EQ(run.Process(out.data(), at, 1, 1), 0u);
  ASSERT_EQ(run.Reconfigure(rate, 1, 0.25f, static_cast<float>(FromDb(-20.0 - change.makeup_db)), change.window_ms,
                            static_cast<float>(FromDb(change.makeup_db))), 0u);
  ASSERT_EQ(run.Process(out.data() + at, static_cast<std::uint32_t>(input.size()) - at, 1, 1), 0u);
  const auto gains = AppliedGains(input, out, run.GetLatency(), 1);
  double worst = 0.0;
  for (std::size_t k = run.GetLatency() + 1; k < gains.size(); ++k) worst = std::max(worst, std::fabs(gains[k] - gains[k - 1]));
  EXPECT_LT(worst, 0.005) << change.what;
}

INSTANTIATE_TEST_SUITE_P(Changes, ReconfigureWhileRunning,
                         ::testing::Values(Change{"makeup up", 20.0f, 9.0f}, Change{"makeup down", 20.0f, 0.0f},
                                           Change{"window to 100 ms", 100.0f, 3.0f},
                                           Change{"window to 10 ms", 10.0f, 3.0f},
                                           Change{"both", 60.0f, 12.0f}));

}  // namespace
}  // namespace tidemark::testing
