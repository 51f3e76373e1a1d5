// Mid-side: half sum and half difference, computed here.
#include "effects/channel/mid_side.h"

#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

TEST(MidSide, EqualChannelsGiveMidOneSideZero) {
  NS_EFFECT_MIDSIDE::CMyEffRun run;
  std::vector<float> frame{1.0f, 1.0f};
  ASSERT_EQ(run.Process(frame.data(), 1, 2, 3), 0u);
  EXPECT_EQ(frame, (std::vector<float>{1.0f, 0.0f}));
}

TEST(MidSide, DocumentTakesHalfSumAndHalfDifference) {
  constexpr std::uint32_t kFrames = 1200, kFrom = 100, kTo = 1000;
  const auto input = RandomSamples(kFrames * 2, 41);
  DocumentPtr doc = MakeFloatDocument(input, 2);
  Select(*doc, kFrom, kTo);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_MIDSIDE::Entry(), *doc), 0u);
  const auto out = ReadAll(*doc);
  for (std::size_t f = 0; f < kFrames; ++f) {
    const double l = input[2 * f], r = input[2 * f + 1];
    const bool inside = f >= kFrom && f < kTo;
    ASSERT_NEAR(out[2 * f], inside ? (l + r) * 0.5 : l, 1e-7) << f;
    ASSERT_NEAR(out[2 * f + 1], inside ? (l - r) * 0.5 : r, 1e-7) << f;
  }
}

TEST(MidSide, SameOutputHoweverTheBlocksAreSplit) {
  ExpectSameOutputThreeWays([] { return EffRunPtr(new NS_EFFECT_MIDSIDE::CMyEffRun()); }, 2, 3);
}

}  // namespace
}  // namespace tidemark::testing
