// Channel exchange: swapped once, identity twice.
#include "effects/channel/channel_exchange.h"

#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

TEST(ChannelExchange, OnceSwapsTwiceRestores) {
  constexpr std::uint32_t kFrames = 1000;
  const auto input = RandomSamples(kFrames * 2, 51);
  DocumentPtr doc = MakeFloatDocument(input, 2);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_CHXCHG::Entry(), *doc), 0u);
  const auto once = ReadAll(*doc);
  for (std::size_t f = 0; f < kFrames; ++f) {
    ASSERT_EQ(once[2 * f], input[2 * f + 1]);
    ASSERT_EQ(once[2 * f + 1], input[2 * f]);
  }
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_CHXCHG::Entry(), *doc), 0u);
  EXPECT_EQ(ReadAll(*doc), input);
}

TEST(ChannelExchange, SameOutputHoweverTheBlocksAreSplit) {
  ExpectSameOutputThreeWays([] { return EffRunPtr(new NS_EFFECT_CHXCHG::CMyEffRun()); }, 2, 3);
}

}  // namespace
}  // namespace tidemark::testing
