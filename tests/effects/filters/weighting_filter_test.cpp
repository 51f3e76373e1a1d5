// The weighting curves in the statistics: a sine's weighted RMS sits the
// curve's level below (or above) its plain RMS, peaks are not weighted, and
// Normalize's RMS modes measure through the program's weighting.
#include "effects/filters/weighting_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "dsp/filters/weighting.h"
#include "effects/analysis/waveform_statistics.h"
#include "effects/level/normalize.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

std::vector<float> Sine(double f, std::uint32_t rate, std::uint32_t frames, std::uint16_t channels) {
  std::vector<float> out(std::size_t{frames} * channels);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * f * static_cast<double>(i / channels) / rate));
  return out;
}

WaveformStatistics Measure(const SoundDocument& doc, std::string_view weighting) {
  ProgressScope scope;
  WaveformStatistics s;
  EXPECT_EQ(MeasureWaveform(scope, doc, 0, doc.length, weighting, &s), 0u);
  return s;
}

struct CurveCase {
  char letter;
  std::uint32_t rate;
  double f;
};

TEST(WeightingInStatistics, SineLevelsFollowTheCurves) {
  const CurveCase cases[] = {
      {'A', 44100, 100},  {'A', 44100, 1000}, {'A', 48000, 4000}, {'A', 8000, 2000},  {'B', 44100, 50},
      {'B', 96000, 8000}, {'C', 44100, 31.5}, {'C', 48000, 10000}, {'D', 44100, 3150}, {'D', 48000, 200},
  };
  for (const CurveCase& c : cases) {
    SCOPED_TRACE(std::string(1, c.letter) + " " + std::to_string(c.rate) + " " + std::to_string(c.f));
    DocumentPtr doc = MakeFloatDocument(Sine(c.f, c.rate, 2 * c.rate, 2), 2, c.rate);
    const WaveformStatistics plain = Measure(*doc, "0");
    const WaveformStatistics weighted = Measure(*doc, std::string(1, c.letter));
    EXPECT_NEAR(20 * std::log10(weighted.rms / plain.rms), dsp::WeightingCurveDb(c.letter, c.f), 0.5);
    EXPECT_EQ(weighted.instant_peak, plain.instant_peak);
    EXPECT_EQ(weighted.channel[0].instant_max, plain.channel[0].instant_max);
  }
}

TEST(WeightingInStatistics, NormalizeRmsModesUseTheProgramWeighting) {
  // RMS target -30 dB on a 100 Hz sine, where A-weighting is about -19 dB.
  const SettingsBlock block = BlockBytes(10).I16(0, NS_EFFECT_MAXIMIZE::kRms).I16(6, -3000).U8(9, 1);
  const auto input = Sine(100, 44100, 44100, 1);
  float gain[2] = {};
  for (int i = 0; i < 2; ++i) {
    NS_EFFECT::SetProgramWeighting(i == 0 ? '0' : 'A');
    DocumentPtr doc = MakeFloatDocument(input, 1);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_MAXIMIZE::Entry(), *doc, block), 0u);
    gain[i] = ReadAll(*doc)[100] / input[100];
  }
  NS_EFFECT::SetProgramWeighting(0);
  EXPECT_NEAR(20 * std::log10(gain[1] / gain[0]), -dsp::WeightingCurveDb('A', 100), 0.5);
}

}  // namespace
}  // namespace tidemark::testing
