// The silence search driven directly: gaps of constructed material where
// they were put, its guarantees over random material, the running sum
// against exact sums over an hour, and inputs that try to break it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "effects/analysis/search_silence.h"
#include "effects/analysis/statis.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {
namespace {

constexpr std::uint32_t kOrigin = 1000;
using Pieces = std::vector<std::pair<bool, std::uint32_t>>;  // loud or quiet, frames

// Random signs at `loud` or `quiet` level, piece by piece.
std::vector<float> Build(const Pieces& pieces, std::uint16_t channels, std::uint32_t seed, float loud = 0.5f,
                         float quiet = 0.001f) {
  std::mt19937 gen(seed);
  std::vector<float> out;
  for (const auto& [is_loud, frames] : pieces)
    for (std::size_t i = 0; i < std::size_t{frames} * channels; ++i)
      out.push_back((gen() & 1 ? 1.0f : -1.0f) * (is_loud ? loud : quiet));
  return out;
}

// Fed in blocks of `split` frames (0: seeded random sizes), then finished.
std::vector<SilenceGap> Search(const SilenceSettings& s, const std::vector<float>& x, std::uint16_t channels,
                               std::uint32_t split, std::uint32_t mask = 3) {
  std::unique_ptr<CSearchSilence> run;
  EXPECT_EQ(CSearchSilence::Create(s, kOrigin, &run), err::kOk);
  std::mt19937 gen(split + 5);
  std::vector<float> block;
  const auto frames = static_cast<std::uint32_t>(x.size() / channels);
  for (std::uint32_t done = 0, n; done < frames; done += n) {
    n = std::min(split ? split : 1 + static_cast<std::uint32_t>(gen() % 3000), frames - done);
    block.assign(x.begin() + std::ptrdiff_t{done} * channels, x.begin() + std::ptrdiff_t{done + n} * channels);
    EXPECT_EQ(run->Process(block.data(), n, channels, mask), err::kOk);
  }
  EXPECT_EQ(run->Finish(), err::kOk);
  return run->gaps();
}

struct LayoutCase {
  const char* name;
  Pieces pieces;
  std::uint32_t min_sound, burst;
  std::vector<std::pair<int, int>> gaps;  // from the start of piece .first to the end of piece .second
};

class SilenceLayout : public ::testing::TestWithParam<LayoutCase> {};

// Window 80, threshold -40 dB, shortest gap 400: quiet pieces lie 20 dB below.
TEST_P(SilenceLayout, GapsLieWhereTheQuietPiecesAre) {
  const LayoutCase& c = GetParam();
  std::vector<std::uint32_t> starts = {kOrigin};
  for (const auto& piece : c.pieces) starts.push_back(starts.back() + piece.second);
  std::vector<SilenceGap> expected;
  for (const auto& [first, last] : c.gaps) expected.push_back({starts[std::size_t(first)], starts[std::size_t(last) + 1]});
  const SilenceSettings s{.window = 80, .threshold_db = -40, .min_gap = 400, .min_sound = c.min_sound, .burst = c.burst};
  for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{2}})
    for (const std::uint32_t split : {0u, 1u, 100000u})
      EXPECT_EQ(Search(s, Build(c.pieces, channels, 11), channels, split), expected) << channels << " " << split;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SilenceLayout,
    ::testing::Values(
        LayoutCase{"between_sounds", {{1, 1000}, {0, 800}, {1, 600}, {0, 1200}, {1, 300}}, 0, 0, {{1, 1}, {3, 3}}},
        LayoutCase{"leading_and_trailing", {{0, 500}, {1, 1000}, {0, 700}}, 0, 0, {{0, 0}, {2, 2}}},
        LayoutCase{"short_gap_left_out", {{1, 1000}, {0, 399}, {1, 1000}, {0, 400}, {1, 100}}, 0, 0, {{3, 3}}},
        LayoutCase{"bursts_inside_a_gap", {{1, 900}, {0, 300}, {1, 20}, {0, 300}, {1, 30}, {0, 200}, {1, 900}}, 0, 30,
                   {{1, 5}}},
        LayoutCase{"burst_too_long", {{1, 1000}, {0, 500}, {1, 31}, {0, 500}, {1, 1000}}, 0, 30, {{1, 1}, {3, 3}}},
        LayoutCase{"burst_at_the_end", {{1, 1000}, {0, 500}, {1, 20}}, 0, 30, {{1, 1}}},
        LayoutCase{"short_sound_joins_the_next",
                   {{1, 1000}, {0, 600}, {1, 300}, {0, 600}, {1, 1000}, {0, 600}, {1, 600}}, 500, 0, {{1, 1}, {5, 5}}},
        LayoutCase{"leading_gap_needs_no_sound", {{0, 600}, {1, 300}, {0, 600}, {1, 10}}, 500, 0, {{0, 0}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(SilenceSearch, NeverAGapShorterThanTheMinimumOverRandomMaterial) {
  std::mt19937 gen(2024);
  const auto draw = [&](std::uint32_t lo, std::uint32_t hi) { return lo + static_cast<std::uint32_t>(gen() % (hi - lo + 1)); };
  for (int trial = 0; trial < 40; ++trial) {
    Pieces pieces;
    for (auto i = draw(10, 40); i > 0; --i) pieces.emplace_back(i % 2 == 0, draw(1, 3000));
    const std::uint16_t channels = trial % 2 ? 2 : 1;
    // Quiet pieces from silence up to just above the threshold.
    const auto x = Build(pieces, channels, draw(0, 999), 0.3f, static_cast<float>(draw(0, 150)) * 1e-4f);
    const SilenceSettings s{.window = draw(1, 200), .threshold_db = -40.0 + draw(0, 10), .min_gap = draw(0, 2500),
                            .min_sound = draw(0, 1500), .burst = draw(0, 100)};
    const std::vector<SilenceGap> gaps = Search(s, x, channels, 0);
    ASSERT_EQ(Search(s, x, channels, 4096), gaps) << "the block split changed the gaps, trial " << trial;
    std::uint32_t sound_from = kOrigin;
    for (const SilenceGap& g : gaps) {
      EXPECT_GE(g.end - g.start, std::max<std::uint32_t>(s.min_gap, 1)) << trial;
      EXPECT_GE(g.start, sound_from) << trial;
      if (g.start > kOrigin) {
        EXPECT_GE(g.start - sound_from, s.min_sound) << trial;
      }
      sound_from = g.end;
    }
    EXPECT_LE(sound_from, kOrigin + x.size() / channels);
  }
}

// An hour of 44.1 kHz stereo, streamed. Every sample is a multiple of 2^-32,
// so the test keeps the window sums exactly in integers (units of 2^-64);
// they need more bits than a double holds, so the running sum rounds.
// Between recomputations it sees at most R·W updates (R =
// RecomputeWindows(W)), each rounding by at most 2^-53 of a window sum,
// which stays below W·T as every frame kept in it is at most T; the
// recomputed start is off by at most W·2^-53 of the sum. So
// |running − exact| ≤ 2^-53 · T · (W² + R·W·(W + 1)), about 1.3e-8 T here.
TEST(SilenceSearch, AnHourOfRunningSumsMatchesExactSums) {
  constexpr std::uint32_t kRate = 44100, kW = 441;
  constexpr std::uint64_t kFrames = 3600ull * kRate;
  std::unique_ptr<CSearchSilence> run;
  ASSERT_EQ(CSearchSilence::Create({.window = kW, .threshold_db = -50, .min_gap = 1}, 0, &run), err::kOk);
  const double threshold = kW * 2 * std::pow(10.0, -5.0);
  const double bound = std::ldexp(threshold, -53) * (double{kW} * kW + double{RecomputeWindows(kW)} * kW * (kW + 1));
  std::uint64_t state = 0x9E3779B97F4A7C15ull;  // xorshift64*: a fast seeded source for an hour of noise
  const auto unit = [&] {
    state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
    return static_cast<double>((state * 0x2545F4914F6CDD1Dull) >> 11) * 0x1p-53;
  };
  using Exact = unsigned __int128;
  std::vector<Exact> ring(kW, 0);
  Exact exact = 0;
  const long double limit = std::ldexp(static_cast<long double>(threshold), 64);
  std::vector<SilenceGap> expected;  // the union of the quiet windows
  double amplitude = 0, worst = 0;
  std::vector<float> block(2 * 4096);
  for (std::uint64_t done = 0, piece_left = 0; done < kFrames;) {
    const auto n = static_cast<std::uint32_t>(std::min(static_cast<std::uint64_t>(1 + unit() * 4095), kFrames - done));
    for (std::uint32_t i = 0; i < n; ++i, ++done, --piece_left) {
      if (piece_left == 0) {  // 50 ms to 3 s: quiet, loud, or within 1.5 dB of the threshold
        piece_left = 2205 + static_cast<std::uint64_t>(unit() * 3 * kRate);
        const double u = unit(), db = u < 0.33 ? -75 : u < 0.67 ? -30 : -50 + 3 * (unit() - 0.5);
        amplitude = std::sqrt(3 * std::pow(10.0, db / 10));  // uniform noise of that mean power
      }
      Exact power = 0;
      for (std::uint32_t c = 0; c < 2; ++c) {
        // A float of at least 2^-9 is a multiple of 2^-32; a smaller one is put on that grid.
        const float x = static_cast<float>(std::nearbyint((2 * unit() - 1) * amplitude * 0x1p32) * 0x1p-32);
        block[2 * i + c] = x;
        const auto k = static_cast<std::int64_t>(static_cast<double>(x) * 0x1p32);
        power += static_cast<Exact>(k * k);
      }
      exact = exact - ring[done % kW] + power;
      ring[done % kW] = power;
      if (done + 1 < kW || static_cast<long double>(exact) > limit) continue;
      const auto first = static_cast<std::uint32_t>(done + 1 - kW), last = static_cast<std::uint32_t>(done + 1);
      if (!expected.empty() && first <= expected.back().end) expected.back().end = last;
      else expected.push_back({first, last});
    }
    ASSERT_EQ(run->Process(block.data(), n, 2, 3), err::kOk);
    const double exact_sum = static_cast<double>(std::ldexp(static_cast<long double>(exact), -64));
    worst = std::max(worst, std::fabs(run->running_sum() - exact_sum));
  }
  ASSERT_EQ(run->Finish(), err::kOk);
  EXPECT_EQ(run->recompute_count(), kFrames / (std::uint64_t{RecomputeWindows(kW)} * kW));
  EXPECT_LE(worst, bound) << "relative to the threshold: " << worst / threshold;
  EXPECT_LE(run->largest_correction(), bound);
  EXPECT_GT(expected.size(), 500u);
  EXPECT_TRUE(run->gaps() == expected) << run->gaps().size() << " gaps, expected " << expected.size();
}

struct OddCase {
  const char* name;
  std::uint16_t channels;
  std::uint32_t window;
  std::vector<float> x;
  std::vector<SilenceGap> gaps;  // from the stretch's start
  std::uint32_t mask = 3;
};

std::vector<float> With(std::size_t n, float fill, std::size_t at = 0, float value = 0) {
  std::vector<float> x(n, fill);
  if (at) x[at] = value;
  return x;
}
std::vector<float> Square(std::size_t n) {
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = (i / 40) % 2 ? -1.0f : 1.0f;
  return x;
}
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

class SilenceOddInput : public ::testing::TestWithParam<OddCase> {};

// Threshold -40 dB, shortest gap 1 frame. A non-finite or huge sample is one
// frame of sound: the gaps stop at it and start again right after it, so
// nothing of it stays in the running sum.
TEST_P(SilenceOddInput, GapsAsExpected) {
  const OddCase& c = GetParam();
  std::vector<SilenceGap> expected;
  for (const SilenceGap& g : c.gaps) expected.push_back({kOrigin + g.start, kOrigin + g.end});
  for (const std::uint32_t split : {0u, 1u})
    EXPECT_EQ(Search({.window = c.window, .threshold_db = -40, .min_gap = 1}, c.x, c.channels, split, c.mask), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SilenceOddInput,
    ::testing::Values(OddCase{"silence", 2, 80, With(2000, 0), {{0, 1000}}},
                      OddCase{"full_scale_square", 1, 80, Square(3000), {}},
                      OddCase{"dc", 2, 80, With(2000, 0.5f), {}},
                      OddCase{"nan", 1, 80, With(1000, 0.001f, 500, kNaN), {{0, 500}, {501, 1000}}},
                      OddCase{"infinity", 2, 80, With(2000, 0, 1001, -kInf), {{0, 500}, {501, 1000}}},
                      OddCase{"huge_value", 1, 80, With(1000, 0.001f, 300, 1e20f), {{0, 300}, {301, 1000}}},
                      OddCase{"nan_in_an_unmasked_channel", 2, 80, With(2000, 0, 1001, kNaN), {{0, 1000}}, 1},
                      OddCase{"one_sample", 1, 80, With(1, 0), {}},
                      OddCase{"shorter_than_the_window", 2, 80, With(158, 0), {}},
                      OddCase{"exactly_one_window", 2, 80, With(160, 0), {{0, 80}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// y = x + the channel's previous x ('B' only): a weighting with a memory.
class Echo : public StatisWeighting {
 public:
  void Filter(float* frames, std::size_t count, std::uint16_t channels) override {
    for (std::size_t i = 0; i < count * channels; ++i) frames[i] += std::exchange(last_[i % channels], frames[i]);
  }
  void Reset() override { last_ = {}; }
  std::array<float, 2> last_{};
};

TEST(SilenceSearch, NaNDoesNotStayInTheWeighting) {
  SetWeightingFactory([](char letter, std::uint32_t, std::uint16_t, StatisWeightingPtr* filter) -> Error {
    if (letter == 'B') *filter = std::make_unique<Echo>();
    return letter == 'B' ? err::kOk : err::kSizeLimit;
  });
  const auto gaps = Search({.window = 80, .threshold_db = -40, .min_gap = 1, .weighting = 'B'},
                           With(1000, 0.001f, 500, kNaN), 1, 0);
  SetWeightingFactory(nullptr);
  EXPECT_EQ(gaps, (std::vector<SilenceGap>{{kOrigin, kOrigin + 500}, {kOrigin + 501, kOrigin + 1000}}));
}

}  // namespace
}  // namespace tidemark::NS_EFFECT
