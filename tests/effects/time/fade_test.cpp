// Fade: each shape's lines against |d - i/n| computed here, through
// documents (mono made stereo by the crossed shapes) and on the run.
#include "effects/time/fade.h"

#include <cmath>

#include <gtest/gtest.h>

#include "core/undo/undo_history.h"
#include "effects/framework/block_run_worker.h"
#include "platform/headless_editor_window.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

SettingsBlock Shape(std::int16_t shape) { return BlockBytes(2).I16(0, shape); }

// The gain of frame i of n for direction d: a line from 0 to 1 (d = 0) or
// from 1 to 0 (d = 1).
double Line(int d, std::size_t i, std::size_t n) {
  const double t = double(i) / double(n);
  return d == 0 ? t : 1.0 - t;
}

struct ShapeCase {
  std::int16_t shape;
  int d0, d1;
};

class FadeShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(FadeShapes, StereoSelectionFollowsTheLines) {
  const auto [shape, d0, d1] = GetParam();
  constexpr std::uint32_t kFrames = 3000, kFrom = 500, kTo = 2300;
  const auto input = RandomSamples(kFrames * 2, 11);
  DocumentPtr doc = MakeFloatDocument(input, 2);
  Select(*doc, kFrom, kTo);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_FADE::Entry(), *doc, Shape(shape)), 0u);
  const auto out = ReadAll(*doc);
  ASSERT_EQ(out.size(), input.size());
  const int d[2] = {d0, d1};
  for (std::size_t f = 0; f < kFrames; ++f) {
    for (std::uint16_t c = 0; c < 2; ++c) {
      const double want = f < kFrom || f >= kTo ? At(input, 2, f, c)
                                                : At(input, 2, f, c) * Line(d[c], f - kFrom, kTo - kFrom);
      ASSERT_NEAR(At(out, 2, f, c), want, 1e-7) << "frame " << f << " channel " << c;
    }
  }
  EXPECT_TRUE(CanUndo(*doc));
  ASSERT_EQ(Undo(*doc), 0u);
  EXPECT_EQ(ReadAll(*doc), input);
}

TEST_P(FadeShapes, MonoSelectionBecomesStereoOnlyForTheCrossedShapes) {
  const auto [shape, d0, d1] = GetParam();
  constexpr std::uint32_t kFrames = 2000;
  const auto input = RandomSamples(kFrames, 12);
  DocumentPtr doc = MakeFloatDocument(input, 1);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_FADE::Entry(), *doc, Shape(shape)), 0u);
  const bool crossed = d0 != d1;
  ASSERT_EQ(doc->channels, crossed ? 2 : 1);
  const auto out = ReadAll(*doc);
  for (std::size_t f = 0; f < kFrames; ++f) {
    ASSERT_NEAR(out[f * doc->channels], input[f] * Line(d0, f, kFrames), 1e-7) << f;
    if (crossed) {
      ASSERT_NEAR(out[f * 2 + 1], input[f] * Line(d1, f, kFrames), 1e-7) << f;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, FadeShapes,
                         ::testing::Values(ShapeCase{0, 0, 0}, ShapeCase{1, 1, 1}, ShapeCase{2, 1, 0},
                                           ShapeCase{3, 0, 1}));

// The straight shapes follow the selected channels; the crossed ones work
// on both whatever is selected.
TEST(Fade, ChannelMaskOfTheEditorOrOfTheCrossedShape) {
  const auto input = RandomSamples(800 * 2, 13);
  for (const std::int16_t shape : {std::int16_t{1}, std::int16_t{3}}) {
    DocumentPtr doc = MakeFloatDocument(input, 2);
    SelectAll(*doc);
    SetChannelMask(*doc, 1);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_FADE::Entry(), *doc, Shape(shape)), 0u);
    const auto out = ReadAll(*doc);
    for (std::size_t f = 0; f < 800; ++f) {
      ASSERT_NEAR(out[2 * f], input[2 * f] * Line(shape == 1 ? 1 : 0, f, 800), 1e-7);
      ASSERT_NEAR(out[2 * f + 1], shape == 1 ? input[2 * f + 1] : input[2 * f + 1] * Line(1, f, 800), 1e-7);
    }
    const auto& log = static_cast<HeadlessEditorWindow&>(*doc->editor).log();
    const ReceivedMessage processed{effect_msg::kChannelsProcessed, shape == 1 ? 1u : 3u, 0};
    EXPECT_NE(std::find(log.begin(), log.end(), processed), log.end()) << "shape " << shape;
  }
}

TEST(Fade, RunCountsFramesAcrossBlocksAndResetStartsAgain) {
  NS_EFFECT_FADE::CMyEffRun run(0, 1, 4);
  std::vector<float> ones(8, 1.0f);
  ASSERT_EQ(run.Process(ones.data(), 2, 2, 3), 0u);
  ASSERT_EQ(run.Process(ones.data() + 4, 2, 2, 3), 0u);
  EXPECT_EQ(ones, (std::vector<float>{0, 1, 0.25f, 0.75f, 0.5f, 0.5f, 0.75f, 0.25f}));
  run.Reset();
  std::vector<float> again(2, 1.0f);
  ASSERT_EQ(run.Process(again.data(), 1, 2, 3), 0u);
  EXPECT_EQ(again, (std::vector<float>{0, 1}));
}

}  // namespace
}  // namespace tidemark::testing
