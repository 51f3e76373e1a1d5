// Delay's run: the ring-down with -1 dB feedback, the line sizes, when
// reconfiguring keeps the lines, and the unmasked channel.
#include "effects/time/delay.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_DELAY::CMyEffRun;

std::unique_ptr<CMyEffRun> MakeRun(std::uint32_t rate, std::uint32_t ms, float g, float a, std::uint8_t mode) {
  std::unique_ptr<CMyEffRun> run;
  EXPECT_EQ(CMyEffRun::Create(rate, &run), 0u);
  if (run) run->Configure(ms, g, a, mode);
  return run;
}

TEST(Delay, FeedbackOfMinusOneDbRingsDown) {
  constexpr std::uint32_t kRate = 44100, kD = 4410;
  const double g = std::pow(10.0, -100 / 2000.0);
  auto run = MakeRun(kRate, 100, static_cast<float>(g), 1.0f, 0);
  std::vector<float> mono(kD * 40, 0.0f);
  mono[0] = 1.0f;
  ASSERT_EQ(run->Process(mono.data(), kD * 40, 1, 1), 0u);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    const double want = i % kD == 0 ? std::pow(g, double(i / kD)) : 0.0;
    ASSERT_NEAR(mono[i], want, 1e-5) << i;
  }
  EXPECT_LT(mono[kD * 39], 0.02f);  // -39 dB after 39 echoes
}

TEST(Delay, LinesHoldOneSecondAtTheDocumentRate) {
  for (const std::uint32_t rate : {8000u, 44100u, 96000u}) {
    auto run = MakeRun(rate, 1000, 0.5f, 1.0f, 0);
    EXPECT_EQ(run->LineFrames(), rate);
    EXPECT_EQ(run->DelayFrames(), rate);
    run->Configure(400, 0.5f, 1.0f, 0);
    EXPECT_EQ(run->DelayFrames(), rate * 2 / 5);
    EXPECT_EQ(run->LineFrames(), rate);
  }
}

// An impulse enters the line at frame 10; the run is reconfigured at frame
// 50, before the echo is due at frame 110: the echo survives only when D and
// g stay as they were.
TEST(Delay, ReconfiguringKeepsTheLinesOnlyForTheSameDelayAndFeedback) {
  struct Change {
    std::uint32_t ms;
    float g, a;
    std::uint8_t mode;
    bool keeps;
  };
  for (const Change& change : {Change{100, 0.5f, 0.5f, 0, true}, Change{100, 0.5f, 1.0f, 1, true},
                               Change{200, 0.5f, 1.0f, 0, false}, Change{100, 0.25f, 1.0f, 0, false}}) {
    auto run = MakeRun(1000, 100, 0.5f, 1.0f, 0);
    std::vector<float> x(50, 0.0f);
    x[10] = 1.0f;
    ASSERT_EQ(run->Process(x.data(), 50, 1, 1), 0u);
    run->Configure(change.ms, change.g, change.a, change.mode);
    std::vector<float> y(80, 0.0f);
    ASSERT_EQ(run->Process(y.data(), 80, 1, 1), 0u);
    std::vector<float> want(80, 0.0f);
    if (change.keeps) want[60] = change.a * change.g;
    EXPECT_EQ(y, want) << change.ms << " ms, g " << change.g;
  }
}

TEST(Delay, UnmaskedChannelIsLeftAlone) {
  auto run = MakeRun(1000, 100, 0.5f, 1.0f, 1);
  auto x = RandomSamples(2 * 400, 22);
  const auto before = x;
  ASSERT_EQ(run->Process(x.data(), 400, 2, 2), 0u);
  for (std::size_t f = 0; f < 400; ++f) {
    ASSERT_EQ(x[2 * f], before[2 * f]);
    const double echo = f >= 100 ? 0.5 * before[2 * (f - 100) + 1] : 0.0;
    ASSERT_NEAR(x[2 * f + 1], before[2 * f + 1] + echo, 1e-6);
  }
}

}  // namespace
}  // namespace tidemark::testing
