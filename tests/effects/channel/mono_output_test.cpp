// Mono output: the three sources and gains against the formula computed
// here; other channel counts pass unchanged.
#include "effects/channel/mono_output.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

SettingsBlock MonoBlock(std::int16_t source, std::int16_t gain) { return BlockBytes(4).I16(0, source).I16(2, gain); }

struct SourceCase {
  std::int16_t source, gain;
};

class MonoOutputSources : public ::testing::TestWithParam<SourceCase> {};

TEST_P(MonoOutputSources, BothChannelsTakeTheSourceTimesTheGain) {
  const auto [source, gain] = GetParam();
  constexpr std::uint32_t kFrames = 1500;
  const auto input = RandomSamples(kFrames * 2, 31);
  DocumentPtr doc = MakeFloatDocument(input, 2);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_MONO::Entry(), *doc, MonoBlock(source, gain)), 0u);
  const auto out = ReadAll(*doc);
  const double factor = std::pow(10.0, gain / 2000.0);
  for (std::size_t f = 0; f < kFrames; ++f) {
    const double l = input[2 * f], r = input[2 * f + 1];
    const double want = (source == 0 ? l + r : source == 1 ? l : r) * factor;
    ASSERT_NEAR(out[2 * f], want, 1e-6) << f;
    ASSERT_NEAR(out[2 * f + 1], want, 1e-6) << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, MonoOutputSources,
                         ::testing::Values(SourceCase{0, -600}, SourceCase{1, -600}, SourceCase{2, -600},
                                           SourceCase{0, 0}, SourceCase{2, -2000}));

TEST(MonoOutput, MonoDocumentIsLeftUnchanged) {
  const auto input = RandomSamples(900, 32);
  DocumentPtr doc = MakeFloatDocument(input, 1);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_MONO::Entry(), *doc, MonoBlock(1, -2000)), 0u);
  EXPECT_EQ(doc->channels, 1);
  EXPECT_EQ(ReadAll(*doc), input);
  for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{3}}) {
    NS_EFFECT_MONO::CMyEffRun run(0, 0.5f);
    auto samples = RandomSamples(std::size_t{channels} * 100, 33);
    const auto before = samples;
    ASSERT_EQ(run.Process(samples.data(), 100, channels, 7), 0u);
    EXPECT_EQ(samples, before) << channels << " channels";
  }
}

TEST(MonoOutput, SameOutputHoweverTheBlocksAreSplit) {
  ExpectSameOutputThreeWays([] { return EffRunPtr(new NS_EFFECT_MONO::CMyEffRun(0, 0.5f)); }, 2, 3);
}

}  // namespace
}  // namespace tidemark::testing
