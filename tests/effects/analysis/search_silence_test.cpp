// The silence search driven directly: gaps of constructed material where
// they were put, the search's guarantees over seeded random material, the
// running window sum against exact integer sums over an hour, and the
// inputs that try to break it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/error_codes.h"
#include "effects/analysis/search_silence.h"
#include "effects/analysis/statis.h"
#include "platform/error_numbers.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark::NS_EFFECT {
namespace {

constexpr std::uint32_t kOrigin = 1000;

// Stretches of material: loud ones (random signs at `level`) and quiet ones
// (random signs at a thousandth of full scale unless told).
struct Piece {
  bool loud;
  std::uint32_t frames;
};

std::vector<float> Build(const std::vector<Piece>& pieces, std::uint16_t channels, std::uint32_t seed,
                         float loud = 0.5f, float quiet = 0.001f) {
  std::mt19937 gen(seed);
  std::vector<float> out;
  for (const Piece& p : pieces)
    for (std::size_t i = 0; i < std::size_t{p.frames} * channels; ++i)
      out.push_back((gen() & 1 ? 1.0f : -1.0f) * (p.loud ? loud : quiet));
  return out;
}

// Feeds `x` in pieces of `split` frames (0: random sizes, seeded), then finishes.
std::vector<SilenceGap> Search(const SilenceSettings& settings, const std::vector<float>& x, std::uint16_t channels,
                               std::uint32_t split, std::uint32_t mask = 3) {
  std::unique_ptr<CSearchSilence> run;
  EXPECT_EQ(CSearchSilence::Create(settings, kOrigin, &run), err::kOk);
  if (!run) return {};
  std::mt19937 gen(split + 5);
  const auto frames = static_cast<std::uint32_t>(x.size() / channels);
  std::vector<float> block;
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(split ? split : 1 + static_cast<std::uint32_t>(gen() % 3000), frames - done);
    block.assign(x.begin() + std::ptrdiff_t{done} * channels, x.begin() + std::ptrdiff_t{done + n} * channels);
    EXPECT_EQ(run->Process(block.data(), n, channels, mask), err::kOk);
    done += n;
  }
  EXPECT_EQ(run->Finish(), err::kOk);
  return run->gaps();
}

SilenceSettings Settings(std::uint32_t window, double db, std::uint32_t min_gap, std::uint32_t min_sound = 0,
                         std::uint32_t burst = 0) {
  SilenceSettings s;
  s.window = window;
  s.threshold_db = db;
  s.min_gap = min_gap;
  s.min_sound = min_sound;
  s.burst = burst;
  s.rate = 8000;
  return s;
}

struct LayoutCase {
  const char* name;
  std::vector<Piece> pieces;
  std::uint32_t min_sound, burst;
  std::vector<std::pair<int, int>> gaps;  // from the start of piece .first to the end of piece .second
};

class SilenceLayout : public ::testing::TestWithParam<LayoutCase> {};

// Window 80 frames, threshold -40 dB, shortest gap 400 frames: the quiet
// pieces sit 20 dB below the threshold, the loud ones far above it.
TEST_P(SilenceLayout, GapsLieWhereTheQuietPiecesAre) {
  const LayoutCase& c = GetParam();
  std::vector<std::uint32_t> starts = {kOrigin};
  for (const Piece& p : c.pieces) starts.push_back(starts.back() + p.frames);
  std::vector<SilenceGap> expected;
  for (const auto& [first, last] : c.gaps)
    expected.push_back({starts[std::size_t(first)], starts[std::size_t(last) + 1]});
  for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{2}}) {
    const std::vector<float> x = Build(c.pieces, channels, 11);
    for (const std::uint32_t split : {0u, 1u, 100000u}) {
      SCOPED_TRACE("channels " + std::to_string(channels) + " split " + std::to_string(split));
      EXPECT_EQ(Search(Settings(80, -40, 400, c.min_sound, c.burst), x, channels, split), expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SilenceLayout,
    ::testing::Values(
        LayoutCase{"between_sounds", {{1, 1000}, {0, 800}, {1, 600}, {0, 1200}, {1, 300}}, 0, 0, {{1, 1}, {3, 3}}},
        LayoutCase{"leading_and_trailing", {{0, 500}, {1, 1000}, {0, 700}}, 0, 0, {{0, 0}, {2, 2}}},
        LayoutCase{"short_gap_left_out", {{1, 1000}, {0, 399}, {1, 1000}, {0, 400}, {1, 100}}, 0, 0, {{3, 3}}},
        LayoutCase{"bursts_inside_a_gap",
                   {{1, 1000}, {0, 300}, {1, 20}, {0, 300}, {1, 30}, {0, 200}, {1, 1000}},
                   0, 30, {{1, 5}}},
        LayoutCase{"burst_too_long", {{1, 1000}, {0, 500}, {1, 31}, {0, 500}, {1, 1000}}, 0, 30, {{1, 1}, {3, 3}}},
        LayoutCase{"burst_at_the_end", {{1, 1000}, {0, 500}, {1, 20}}, 0, 30, {{1, 1}}},
        LayoutCase{"short_sound_joins_the_next",
                   {{1, 1000}, {0, 600}, {1, 300}, {0, 600}, {1, 1000}, {0, 600}, {1, 600}},
                   500, 0, {{1, 1}, {5, 5}}},
        LayoutCase{"leading_gap_needs_no_sound", {{0, 600}, {1, 300}, {0, 600}, {1, 10}}, 500, 0, {{0, 0}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(SilenceSearch, NeverAGapShorterThanTheMinimumOverRandomMaterial) {
  std::mt19937 gen(2024);
  const auto uniform = [&](std::uint32_t lo, std::uint32_t hi) {
    return lo + static_cast<std::uint32_t>(gen() % (hi - lo + 1));
  };
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<Piece> pieces;
    for (auto i = uniform(10, 40); i > 0; --i) pieces.push_back({i % 2 == 0, uniform(1, 3000)});
    const std::uint16_t channels = trial % 2 ? 2 : 1;
    // Quiet pieces from silence up to just above the threshold.
    const float quiet = static_cast<float>(uniform(0, 150)) * 1e-4f;
    const std::vector<float> x = Build(pieces, channels, 100 + static_cast<std::uint32_t>(trial), 0.3f, quiet);
    const SilenceSettings s = Settings(uniform(1, 200), -40.0 + static_cast<double>(uniform(0, 10)), uniform(0, 2500), uniform(0, 1500),
                                       uniform(0, 100));
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::vector<SilenceGap> gaps = Search(s, x, channels, 0);
    ASSERT_EQ(Search(s, x, channels, 4096), gaps) << "the block split changed the gaps";
    const std::uint32_t end = kOrigin + static_cast<std::uint32_t>(x.size() / channels);
    std::uint32_t sound_from = kOrigin;
    for (const SilenceGap& g : gaps) {
      EXPECT_GE(g.end - g.start, std::max<std::uint32_t>(s.min_gap, 1));
      EXPECT_GE(g.start, sound_from);
      EXPECT_LE(g.end, end);
      if (g.start > kOrigin) {
        EXPECT_GE(g.start - sound_from, s.min_sound);
      }
      sound_from = g.end;
    }
  }
}

// An hour of 44.1 kHz stereo, streamed. Every sample is a multiple of
// 2^-32, so the test keeps the window sums exactly in integers (units of
// 2^-64); they need more bits than a double holds, so the running sum
// rounds. Between recomputations it sees at most R·W updates (R =
// RecomputeWindows(W)); each rounds by at most 2^-53 of a window sum, which
// stays below W·T as every frame kept in it is at most T, and the
// recomputed start is off by at most W·2^-53 of the sum. So
// |running − exact| ≤ 2^-53 · T · (W² + R·W·(W + 1)), about 1.3e-8 T here.
TEST(SilenceSearch, AnHourOfRunningSumsMatchesExactSums) {
  constexpr std::uint32_t kRate = 44100, kW = 441;
  constexpr std::uint64_t kFrames = 3600ull * kRate;
  SilenceSettings s = Settings(kW, -50, 1);
  s.rate = kRate;
  std::unique_ptr<CSearchSilence> run;
  ASSERT_EQ(CSearchSilence::Create(s, 0, &run), err::kOk);
  const double threshold = kW * 2 * std::pow(10.0, -50.0 / 10);
  const double bound =
      std::ldexp(threshold, -53) * (double{kW} * kW + double{RecomputeWindows(kW)} * kW * (kW + 1));

  std::uint64_t state = 0x9E3779B97F4A7C15ull;  // xorshift64*: a fast seeded source for an hour of noise
  const auto next = [&] {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
  };
  const auto unit = [&] { return static_cast<double>(next() >> 11) * 0x1p-53; };

  using Exact = unsigned __int128;
  std::vector<Exact> ring(kW, 0);
  Exact exact = 0;  // Σ k² of the window, in units of 2^-64
  const long double limit = std::ldexp(static_cast<long double>(threshold), 64);
  std::vector<SilenceGap> expected;
  bool open = false;
  std::uint64_t piece_left = 0;
  double amplitude = 0;
  double worst = 0;
  std::vector<float> block(2 * 4096);
  for (std::uint64_t done = 0; done < kFrames;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(1 + next() % 4096, kFrames - done));
    for (std::uint32_t i = 0; i < n; ++i, ++done) {
      if (piece_left == 0) {
        // Pieces of 50 ms to 3 s: quiet, loud, or within 1.5 dB of the threshold.
        piece_left = 2205 + next() % (3 * kRate);
        const int kind = static_cast<int>(next() % 3);
        const double db = kind == 0 ? -75 : kind == 1 ? -30 : -50 + 3 * (unit() - 0.5);
        amplitude = std::sqrt(3 * std::pow(10.0, db / 10));  // uniform noise of that mean power
      }
      --piece_left;
      Exact power = 0;
      for (int c = 0; c < 2; ++c) {
        // A float of at least 2^-9 is a multiple of 2^-32; a smaller one is
        // put on that grid first.
        const double grid = std::nearbyint((2 * unit() - 1) * amplitude * 0x1p32) * 0x1p-32;
        const float x = static_cast<float>(grid);
        block[2 * i + static_cast<std::uint32_t>(c)] = x;
        const auto k = static_cast<std::int64_t>(static_cast<double>(x) * 0x1p32);
        power += static_cast<Exact>(k * k);
      }
      Exact& slot = ring[done % kW];
      exact = exact - slot + power;
      slot = power;
      if (done + 1 < kW || static_cast<long double>(exact) > limit) continue;
      // The window [done - W + 1, done] is quiet: the gaps are the union of such windows.
      const auto first = static_cast<std::uint32_t>(done + 1 - kW), last = static_cast<std::uint32_t>(done + 1);
      if (open && first <= expected.back().end) expected.back().end = last;
      else expected.push_back({first, last});
      open = true;
    }
    ASSERT_EQ(run->Process(block.data(), n, 2, 3), err::kOk);
    worst = std::max(worst, std::fabs(run->running_sum() -
                                      static_cast<double>(std::ldexp(static_cast<long double>(exact), -64))));
  }
  ASSERT_EQ(run->Finish(), err::kOk);
  EXPECT_EQ(run->recompute_count(), kFrames / (std::uint64_t{RecomputeWindows(kW)} * kW));
  EXPECT_LE(worst, bound) << "relative to the threshold: " << worst / threshold;
  EXPECT_LE(run->largest_correction(), bound);
  EXPECT_GT(expected.size(), 500u);
  ASSERT_EQ(run->gaps().size(), expected.size());
  EXPECT_TRUE(run->gaps() == expected);
}

struct OddCase {
  const char* name;
  std::uint16_t channels;
  std::uint32_t window;
  std::vector<float> x;
  std::vector<SilenceGap> gaps;  // relative to the stretch's start
  std::uint32_t mask = 3;
};

std::vector<float> Filled(std::size_t n, float value) { return std::vector<float>(n, value); }
std::vector<float> With(std::vector<float> x, std::size_t at, float value) {
  x[at] = value;
  return x;
}
std::vector<float> Square(std::size_t n, std::size_t half) {
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = (i / half) % 2 ? -1.0f : 1.0f;
  return x;
}

class SilenceOddInput : public ::testing::TestWithParam<OddCase> {};

// Window as given, threshold -40 dB, shortest gap 1 frame. A non-finite or
// huge sample is one frame of sound: the gaps end where its first window
// starts and start again right after it, so nothing of it stays in the sum.
TEST_P(SilenceOddInput, GapsAsExpected) {
  const OddCase& c = GetParam();
  std::vector<SilenceGap> expected;
  for (const SilenceGap& g : c.gaps) expected.push_back({kOrigin + g.start, kOrigin + g.end});
  for (const std::uint32_t split : {0u, 1u}) {
    SCOPED_TRACE("split " + std::to_string(split));
    EXPECT_EQ(Search(Settings(c.window, -40, 1), c.x, c.channels, split, c.mask), expected);
  }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, SilenceOddInput,
    ::testing::Values(
        OddCase{"silence", 2, 80, Filled(2000, 0), {{0, 1000}}},
        OddCase{"full_scale_square", 1, 80, Square(3000, 40), {}},
        OddCase{"dc", 2, 80, Filled(2000, 0.5f), {}},
        OddCase{"quiet_dc", 1, 80, Filled(1000, 0.001f), {{0, 1000}}},
        OddCase{"nan", 1, 80, With(Filled(1000, 0.001f), 500, kNaN), {{0, 500}, {501, 1000}}},
        OddCase{"infinity", 2, 80, With(Filled(2000, 0), 1001, -kInf), {{0, 500}, {501, 1000}}},
        OddCase{"huge_value", 1, 80, With(Filled(1000, 0.001f), 300, 1e20f), {{0, 300}, {301, 1000}}},
        OddCase{"nan_in_an_unmasked_channel", 2, 80, With(Filled(2000, 0), 1001, kNaN), {{0, 1000}}, 1},
        OddCase{"masked_channel_only", 2, 80, With(Filled(2000, 0), 1001, 0.9f), {{0, 1000}}, 1},
        OddCase{"one_sample", 1, 80, Filled(1, 0), {}},
        OddCase{"one_sample_one_frame_window", 1, 1, Filled(1, 0), {{0, 1}}},
        OddCase{"shorter_than_the_window", 2, 80, Filled(158, 0), {}},
        OddCase{"exactly_one_window", 2, 80, Filled(160, 0), {{0, 80}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Doubles every sample: a weighting 6 dB up.
class Doubling : public StatisWeighting {
 public:
  void Filter(float* frames, std::size_t count, std::uint16_t channels) override {
    for (std::size_t i = 0; i < count * channels; ++i) frames[i] *= 2;
  }
  void Reset() override {}
};
Error MakeDoubling(char letter, std::uint32_t, std::uint16_t, StatisWeightingPtr* filter) {
  if (letter != 'B') return err::kSizeLimit;
  *filter = std::make_unique<Doubling>();
  return err::kOk;
}

TEST(SilenceSearch, TheWeightingComesBeforeThePowers) {
  // 0.008 is 1.9 dB below -40 dB; doubled it is 4.1 dB above.
  const std::vector<float> x = Build({{0, 1000}}, 2, 3, 0, 0.008f);
  SetWeightingFactory(MakeDoubling);
  SilenceSettings s = Settings(80, -40, 1);
  const std::vector<SilenceGap> plain = Search(s, x, 2, 0);
  s.weighting = 'B';
  const std::vector<SilenceGap> weighted = Search(s, x, 2, 0);
  s.weighting = 'C';
  std::unique_ptr<CSearchSilence> refused;
  EXPECT_EQ(CSearchSilence::Create(s, 0, &refused), err::kSizeLimit);
  SetWeightingFactory(nullptr);
  EXPECT_EQ(plain, (std::vector<SilenceGap>{{kOrigin, kOrigin + 1000}}));
  EXPECT_TRUE(weighted.empty());
}

class SilenceDocument : public testing::LevelEffectTest {};

TEST_F(SilenceDocument, SelectionOffsetsTheGapsAndCancelStops) {
  Open(Build({{1, 1000}, {0, 3000}, {1, 1000}}, 2, 4), 2, 8000);
  std::vector<SilenceGap> gaps;
  {
    ProgressScope scope;
    ASSERT_EQ(SearchSilence(scope, *doc_, 500, 4000, 3, Settings(80, -40, 400), &gaps), err::kOk);
  }
  EXPECT_EQ(gaps, (std::vector<SilenceGap>{{1000, 4000}}));
  const Error refusals[] = {
      [&] { ProgressScope scope; return SearchSilence(scope, *doc_, 10, 0, 3, Settings(80, -40, 1), &gaps); }(),
      [&] { ProgressScope scope; return SearchSilence(scope, *doc_, 4000, 1001, 3, Settings(80, -40, 1), &gaps); }(),
      [&] { ProgressScope scope; return SearchSilence(scope, *doc_, 0, 10, 3, Settings(0, -40, 1), &gaps); }(),
  };
  EXPECT_EQ(refusals[0], err::kNoSelection);
  EXPECT_EQ(refusals[1], err::kSizeLimit);
  EXPECT_EQ(refusals[2], err::kSizeLimit);

  Open(Filled(2 * 200000, 0), 2, 8000);
  testing::TestDisplay display(2);
  SetProgressDisplay(&display);
  ProgressScope scope;
  EXPECT_EQ(SearchSilence(scope, *doc_, 0, 200000, 3, Settings(80, -40, 1), &gaps), err::kCancelled);
}

}  // namespace
}  // namespace tidemark::NS_EFFECT
