// Every block run driven three ways (one block, frame by frame, random
// splits) to identical output, and the plain channel effects against their
// formulas over a partial selection.
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

TEST(BlockRuns, SameOutputHoweverTheBlocksAreSplit) {
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
    ExpectSameOutputThreeWays(c.make, c.channels, c.channels == 2 ? 3u : 1u);
  }
}

// Frames [100, 1000) of 1200 stereo ones processed, what each frame becomes.
TEST(ChannelEffects, SelectionFollowsTheFormula) {
  using Formula = std::function<std::pair<double, double>(double, double)>;
  const auto mono = [](std::int16_t source, std::int16_t gain) -> Formula {
    const double k = std::pow(10.0, gain / 2000.0);
    return [=](double l, double r) {
      const double v = (source == 0 ? l + r : source == 1 ? l : r) * k;
      return std::pair{v, v};
    };
  };
  const struct {
    const char* name;
    CEffEntry& (*entry)();
    std::optional<SettingsBlock> block;
    Formula want;
  } cases[] = {
      {"exchange", NS_EFFECT_CHXCHG::Entry, {}, [](double l, double r) { return std::pair{r, l}; }},
      {"midside", NS_EFFECT_MIDSIDE::Entry, {}, [](double l, double r) { return std::pair{(l + r) / 2, (l - r) / 2}; }},
      {"mono sum", NS_EFFECT_MONO::Entry, BlockBytes(4).I16(2, -600), mono(0, -600)},
      {"mono left", NS_EFFECT_MONO::Entry, BlockBytes(4).I16(0, 1).I16(2, -600), mono(1, -600)},
      {"mono right", NS_EFFECT_MONO::Entry, BlockBytes(4).I16(0, 2).I16(2, -600), mono(2, -600)},
      {"mono sum 0 dB", NS_EFFECT_MONO::Entry, BlockBytes(4), mono(0, 0)},
      {"mono right -20 dB", NS_EFFECT_MONO::Entry, BlockBytes(4).I16(0, 2).I16(2, -2000), mono(2, -2000)},
  };
  constexpr std::size_t kFrames = 1200, kFrom = 100, kTo = 1000;
  for (const auto& c : cases) {
    const auto input = RandomSamples(kFrames * 2, 41);
    DocumentPtr doc = MakeFloatDocument(input, 2);
    Select(*doc, kFrom, kTo);
    ASSERT_EQ(ExecuteWithBlock(c.entry(), *doc, c.block), 0u) << c.name;
    const auto out = ReadAll(*doc);
    for (std::size_t f = 0; f < kFrames; ++f) {
      const double l = input[2 * f], r = input[2 * f + 1];
      const auto [wl, wr] = f >= kFrom && f < kTo ? c.want(l, r) : std::pair{l, r};
      ASSERT_NEAR(out[2 * f], wl, 1e-6) << c.name << " frame " << f;
      ASSERT_NEAR(out[2 * f + 1], wr, 1e-6) << c.name << " frame " << f;
    }
  }
}

TEST(ChannelEffects, MonoOutputPassesOtherChannelCounts) {
  const auto input = RandomSamples(900, 32);
  DocumentPtr doc = MakeFloatDocument(input, 1);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_MONO::Entry(), *doc, BlockBytes(4).I16(0, 1).I16(2, -2000)), 0u);
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

}  // namespace
}  // namespace tidemark::testing
