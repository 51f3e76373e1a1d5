// The weighting curves filter whole blocks: every channel count and every
// block split gives the samples of the cascade run one sample at a time,
// each channel through its own state.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dsp/filters/biquad.h"
#include "dsp/filters/weighting.h"
#include "effects/filters/weighting_filter.h"
#include "platform/error_numbers.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::NS_EFFECT {
namespace {

// One kernel per channel, one sample at a time, then the curve's gain.
std::vector<float> SampleBySample(char letter, std::uint32_t rate, const std::vector<float>& x,
                                  std::uint16_t channels) {
  SBiQuadFilter curve;
  EXPECT_EQ(dsp::DesignWeighting(letter, rate, &curve), err::kOk);
  std::vector<dsp::BiquadKernel> kernels(channels);
  for (dsp::BiquadKernel& k : kernels) EXPECT_EQ(k.Init(curve, 1), err::kOk);
  std::vector<float> out = x;
  for (std::size_t i = 0; i < out.size(); ++i) {
    kernels[i % channels].Process(&out[i], 1, 1);
    out[i] *= static_cast<float>(curve.gain);
  }
  return out;
}

TEST(WeightingBlocks, AnySplitMatchesSampleBySample) {
  for (const char letter : {'A', 'B', 'C', 'D'}) {
    for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{2}}) {
      SCOPED_TRACE(std::string(1, letter) + " channels " + std::to_string(channels));
      const std::vector<float> x = testing::RandomSamples(std::size_t{5000} * channels, 31 + channels, 0.7f);
      const std::vector<float> expected = SampleBySample(letter, 48000, x, channels);
      // Made for two channels, as the statistics make it before they know
      // the document's count.
      StatisWeightingPtr filter;
      ASSERT_EQ(MakeWeightingCurve(letter, 48000, 2, &filter), err::kOk);
      std::mt19937 gen(7);
      for (const int way : {0, 1, 2}) {  // one block, single frames, random splits
        filter->Reset();
        std::vector<float> y = x;
        const std::size_t frames = x.size() / channels;
        for (std::size_t done = 0; done < frames;) {
          std::size_t n = way == 0 ? frames : way == 1 ? 1 : 1 + gen() % 1500;
          n = std::min(n, frames - done);
          filter->Filter(y.data() + done * channels, n, channels);
          done += n;
        }
        ASSERT_EQ(y, expected) << "way " << way;
      }
    }
  }
}

}  // namespace
}  // namespace tidemark::NS_EFFECT
