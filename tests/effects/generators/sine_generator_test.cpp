// Sine generator's run: the quarter-rate and Nyquist patterns, the masked
// channels, and the frequency clamped to the document's rate.
#include "effects/generators/sine_generator.h"


#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"
#include "tests/effects/effect_references.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_GENSINE::CMyEffRun;

SettingsBlock SineBlock(float freq, std::int16_t level) {
  return BlockBytes(12).F32(0, freq).I16(4, level).I16(6, 0).I16(8, 440);
}

TEST(SineGenerator, QuarterRateRepeatsZeroPeakZeroTrough) {
  CMyEffRun run(44100, 11025.0f, 0.5f);
  std::vector<float> x(4 * 1000, 0.0f);
  ASSERT_EQ(run.Process(x.data(), 4000, 1, 1), 0u);
  const float pattern[4] = {0.0f, 0.5f, 0.0f, -0.5f};
  for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(x[i], pattern[i % 4], 1e-6) << i;
}

TEST(SineGenerator, NyquistAlternatesPlusAndMinusTheAmplitude) {
  for (const std::uint32_t rate : {44100u, 32000u, 8000u}) {
    CMyEffRun run(rate, static_cast<float>(rate / 2), 0.8f);
    std::vector<float> x(2 * 300, 0.0f);
    ASSERT_EQ(run.Process(x.data(), 300, 2, 3), 0u);
    for (std::size_t f = 0; f < 300; ++f) {
      const float want = f % 2 == 0 ? 0.8f : -0.8f;
      ASSERT_NEAR(x[2 * f], want, 1e-6) << rate << " frame " << f;
      ASSERT_NEAR(x[2 * f + 1], want, 1e-6) << rate << " frame " << f;
    }
  }
}

// A stored 30000 Hz loads as the rate's upper end: at 32 kHz that is the
// Nyquist frequency, whose tone alternates.
TEST(SineGenerator, FrequencyClampedToTheRateThenAtNyquist) {
  DocumentPtr doc = MakeFloatDocument(std::vector<float>(100, 0.0f), 1, 32000);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithLastUsed(NS_EFFECT_GENSINE::Entry(), *doc, SineBlock(30000.0f, 100)), 0u);
  EXPECT_EQ(NS_EFFECT_GENSINE::Entry().GetSettingsBlock().bytes,
            BlockBytes(12).F32(0, 16000.0f).I16(4, 100).I16(8, 440).bytes());
  const auto out = ReadAll(*doc);
  for (std::size_t f = 0; f < 100; ++f) ASSERT_NEAR(out[f], f % 2 ? -1.0 : 1.0, 1e-6) << f;
}

TEST(SineGenerator, OnlyMaskedChannels) {
  CMyEffRun run(8000, 1000.0f, 1.0f);
  std::vector<float> x(2 * 20, 0.0f);
  ASSERT_EQ(run.Process(x.data(), 20, 2, 2), 0u);
  const auto tone = ReferenceSine(1000.0, 1.0, 8000, 20);
  for (std::size_t f = 0; f < 20; ++f) {
    ASSERT_EQ(x[2 * f], 0.0f);
    ASSERT_NEAR(x[2 * f + 1], tone[f], 1e-6);
  }
}

}  // namespace
}  // namespace tidemark::testing
