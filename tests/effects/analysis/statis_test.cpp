// The statistics run and the offset scan driven directly: the exact
// recomputation interval of the running window sum, results that do not
// depend on how the stretch is split into blocks, the channel mask, and the
// weighting hook.
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effects/analysis/offset_scan.h"
#include "effects/analysis/statis.h"
#include "platform/error_numbers.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark::NS_EFFECT {
namespace {

std::unique_ptr<CStatis> Made(std::uint32_t flags, std::uint32_t window, std::uint32_t origin = 0,
                              char weighting = 0) {
  std::unique_ptr<CStatis> run;
  EXPECT_EQ(CStatis::Create(flags, window, origin, weighting, 44100, &run), err::kOk);
  return run;
}

// Feeds `x` in pieces of the given sizes (repeated), as a scan would.
template <class Run>
void Feed(Run& run, std::vector<float> x, std::uint16_t channels, std::uint32_t mask,
          const std::vector<std::uint32_t>& pieces) {
  const auto frames = static_cast<std::uint32_t>(x.size() / channels);
  for (std::uint32_t done = 0, k = 0; done < frames; ++k) {
    const std::uint32_t n = std::min(pieces[k % pieces.size()], frames - done);
    ASSERT_EQ(run.Process(x.data() + std::size_t{done} * channels, n, channels, mask), err::kOk);
    done += n;
  }
}

struct RecomputeCase {
  std::uint32_t window;
  std::uint32_t frames;
  std::uint64_t recomputations;  // frames / (W × max(1, (W / 2 + 256000) / W)), worked out by hand
};

class StatisRecompute : public ::testing::TestWithParam<RecomputeCase> {};

TEST_P(StatisRecompute, AfterTheExactNumberOfWindows) {
  auto run = Made(statis_flag::kShortRms, GetParam().window);
  Feed(*run, std::vector<float>(GetParam().frames, 0.25f), 1, 1, {32768});
  EXPECT_EQ(run->recompute_count(), GetParam().recomputations);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, StatisRecompute,
    ::testing::Values(RecomputeCase{44100, 529199, 1},  // every 6 windows: 264600 frames
                      RecomputeCase{44100, 529200, 2},
                      RecomputeCase{8000, 255999, 0},   // every 32 windows: 256000 frames
                      RecomputeCase{8000, 256000, 1},
                      RecomputeCase{1, 768000, 3},      // every 256000 frames
                      RecomputeCase{512000, 1023999, 1},  // every window
                      RecomputeCase{600000, 1200000, 2}));

TEST(Statis, SplitIntoBlocksAnyWayGivesTheSameBits) {
  const std::vector<float> x = tidemark::testing::RandomSamples(2 * 50000, 6, 0.8f);
  auto whole = Made(statis_flag::kAll, 4410, 123);
  Feed(*whole, x, 2, 3, {50000});
  std::mt19937 engine(7);
  std::uniform_int_distribution<std::uint32_t> size(1, 5000);
  std::vector<std::uint32_t> random_pieces(200);
  for (auto& n : random_pieces) n = size(engine);
  for (const std::vector<std::uint32_t>& pieces : {std::vector<std::uint32_t>{1}, random_pieces}) {
    auto split = Made(statis_flag::kAll, 4410, 123);
    Feed(*split, x, 2, 3, pieces);
    const StatisResult a = whole->result(), b = split->result();
    EXPECT_EQ(a.frames, b.frames);
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(a.channel[c].sum, b.channel[c].sum);
      EXPECT_EQ(a.channel[c].sum_of_squares, b.channel[c].sum_of_squares);
      EXPECT_EQ(a.channel[c].maximum, b.channel[c].maximum);
      EXPECT_EQ(a.channel[c].maximum_frame, b.channel[c].maximum_frame);
      EXPECT_EQ(a.channel[c].minimum, b.channel[c].minimum);
      EXPECT_EQ(a.channel[c].minimum_frame, b.channel[c].minimum_frame);
    }
    EXPECT_EQ(a.largest_window_sum, b.largest_window_sum);
    EXPECT_EQ(a.largest_window_end, b.largest_window_end);
  }
}

TEST(Statis, MeasuresOnlyTheMaskedChannel) {
  std::vector<float> x = tidemark::testing::RandomSamples(2 * 3000, 8, 0.5f);
  x[2 * 10] = 0.99f;  // loud, but on the channel left out
  auto run = Made(statis_flag::kAll, 1000, 500);
  Feed(*run, x, 2, 2, {700});
  double squares = 0, peak = 0;
  std::uint32_t peak_at = 0;
  for (std::uint32_t i = 0; i < 3000; ++i) {
    const double v = x[2 * i + 1];
    squares += v * v;
    if (std::fabs(v) > peak) peak = std::fabs(v), peak_at = 500 + i;
  }
  std::uint32_t frame = 0;
  EXPECT_EQ(run->Peak(&frame), peak);
  EXPECT_EQ(frame, peak_at);
  EXPECT_NEAR(run->Rms(), std::sqrt(squares / 2999), 1e-12);
  const StatisResult r = run->result();
  EXPECT_EQ(r.channel[0].sum, 0.0);
  EXPECT_EQ(r.channel[0].maximum, 0.0f);
  EXPECT_EQ(r.channel[0].sum_of_squares, 0.0);
}

TEST(Statis, RefusesWhatItCannotMeasure) {
  std::unique_ptr<CStatis> run;
  EXPECT_EQ(CStatis::Create(statis_flag::kAll, 0, 0, 0, 44100, &run), err::kSizeLimit);
  EXPECT_EQ(CStatis::Create(statis_flag::kAll, 100, 0, 'A', 44100, &run), err::kSizeLimit);
  EXPECT_EQ(run, nullptr);
  run = Made(statis_flag::kAll, 100);
  float frame[3] = {0, 0, 0};
  EXPECT_EQ(run->Process(frame, 1, 3, 7), err::kSizeLimit);
}

struct WeightingCase {
  const char* option;
  bool with_factory;
  char letter;  // 0 for none; '?' refused
};

class WeightingOption : public ::testing::TestWithParam<WeightingCase> {};

// A weighting that doubles the samples, made only for 'B'.
class Doubling : public StatisWeighting {
 public:
  float Filter(std::uint16_t, float x) override { return 2 * x; }
  void Reset() override {}
};
Error MakeDoubling(char letter, std::uint32_t, std::uint16_t, StatisWeightingPtr* filter) {
  if (letter != 'B') return err::kSizeLimit;
  *filter = std::make_unique<Doubling>();
  return err::kOk;
}

TEST_P(WeightingOption, FirstCharacterUpperCased) {
  SetWeightingFactory(GetParam().with_factory ? MakeDoubling : nullptr);
  char letter = 'x';
  std::string why;
  const Error rc = ParseWeighting(GetParam().option, &letter, &why);
  SetWeightingFactory(nullptr);
  if (GetParam().letter == '?') {
    EXPECT_EQ(rc, err::kSizeLimit);
    EXPECT_NE(why.find("weighting"), std::string::npos) << why;
    EXPECT_NE(why.find("0 (no weighting)"), std::string::npos) << why;
  } else {
    EXPECT_EQ(rc, err::kOk);
    EXPECT_EQ(letter, GetParam().letter);
  }
}

INSTANTIATE_TEST_SUITE_P(Options, WeightingOption,
                         ::testing::Values(WeightingCase{"0", false, 0}, WeightingCase{"", false, 0},
                                           WeightingCase{"0xyz", false, 0}, WeightingCase{"A", false, '?'},
                                           WeightingCase{"b", false, '?'}, WeightingCase{"Z", false, '?'},
                                           WeightingCase{"\xC3\xA4", false, '?'}, WeightingCase{"a", true, 'A'},
                                           WeightingCase{"bee", true, 'B'}, WeightingCase{"E", true, '?'},
                                           WeightingCase{"0", true, 0}));

TEST(Statis, WeightingReachesOnlyTheSquares) {
  SetWeightingFactory(MakeDoubling);
  std::unique_ptr<CStatis> weighted;
  const Error made = CStatis::Create(statis_flag::kAll, 500, 0, 'B', 44100, &weighted);
  std::unique_ptr<CStatis> refused;
  const Error other = CStatis::Create(statis_flag::kAll, 500, 0, 'C', 44100, &refused);
  SetWeightingFactory(nullptr);
  ASSERT_EQ(made, err::kOk);
  EXPECT_EQ(other, err::kSizeLimit);
  auto plain = Made(statis_flag::kAll, 500);
  const std::vector<float> x = tidemark::testing::RandomSamples(2 * 2000, 9, 0.25f);
  Feed(*plain, x, 2, 3, {333});
  Feed(*weighted, x, 2, 3, {333});
  EXPECT_EQ(weighted->Peak(), plain->Peak());
  EXPECT_EQ(weighted->result().channel[1].sum, plain->result().channel[1].sum);
  EXPECT_NEAR(weighted->Rms(), 2 * plain->Rms(), 1e-12);
  EXPECT_NEAR(weighted->ShortRmsPeak(), 2 * plain->ShortRmsPeak(), 1e-7);
}

TEST(OffsetScan, SumsTheMaskedChannelsInDouble) {
  std::vector<float> x = tidemark::testing::RandomSamples(2 * 70000, 10, 0.5f);
  for (std::size_t i = 0; i < x.size(); i += 2) x[i] += 0.2f;
  for (std::uint32_t mask : {1u, 2u, 3u}) {
    COffsetScan one, pieces;
    Feed(one, x, 2, mask, {70000});
    Feed(pieces, x, 2, mask, {1, 4095, 32768});
    for (std::uint16_t c = 0; c < 2; ++c) {
      double sum = 0;
      for (std::size_t i = c; i < x.size(); i += 2) sum += x[i];
      EXPECT_EQ(one.sum(c), (mask & (1u << c)) ? sum : 0.0) << "mask " << mask << " channel " << c;
      EXPECT_EQ(pieces.sum(c), one.sum(c));
    }
    EXPECT_EQ(one.frames(), 70000u);
  }
}

}  // namespace
}  // namespace tidemark::NS_EFFECT
