// Pan's run: the microphone model (delay, far channel and gain) at several
// angles, distances, spacings and rates, and the widening's history.
#include "effects/channel/pan.h"


#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"
#include "tests/effects/effect_references.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_PAN::CMyEffRun;

SettingsBlock PanBlock(std::int16_t angle, std::int16_t distance, std::int16_t spacing, std::uint8_t widen) {
  return BlockBytes(8).I16(0, angle).I16(2, distance).I16(4, spacing).U8(6, widen);
}

struct ModelCase {
  std::int16_t angle, distance, spacing;
  std::uint32_t rate;
};

class PanModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(PanModel, DelayFarChannelAndGainFollowTheMicrophones) {
  const auto [angle, distance, spacing, rate] = GetParam();
  DocumentPtr doc = MakeFloatDocument(std::vector<float>(20, 0.0f), 2, rate);
  SelectAll(*doc);
  auto prepared = Prepare(NS_EFFECT_PAN::Entry(), *doc, PanBlock(angle, distance, spacing, 0));
  ASSERT_TRUE(prepared.run);
  const auto& run = dynamic_cast<const CMyEffRun&>(*prepared.run);
  const MicrophoneModel want = Microphones(angle, distance, spacing, rate);
  EXPECT_EQ(run.DelayFrames(), want.delay);
  EXPECT_EQ(run.FarChannel(), want.far);
  EXPECT_NEAR(run.FarGain(), want.gain, 1e-6);
  EXPECT_EQ(prepared.params->output_channels, 2);
  EXPECT_EQ(prepared.params->channel_mask, 3);

  // An impulse in both channels: the near one passes, the far one arrives
  // D frames late and weaker.
  std::vector<float> impulse(2 * 64, 0.0f);
  impulse[0] = impulse[1] = 1.0f;
  ASSERT_EQ(prepared.run->Process(impulse.data(), 64, 2, 3), 0u);
  const std::uint16_t near = want.far == 1 ? 0 : 1;
  for (std::size_t f = 0; f < 64; ++f) {
    ASSERT_EQ(impulse[2 * f + near], f == 0 ? 1.0f : 0.0f) << f;
    ASSERT_NEAR(impulse[2 * f + want.far], f == want.delay ? (want.delay ? want.gain : 1.0) : 0.0, 1e-6) << f;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Angles, PanModel,
    ::testing::Values(ModelCase{-90, 100, 24, 44100}, ModelCase{-60, 100, 24, 44100}, ModelCase{-45, 50, 20, 44100},
                      ModelCase{-10, 600, 28, 44100}, ModelCase{0, 100, 24, 44100}, ModelCase{0, 600, 28, 96000},
                      ModelCase{10, 100, 24, 44100}, ModelCase{30, 300, 26, 48000}, ModelCase{45, 100, 24, 44100},
                      ModelCase{90, 100, 28, 44100}, ModelCase{90, 50, 28, 96000}, ModelCase{-90, 600, 20, 8000}));

TEST(Pan, WideningSpreadsAgainstTenMillisecondsOfHistory) {
  std::unique_ptr<CMyEffRun> run;
  ASSERT_EQ(CMyEffRun::Create(1000, 0.0f, 1.0f, 0.24f, true, &run), 0u);
  EXPECT_EQ(run->HistoryFrames(), 10u);
  EXPECT_EQ(run->Widening(), 0.4f);
  // A mid of 1 at frame 0 comes back as +-0.4 of side at frame 10.
  std::vector<float> x(2 * 25, 0.0f);
  x[0] = x[1] = 1.0f;
  ASSERT_EQ(run->Process(x.data(), 25, 2, 3), 0u);
  for (std::size_t f = 0; f < 25; ++f) {
    const float side = f == 10 ? 0.4f : 0.0f;
    const float mid = f == 0 ? 1.0f : 0.0f;
    ASSERT_FLOAT_EQ(x[2 * f], mid + side) << f;
    ASSERT_FLOAT_EQ(x[2 * f + 1], mid - side) << f;
  }
}

}  // namespace
}  // namespace tidemark::testing
