// The click removal run: output independent of threads and block splits,
// linked or not; the bad inputs; short selections and the pre-check's
// reach; the entry on a document with its latency compensated.
#include <omp.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "effects/restoration/declick.h"
#include "tests/effects/channel/block_run_test_util.h"
#include "tests/effects/restoration/declick_test_util.h"

namespace tidemark::testing {
namespace {

constexpr std::uint32_t kRate = 44100;

std::vector<float> ClickedStereo(std::uint32_t frames, std::vector<Click>* clicks = nullptr) {
  std::vector<float> x = MusicLike(frames, kRate, 2, 21);
  const std::vector<Click> made = AddClicks(x, 2, frames / 8000, 22);
  if (clicks) *clicks = made;
  return x;
}

TEST(DeclickRun, OutputIsTheSameForAnyThreadCountAndBlockSplit) {
  constexpr std::uint32_t kFrames = kRate * 4;
  const std::vector<float> x = ClickedStereo(kFrames);
  for (const bool link : {true, false}) {
    std::vector<std::vector<float>> outputs;
    for (const int threads : {1, 2}) {
      omp_set_num_threads(threads);
      auto run = MakeDeclick(kRate, 2, kFrames, link);
      outputs.push_back(RunAligned(*run, x, 2, 3));
      EXPECT_GT(run->repaired(), 0u);
    }
    // Blocks of an odd size, shorter than a hop, fall across every boundary.
    auto run = MakeDeclick(kRate, 2, kFrames, link);
    outputs.push_back(RunAligned(*run, x, 2, 3, 1777));
    EXPECT_EQ(outputs[0], outputs[1]) << "link " << link;
    EXPECT_EQ(outputs[0], outputs[2]) << "link " << link;
  }
  omp_set_num_threads(omp_get_num_procs());
}

enum class Bad { kSilence, kSquare, kDc, kNonFinite };

class DeclickBadInput : public ::testing::TestWithParam<std::tuple<Bad, bool>> {};

// Silence and DC come out as they went in; a full-scale square may have its
// edges rebuilt but stays finite and within the level limit; non-finite
// samples pass through where they are and nowhere else, in either channel.
TEST_P(DeclickBadInput, StaysBoundedAndDoesNotSpread) {
  const auto [kind, link] = GetParam();
  constexpr std::uint32_t kFrames = kRate * 2;
  std::vector<float> x(std::size_t{kFrames} * 2, 0.0f);
  if (kind == Bad::kSquare)
    for (std::size_t f = 0; f < kFrames; ++f) x[2 * f] = x[2 * f + 1] = (f / 220) % 2 ? 1.0f : -1.0f;
  if (kind == Bad::kDc) std::fill(x.begin(), x.end(), 0.5f);
  std::vector<std::size_t> bad;
  if (kind == Bad::kNonFinite) {
    x = MusicLike(kFrames, kRate, 2, 41);
    constexpr float kValues[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
    for (std::size_t k = 0; k < 30; ++k) {
      bad.push_back((k * 2803 + 4000) * 2 + k % 2);
      x[bad.back()] = kValues[k % 3];
    }
  }
  auto run = MakeDeclick(kRate, 2, kFrames, link);
  const std::vector<float> out = RunAligned(*run, x, 2, 3);
  const float limit = NS_EFFECT::DeclickSettings{}.limit;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (std::find(bad.begin(), bad.end(), i) != bad.end()) {
      ASSERT_EQ(std::isnan(out[i]), std::isnan(x[i])) << i;
      ASSERT_EQ(out[i] == x[i], !std::isnan(x[i])) << i;
      continue;
    }
    ASSERT_TRUE(std::isfinite(out[i])) << i;
    if (kind == Bad::kSilence || kind == Bad::kDc) {
      ASSERT_EQ(out[i], x[i]) << i;
    } else if (kind == Bad::kSquare) {
      ASSERT_LE(std::fabs(out[i]), limit) << i;
    }
  }
  if (kind == Bad::kSilence || kind == Bad::kDc) {
    EXPECT_EQ(run->repaired(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeclickBadInput,
                         ::testing::Combine(::testing::Values(Bad::kSilence, Bad::kSquare, Bad::kDc, Bad::kNonFinite),
                                            ::testing::Bool()));

struct ShortCase {
  std::uint32_t rate;
  std::uint32_t frames;
  bool pre_check;
};

class DeclickShortSelection : public ::testing::TestWithParam<ShortCase> {};

// Selections shorter than 50 ms skip the pre-check, as do rates whose band
// from 2 to 20 kHz holds no bin; either way every hop goes to the detector
// and a click in the middle is found. A one-frame selection comes back
// as it was.
TEST_P(DeclickShortSelection, ClicksAreFoundWithoutThePreCheck) {
  const auto [rate, frames, pre_check] = GetParam();
  auto run = MakeDeclick(rate, 1, frames);
  EXPECT_EQ(run->pre_check(), pre_check);
  EXPECT_EQ(run->geometry().HasBand(), rate > 4000);
  const std::vector<float> clean = MusicLike(frames, rate, 1, 51);
  std::vector<float> x = clean;
  if (frames > 200) x[frames / 2] += 0.7f;
  const std::vector<float> out = RunAligned(*run, x, 1, 1);
  if (frames <= 200) {
    EXPECT_EQ(out, x);
    EXPECT_EQ(run->repaired(), 0u);
    return;
  }
  EXPECT_EQ(run->repaired(), 1u);
  EXPECT_NEAR(out[frames / 2], clean[frames / 2], 0.05);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeclickShortSelection,
                         ::testing::Values(ShortCase{44100, 1, false}, ShortCase{44100, 200, false},
                                           ShortCase{44100, 2204, false}, ShortCase{44100, 2205, true},
                                           ShortCase{4000, 8000, false}, ShortCase{8000, 8000, true},
                                           ShortCase{96000, 20000, true}));

// Through the entry and the block-run worker: the latency is compensated,
// unclicked frames come back bit for bit and the clicks are gone.
TEST(DeclickEntry, RepairsADocumentSelectionInPlace) {
  constexpr std::uint32_t kFrames = kRate * 3;
  std::vector<Click> clicks;
  const std::vector<float> x = ClickedStereo(kFrames, &clicks);
  DocumentPtr document = MakeFloatDocument(x, 2, kRate);
  SelectAll(*document);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_DECLICK::Entry(), *document,
                             BlockBytes(NS_EFFECT_DECLICK::kBlockSize).I16(0, 20).I16(2, 1000).I16(4, 3000)),
            0u);
  const std::vector<float> out = ReadAll(*document);
  auto run = MakeDeclick(kRate, 2, kFrames, true);
  EXPECT_EQ(out, RunAligned(*run, x, 2, 3));
  for (const Click& click : clicks)
    EXPECT_NE(out[std::size_t{click.at} * 2 + click.channel], x[std::size_t{click.at} * 2 + click.channel]);
  EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 2000), std::vector<float>(x.begin(), x.begin() + 2000));
}

}  // namespace
}  // namespace tidemark::testing
