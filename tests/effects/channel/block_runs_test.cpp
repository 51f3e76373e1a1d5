// Every block run driven three ways (one block, frame by frame, random
// splits) to identical output and reset to a new run's; the fade's frame
// count across blocks; Mono output passing other channel counts.
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "effects/channel/channel_exchange.h"
#include "effects/channel/mid_side.h"
#include "effects/channel/mono_output.h"
#include "effects/channel/pan.h"
#include "effects/generators/noise_generator.h"
#include "effects/generators/sine_generator.h"
#include "effects/time/delay.h"
#include "effects/time/fade.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

template <class Run, class... A>
std::function<EffRunPtr()> Plain(A... a) {
  return [=] { return EffRunPtr(new Run(a...)); };
}
std::function<EffRunPtr()> Pan(bool widen) {
  return [=] {
    std::unique_ptr<NS_EFFECT_PAN::CMyEffRun> run;
    EXPECT_EQ(NS_EFFECT_PAN::CMyEffRun::Create(44100, -0.7f, 1.5f, 0.26f, widen, &run), 0u);
    return EffRunPtr(std::move(run));
  };
}
std::function<EffRunPtr()> Delay(std::uint8_t mode) {
  return [=] {
    std::unique_ptr<NS_EFFECT_DELAY::CMyEffRun> run;
    EXPECT_EQ(NS_EFFECT_DELAY::CMyEffRun::Create(8000, &run), 0u);
    run->Configure(100, 0.7f, 0.8f, mode);
    return EffRunPtr(std::move(run));
  };
}
std::function<EffRunPtr()> Noise() {
  return [] {
    auto run = std::make_unique<NS_EFFECT_GENNOISE::CMyEffRun>(0.2f);
    run->SetSeed(2024);
    return EffRunPtr(std::move(run));
  };
}

// Every run gives the same output however its input is cut into blocks,
// and after Reset it answers as a new run does (the noise generator alone
// goes on with its sequence).
TEST(BlockRuns, SameOutputHoweverTheBlocksAreSplitAndAfterReset) {
  using NS_EFFECT_GENSINE::CMyEffRun;
  const struct {
    const char* name;
    std::function<EffRunPtr()> make;
    std::uint16_t channels;
  } cases[] = {
      {"exchange", Plain<NS_EFFECT_CHXCHG::CMyEffRun>(), 2},
      {"midside", Plain<NS_EFFECT_MIDSIDE::CMyEffRun>(), 2},
      {"mono", Plain<NS_EFFECT_MONO::CMyEffRun>(0, 0.5f), 2},
      {"pan", Pan(false), 2},
      {"pan widened", Pan(true), 2},
      {"delay", Delay(0), 2},
      {"delay forward", Delay(1), 2},
      {"fade in", Plain<NS_EFFECT_FADE::CMyEffRun>(std::int16_t{0}, std::int16_t{0}, 6000u), 2},
      {"fade crossed", Plain<NS_EFFECT_FADE::CMyEffRun>(std::int16_t{1}, std::int16_t{0}, 6000u), 2},
      {"sine", Plain<CMyEffRun>(44100u, 997.0f, 0.3f), 2},
      {"sine nyquist mono", Plain<CMyEffRun>(44100u, 22050.0f, 0.3f), 1},
      {"noise", Noise(), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint32_t mask = c.channels == 2 ? 3u : 1u;
    const std::vector<float> fresh = ExpectSameOutputThreeWays(c.make, c.channels, mask);
    if (std::string_view(c.name) == "noise") continue;
    EffRunPtr run = c.make();
    const std::vector<float> input = RandomSamples(fresh.size(), 99);
    ProcessInBlocks(*run, RandomSamples(std::size_t{777} * c.channels, 5), c.channels, mask, {777});
    run->Reset();
    EXPECT_EQ(ProcessInBlocks(*run, input, c.channels, mask, {6000}), fresh);
  }
}

TEST(BlockRuns, MonoOutputPassesOtherChannelCounts) {
  for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{3}}) {
    NS_EFFECT_MONO::CMyEffRun run(0, 0.5f);
    auto samples = RandomSamples(std::size_t{channels} * 100, 33);
    const auto before = samples;
    ASSERT_EQ(run.Process(samples.data(), 100, channels, 7), 0u);
    EXPECT_EQ(samples, before) << channels << " channels";
  }
}

TEST(BlockRuns, FadeCountsFramesAcrossBlocks) {
  NS_EFFECT_FADE::CMyEffRun run(0, 1, 4);
  std::vector<float> ones(8, 1.0f);
  ASSERT_EQ(run.Process(ones.data(), 2, 2, 3), 0u);
  ASSERT_EQ(run.Process(ones.data() + 4, 2, 2, 3), 0u);
  EXPECT_EQ(ones, (std::vector<float>{0, 1, 0.25f, 0.75f, 0.5f, 0.5f, 0.75f, 0.25f}));
}

}  // namespace
}  // namespace tidemark::testing
