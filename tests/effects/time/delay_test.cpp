// Delay: both modes against a plain double-precision line, the ring-down
// with -1 dB feedback, the line sizes, and when reconfiguring keeps the lines.
#include "effects/time/delay.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_DELAY::CMyEffRun;

SettingsBlock DelayBlock(std::int16_t time, std::int16_t feedback, std::int16_t output, std::uint8_t mode) {
  return BlockBytes(8).I16(0, time).I16(2, feedback).I16(4, output).U8(6, mode);
}

// The delay as written, one channel, in double precision.
std::vector<double> ReferenceDelay(const std::vector<double>& x, std::size_t d, double g, double a, bool forward) {
  std::vector<double> line(d, 0.0), y(x.size());
  std::size_t p = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (forward) {
      y[i] = a * (x[i] + g * line[p]);
      line[p] = x[i];
    } else {
      const double w = x[i] + g * line[p];
      line[p] = w;
      y[i] = a * w;
    }
    p = (p + 1) % d;
  }
  return y;
}

std::unique_ptr<CMyEffRun> MakeRun(std::uint32_t rate, std::uint32_t ms, float g, float a, std::uint8_t mode) {
  std::unique_ptr<CMyEffRun> run;
  EXPECT_EQ(CMyEffRun::Create(rate, &run), 0u);
  if (run) run->Configure(ms, g, a, mode);
  return run;
}

struct ModeCase {
  std::uint8_t mode;
  std::int16_t time, feedback, output;
};

class DelayModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DelayModes, DocumentMatchesThePlainLine) {
  const auto [mode, time, feedback, output] = GetParam();
  constexpr std::uint32_t kRate = 8000, kFrames = 5000, kFrom = 300;
  const auto input = RandomSamples(kFrames * 2, 21, 0.5f);
  DocumentPtr doc = MakeFloatDocument(input, 2, kRate);
  Select(*doc, kFrom, kFrames);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_DELAY::Entry(), *doc, DelayBlock(time, feedback, output, mode)), 0u);
  const auto out = ReadAll(*doc);
  const auto d = static_cast<std::size_t>(time) * kRate / 1000;
  const double g = std::pow(10.0, feedback / 2000.0), a = std::pow(10.0, output / 2000.0);
  for (std::uint16_t c = 0; c < 2; ++c) {
    std::vector<double> x;
    for (std::size_t f = kFrom; f < kFrames; ++f) x.push_back(At(input, 2, f, c));
    const auto y = ReferenceDelay(x, d, g, a, mode != 0);
    for (std::size_t f = 0; f < kFrom; ++f) ASSERT_EQ(At(out, 2, f, c), At(input, 2, f, c));
    for (std::size_t i = 0; i < y.size(); ++i) ASSERT_NEAR(At(out, 2, kFrom + i, c), y[i], 2e-6) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, DelayModes,
                         ::testing::Values(ModeCase{0, 100, -300, 0}, ModeCase{0, 250, -100, -600},
                                           ModeCase{1, 100, -300, 0}, ModeCase{7, 370, -1500, -1200}));

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
  auto run = MakeRun(44100, 1000, 0.5f, 1.0f, 0);
  EXPECT_EQ(run->DelayFrames(), 44100u);
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

TEST(Delay, ResetClearsTheLines) {
  auto run = MakeRun(1000, 100, 0.5f, 1.0f, 0);
  std::vector<float> x(150, 0.0f);
  x[0] = 1.0f;
  ASSERT_EQ(run->Process(x.data(), 50, 1, 1), 0u);
  run->Reset();
  std::vector<float> y(150, 0.0f);
  ASSERT_EQ(run->Process(y.data(), 150, 1, 1), 0u);
  EXPECT_EQ(y, std::vector<float>(150, 0.0f));
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
