// The Compress and Limiter effects over documents: the processed selection
// stays aligned with the original, out-of-range fields act as their clamped
// values, the detector follows the program's weighting, and silence, DC and
// full-scale squares come through sanely.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/filters/weighting.h"
#include "effects/analysis/weighting.h"
#include "effects/dynamics/compress_effect.h"
#include "effects/dynamics/limiter_effect.h"
#include "tests/effects/channel/block_run_test_util.h"
#include "tests/effects/dynamics/dynamics_test_util.h"
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

CEffEntry& Compress() { return NS_EFFECT_COMPRESS::Entry(); }
CEffEntry& Limiter() { return NS_EFFECT_LIMITER::Entry(); }

struct BlockCase {
  const char* name;
  CEffEntry& (*entry)();
  SettingsBlock given, other;  // aligned: other unused; clamped: the block `given` clamps to
  std::uint32_t from = 0, to = 0;
};

class Aligned : public ::testing::TestWithParam<BlockCase> {};

// Settings that change nothing (ratio 1 without makeup; a 0 dB ceiling over
// material below it): after the latency compensation the document comes
// back sample for sample, also for a selection shorter than the delay line.
TEST_P(Aligned, NeutralSettingsLeaveTheDocumentAsItWas) {
  const std::vector<float> samples = RandomSamples(2 * 66150, 21, 0.5f);
  auto doc = MakeFloatDocument(samples, 2);
  Select(*doc, GetParam().from, GetParam().to);
  ASSERT_EQ(ExecuteWithBlock(GetParam().entry(), *doc, GetParam().given), 0u);
  EXPECT_EQ(ReadAll(*doc), samples);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, Aligned,
    ::testing::Values(BlockCase{"compress", Compress, CompressBlock(100, -3000, 30, 0), {}, 1000, 60000},
                      BlockCase{"compress_short", Compress, CompressBlock(100, -3000, 30, 0), {}, 30000, 30100},
                      BlockCase{"limiter", Limiter, LimiterBlock(0, 10, 0, 1), {}, 0, 66150},
                      BlockCase{"limiter_short", Limiter, LimiterBlock(0, 10, 0, 0), {}, 5, 105}),
    [](const auto& p) { return std::string(p.param.name); });

class Clamped : public ::testing::TestWithParam<BlockCase> {};

// Every field out of range, low and high: the run does what the run of
// the clamped block does.
TEST_P(Clamped, OutOfRangeFieldsActAsTheirLimits) {
  const std::vector<float> samples = MusicLike(48000, 2, 1.0, 8);
  auto doc = MakeFloatDocument(samples, 2, 48000);
  SelectAll(*doc);
  auto given = Prepare(GetParam().entry(), *doc, GetParam().given);
  auto clamped = Prepare(GetParam().entry(), *doc, GetParam().other);
  ASSERT_TRUE(given.run && clamped.run);
  EXPECT_EQ(RunSplit(*given.run, samples, 2), RunSplit(*clamped.run, samples, 2));
}

INSTANTIATE_TEST_SUITE_P(
    Effects, Clamped,
    ::testing::Values(
        BlockCase{"compress_low", Compress, CompressBlock(50, 300, 1, -50, 0, 7), CompressBlock(100, 0, 10, 0, 1200, 7)},
        BlockCase{"compress_high", Compress, CompressBlock(900, -9000, 500, 5000, 9000),
                  CompressBlock(500, -5000, 100, 1200, 6000)},
        BlockCase{"limiter_low", Limiter, LimiterBlock(-5000, 1, -100, 3), LimiterBlock(-1000, 5, 0, 3)},
        BlockCase{"limiter_high", Limiter, LimiterBlock(500, 900, 5000, 0), LimiterBlock(0, 50, 1200, 0)}),
    [](const auto& p) { return std::string(p.param.name); });

// A 100 Hz tone at -9 dB RMS against a -30 dB threshold at 5 : 1: with the
// A curve on the detector it reads the curve's attenuation lower, and the
// settled gain differs by 0.8 times that.
TEST(CompressEffect, DetectorFollowsTheProgramWeighting) {
  const std::uint32_t rate = 44100;
  std::vector<float> input(2 * rate);
  for (std::size_t k = 0; k < input.size(); ++k) {
    input[k] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 100.0 * static_cast<double>(k) / rate));
  }
  double gain_db[2] = {};
  for (int i = 0; i < 2; ++i) {
    NS_EFFECT::SetProgramWeighting(i == 0 ? '0' : 'A');
    auto doc = MakeFloatDocument(input, 1, rate);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(Compress(), *doc, CompressBlock(500, -3000, 50, 0)), 0u);
    const auto out = ReadAll(*doc);
    double in_sum = 0.0, out_sum = 0.0;
    for (std::size_t k = rate; k < out.size(); ++k) {
      in_sum += static_cast<double>(input[k]) * input[k];
      out_sum += static_cast<double>(out[k]) * out[k];
    }
    gain_db[i] = 10.0 * std::log10(out_sum / in_sum);
  }
  NS_EFFECT::SetProgramWeighting(0);
  EXPECT_NEAR(gain_db[1] - gain_db[0], -0.8 * dsp::WeightingCurveDb('A', 100), 0.3);
}

class PlainSignal : public ::testing::TestWithParam<int> {};

// Silence (stays silence), DC and a full-scale square through the default
// compressor and the de-esser: finite and below the safety ceiling.
TEST_P(PlainSignal, ComesThroughBelowTheSafetyCeiling) {
  std::vector<float> samples(2 * 44100);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = GetParam() == 0 ? 0.0f : GetParam() == 1 ? 0.5f : ((i / 74) % 2 ? 1.0f : -1.0f);
  }
  for (const std::uint8_t de_esser : {std::uint8_t{0}, std::uint8_t{1}}) {
    auto doc = MakeFloatDocument(samples, 2);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(Compress(), *doc, CompressBlock(250, -1200, 50, 300, 2400, de_esser)), 0u);
    for (float y : ReadAll(*doc)) {
      ASSERT_LE(std::fabs(y), GetParam() == 0 ? 0.0f : 0.9999f);  // NaN fails too
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SilenceDcSquare, PlainSignal, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace tidemark::testing
