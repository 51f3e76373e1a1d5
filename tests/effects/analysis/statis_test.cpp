// The statistics run driven directly: the exact recomputation interval of
// the running window sum, results independent of the block split, and the
// weighting hook.
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "effects/analysis/statis.h"
#include "platform/error_numbers.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark::NS_EFFECT {
namespace {

std::unique_ptr<CStatis> Made(std::uint32_t window, char weighting = 0) {
  std::unique_ptr<CStatis> run;
  EXPECT_EQ(CStatis::Create(statis_flag::kAll, window, 123, weighting, 44100, &run), err::kOk);
  return run;
}

// Feeds `x` in pieces of the given sizes, repeated, as a scan would.
void Feed(CStatis& run, std::vector<float> x, const std::vector<std::uint32_t>& pieces, std::uint16_t channels = 2) {
  const auto frames = static_cast<std::uint32_t>(x.size() / channels);
  for (std::uint32_t done = 0, k = 0; done < frames; ++k) {
    const std::uint32_t n = std::min(pieces[k % pieces.size()], frames - done);
    ASSERT_EQ(run.Process(x.data() + std::size_t{done} * channels, n, channels, 3), err::kOk);
    done += n;
  }
}

struct RecomputeCase {
  std::uint32_t window, frames;
  std::uint64_t recomputations;  // frames / (W × max(1, (W / 2 + 256000) / W)), by hand
};

class StatisRecompute : public ::testing::TestWithParam<RecomputeCase> {};

TEST_P(StatisRecompute, AfterTheExactNumberOfWindows) {
  auto run = Made(GetParam().window);
  Feed(*run, std::vector<float>(2 * std::size_t{GetParam().frames}, 0.25f), {32768});
  EXPECT_EQ(run->recompute_count(), GetParam().recomputations);
}

INSTANTIATE_TEST_SUITE_P(Windows, StatisRecompute,
                         ::testing::Values(RecomputeCase{44100, 529199, 1},  // every 6 windows
                                           RecomputeCase{44100, 529200, 2},
                                           RecomputeCase{8000, 255999, 0},  // every 32 windows
                                           RecomputeCase{8000, 256000, 1},
                                           RecomputeCase{1, 768000, 3},  // every 256000 windows
                                           RecomputeCase{512000, 1023999, 1},  // every window
                                           RecomputeCase{600000, 1200000, 2}));

class StatisSplit : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(StatisSplit, AnyBlockSplitGivesTheSameBits) {
  // Long enough for one recomputation of the window (every 255780 frames).
  const std::uint16_t channels = GetParam();
  const std::vector<float> x = tidemark::testing::RandomSamples(channels * std::size_t{300000}, 6, 0.8f);
  const auto whole = Made(4410);
  Feed(*whole, x, {300000}, channels);
  std::mt19937 engine(7);
  std::vector<std::uint32_t> random_pieces(200);
  for (auto& n : random_pieces) n = std::uniform_int_distribution<std::uint32_t>(1, 5000)(engine);
  for (const auto& pieces : {std::vector<std::uint32_t>{1}, std::vector<std::uint32_t>{3, 1022}, random_pieces}) {
    const auto split = Made(4410);
    Feed(*split, x, pieces, channels);
    EXPECT_EQ(split->recompute_count(), 1u);
    const StatisResult a = whole->result(), b = split->result();
    for (int c = 0; c < channels; ++c) {
      const auto& p = a.channel[c];
      const auto& q = b.channel[c];
      EXPECT_EQ(std::tie(p.sum, p.sum_of_squares, p.maximum, p.maximum_frame, p.minimum, p.minimum_frame),
                std::tie(q.sum, q.sum_of_squares, q.maximum, q.maximum_frame, q.minimum, q.minimum_frame));
    }
    EXPECT_EQ(std::tie(a.frames, a.largest_window_sum, a.largest_window_end),
              std::tie(b.frames, b.largest_window_sum, b.largest_window_end));
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, StatisSplit, ::testing::Values(1, 2));

// A weighting that doubles the samples, made only for 'B'.
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

struct WeightingCase {
  const char* option;
  bool with_factory;
  char letter;  // 0: none; '?': refused
};

class WeightingOption : public ::testing::TestWithParam<WeightingCase> {};

TEST_P(WeightingOption, FirstCharacterUpperCased) {
  SetWeightingFactory(GetParam().with_factory ? MakeDoubling : nullptr);
  char letter = 'x';
  std::string why;
  const Error rc = ParseWeighting(GetParam().option, &letter, &why);
  SetWeightingFactory(nullptr);
  if (GetParam().letter == '?') {
    EXPECT_EQ(rc, err::kSizeLimit);
    EXPECT_NE(why.find("0 (no weighting)"), std::string::npos) << why;
  } else {
    EXPECT_EQ(rc, err::kOk);
    EXPECT_EQ(letter, GetParam().letter);
  }
}

INSTANTIATE_TEST_SUITE_P(Options, WeightingOption,
                         ::testing::Values(WeightingCase{"0", false, 0}, WeightingCase{"", false, 0},
                                           WeightingCase{"0xyz", false, 0}, WeightingCase{"A", false, '?'},
                                           WeightingCase{"Z", false, '?'}, WeightingCase{"\xC3\xA4", false, '?'},
                                           WeightingCase{"a", true, 'A'}, WeightingCase{"bee", true, 'B'},
                                           WeightingCase{"E", true, '?'}));

TEST(Statis, WeightingReachesOnlyTheSquares) {
  SetWeightingFactory(MakeDoubling);
  const auto weighted = Made(500, 'B');
  std::unique_ptr<CStatis> refused;
  const Error other = CStatis::Create(statis_flag::kAll, 500, 0, 'C', 44100, &refused);
  SetWeightingFactory(nullptr);
  ASSERT_TRUE(weighted);
  EXPECT_EQ(other, err::kSizeLimit);
  const auto plain = Made(500);
  const std::vector<float> x = tidemark::testing::RandomSamples(2 * 2000, 9, 0.25f);
  Feed(*plain, x, {333});
  Feed(*weighted, x, {333});
  EXPECT_EQ(weighted->Peak(), plain->Peak());
  EXPECT_EQ(weighted->result().channel[1].sum, plain->result().channel[1].sum);
  EXPECT_NEAR(weighted->Rms(), 2 * plain->Rms(), 1e-12);
  EXPECT_NEAR(weighted->ShortRmsPeak(), 2 * plain->ShortRmsPeak(), 1e-7);
}

}  // namespace
}  // namespace tidemark::NS_EFFECT
