// The Compress and Limiter effects over documents: the processed selection
// stays aligned with the original, every block field is clamped, and
// silence, DC and full-scale squares come through sanely.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effects/dynamics/compress_effect.h"
#include "effects/dynamics/limiter_effect.h"
#include "tests/effects/channel/block_run_test_util.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {
namespace {

SettingsBlock CompressBlock(std::int16_t ratio, std::int16_t threshold, std::int16_t window, std::int16_t makeup,
                            std::int16_t cents = 2400, std::uint8_t de_esser = 0) {
  return BlockBytes(NS_EFFECT_COMPRESS::kBlockSize)
      .I16(0, ratio).I16(2, threshold).I16(4, window).I16(6, makeup).I16(8, cents).U8(10, de_esser);
}

SettingsBlock LimiterBlock(std::int16_t ceiling, std::int16_t window, std::int16_t gain, std::uint8_t link) {
  return BlockBytes(NS_EFFECT_LIMITER::kBlockSize).I16(0, ceiling).I16(2, window).I16(4, gain).U8(6, link);
}

struct AlignCase {
  const char* name;
  bool limiter;
  std::uint32_t from, to;
};

class Aligned : public ::testing::TestWithParam<AlignCase> {};

// Settings that change nothing (ratio 1, no makeup; a 0 dB ceiling over
// material below it): after the framework's latency compensation the
// document must come back sample for sample, also for a selection shorter
// than the delay line.
TEST_P(Aligned, NeutralSettingsLeaveTheDocumentAsItWas) {
  const AlignCase& p = GetParam();
  const std::vector<float> samples = RandomSamples(2 * 66150, 21, 0.5f);
  auto doc = MakeFloatDocument(samples, 2);
  Select(*doc, p.from, p.to);
  CEffEntry& entry = p.limiter ? NS_EFFECT_LIMITER::Entry() : NS_EFFECT_COMPRESS::Entry();
  const SettingsBlock block = p.limiter ? LimiterBlock(0, 10, 0, 1) : CompressBlock(100, -3000, 30, 0);
  ASSERT_EQ(ExecuteWithBlock(entry, *doc, block), 0u);
  EXPECT_EQ(ReadAll(*doc), samples);
}

INSTANTIATE_TEST_SUITE_P(Effects, Aligned,
                         ::testing::Values(AlignCase{"compress", false, 1000, 60000},
                                           AlignCase{"compress_short", false, 30000, 30100},
                                           AlignCase{"limiter", true, 0, 66150},
                                           AlignCase{"limiter_short", true, 5, 105}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(CompressEffect, OutOfRangeFieldsAreClamped) {
  auto doc = MakeFloatDocument(RandomSamples(2 * 1000, 1), 2, 48000);
  SelectAll(*doc);
  struct Case {
    SettingsBlock given, clamped;
  };
  const Case cases[] = {
      {CompressBlock(50, 300, 1, -50, 0, 7), CompressBlock(100, 0, 10, 0, 1200, 7)},
      {CompressBlock(900, -9000, 500, 5000, 9000, 0), CompressBlock(500, -5000, 100, 1200, 6000, 0)},
  };
  for (const Case& c : cases) {
    const auto got = Prepare(NS_EFFECT_COMPRESS::Entry(), *doc, c.given);
    const auto want = Prepare(NS_EFFECT_COMPRESS::Entry(), *doc, c.clamped);
    ASSERT_TRUE(got.params && want.params);
    const auto& g = static_cast<const NS_EFFECT_COMPRESS::MySetupParams&>(*got.params);
    const auto& w = static_cast<const NS_EFFECT_COMPRESS::MySetupParams&>(*want.params);
    EXPECT_EQ(g.inv_ratio, w.inv_ratio);
    EXPECT_EQ(g.threshold, w.threshold);
    EXPECT_EQ(g.window_ms, w.window_ms);
    EXPECT_EQ(g.makeup, w.makeup);
    EXPECT_EQ(g.frequency, w.frequency);
    EXPECT_EQ(g.de_esser, w.de_esser);
    EXPECT_EQ(got.run->GetLatency(), want.run->GetLatency());
  }
}

TEST(LimiterEffect, OutOfRangeFieldsAreClamped) {
  auto doc = MakeFloatDocument(RandomSamples(1000, 1), 1);
  SelectAll(*doc);
  const std::pair<SettingsBlock, SettingsBlock> cases[] = {
      {LimiterBlock(500, 1, -100, 3), LimiterBlock(0, 5, 0, 3)},
      {LimiterBlock(-5000, 900, 5000, 0), LimiterBlock(-1000, 50, 1200, 0)},
  };
  for (const auto& [given, clamped] : cases) {
    const auto got = Prepare(NS_EFFECT_LIMITER::Entry(), *doc, given);
    const auto want = Prepare(NS_EFFECT_LIMITER::Entry(), *doc, clamped);
    ASSERT_TRUE(got.params && want.params);
    const auto& g = static_cast<const NS_EFFECT_LIMITER::MySetupParams&>(*got.params);
    const auto& w = static_cast<const NS_EFFECT_LIMITER::MySetupParams&>(*want.params);
    EXPECT_EQ(g.ceiling, w.ceiling);
    EXPECT_EQ(g.window_ms, w.window_ms);
    EXPECT_EQ(g.makeup, w.makeup);
    EXPECT_EQ(g.link, w.link);
  }
}

struct Signal {
  const char* name;
  float (*sample)(std::size_t k);
};

class DefaultCompress : public ::testing::TestWithParam<Signal> {};

// The default compressor (with its safety limiter) and the de-esser over
// plain signals: finite, below the safety ceiling, silence stays silence.
TEST_P(DefaultCompress, PlainSignalsComeThroughSanely) {
  std::vector<float> samples(2 * 44100);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = GetParam().sample(i / 2);
  for (const std::uint8_t de_esser : {std::uint8_t{0}, std::uint8_t{1}}) {
    auto doc = MakeFloatDocument(samples, 2);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_COMPRESS::Entry(), *doc, CompressBlock(250, -1200, 50, 300, 2400, de_esser)),
              0u);
    const auto out = ReadAll(*doc);
    const bool silent = std::all_of(samples.begin(), samples.end(), [](float v) { return v == 0.0f; });
    for (float y : out) {
      ASSERT_TRUE(std::isfinite(y));
      ASSERT_LE(std::fabs(y), 0.9999f);
      if (silent) {
        ASSERT_EQ(y, 0.0f);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, DefaultCompress,
                         ::testing::Values(Signal{"silence", [](std::size_t) { return 0.0f; }},
                                           Signal{"dc", [](std::size_t) { return 0.5f; }},
                                           Signal{"square", [](std::size_t k) { return (k / 37) % 2 ? 1.0f : -1.0f; }}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark::testing
