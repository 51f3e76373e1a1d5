// Pan: the microphone model (delay, far channel and gain) computed here in
// double precision at several angles, distances, spacings and rates; the
// widening against a plain history; mono selections made stereo.
#include "effects/channel/pan.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_PAN::CMyEffRun;

SettingsBlock PanBlock(std::int16_t angle, std::int16_t distance, std::int16_t spacing, std::uint8_t widen) {
  return BlockBytes(8).I16(0, angle).I16(2, distance).I16(4, spacing).U8(6, widen);
}

struct Model {
  std::uint32_t delay;
  std::uint16_t far;
  double gain;
};

// The source at `angle` on a half circle of `distance` around two
// microphones `spacing` apart (both in 0.01 m).
Model Microphones(int angle, int distance, int spacing, std::uint32_t rate) {
  const double position = angle / 90.0, r = distance / 100.0, s = spacing / 100.0;
  const double theta = (position + 1) * std::numbers::pi / 2;
  const double x = r * std::cos(theta), y = r * std::sin(theta);
  const double d1 = std::hypot(x - s / 2, y), d2 = std::hypot(x + s / 2, y);
  const double widest = std::floor(rate * 0.28 / 340.0 + 0.5);
  const double delay = std::floor(std::fabs(d2 - d1) * rate / 340.0 + 0.5);
  return {static_cast<std::uint32_t>(std::min(widest, delay)), std::uint16_t(position >= 0 ? 1 : 0),
          position >= 0 ? d2 / d1 : d1 / d2};
}

// The whole pan as written, in double precision, stereo in and out.
std::vector<double> ReferencePan(const std::vector<float>& in, const Model& m, bool widen, std::uint32_t rate) {
  const std::size_t frames = in.size() / 2, hn = rate / 100;
  const double w = widen ? 0.4 : 0.0;
  std::vector<double> out(in.begin(), in.end()), h(hn, 0.0), line(m.delay, 0.0);
  std::size_t k = 0, q = 0;
  for (std::size_t f = 0; f < frames; ++f) {
    double* frame = &out[2 * f];
    if (w > 0) {
      const double mid = (frame[0] + frame[1]) * 0.5;
      frame[0] = mid + w * h[k];
      frame[1] = mid - w * h[k];
      h[k] = mid;
      k = (k + 1) % hn;
    }
    if (m.delay > 0) {
      const double now = frame[m.far];
      frame[m.far] = line[q] * m.gain;
      line[q] = now;
      q = (q + 1) % m.delay;
    }
  }
  return out;
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
  const Model want = Microphones(angle, distance, spacing, rate);
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

TEST(Pan, AngleZeroHasNoDelayAndEqualChannels) {
  const Model m = Microphones(0, 100, 24, 44100);
  EXPECT_EQ(m.delay, 0u);
  const auto input = RandomSamples(700, 61);
  DocumentPtr doc = MakeFloatDocument(input, 1);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_PAN::Entry(), *doc, PanBlock(0, 100, 24, 0)), 0u);
  ASSERT_EQ(doc->channels, 2);
  const auto out = ReadAll(*doc);
  for (std::size_t f = 0; f < 700; ++f) {
    ASSERT_EQ(out[2 * f], input[f]);
    ASSERT_EQ(out[2 * f + 1], input[f]);
  }
}

struct DocumentCase {
  std::uint16_t channels;
  std::int16_t angle;
  std::uint8_t widen;
};

class PanDocument : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(PanDocument, MatchesThePlainModelAndEndsStereo) {
  const auto [channels, angle, widen] = GetParam();
  constexpr std::uint32_t kRate = 8000, kFrames = 2000;
  const auto input = RandomSamples(std::size_t{kFrames} * channels, 62);
  DocumentPtr doc = MakeFloatDocument(input, channels, kRate);
  SelectAll(*doc);
  if (channels == 2) SetChannelMask(*doc, 1);  // Pan works on both channels regardless
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_PAN::Entry(), *doc, PanBlock(angle, 200, 28, widen)), 0u);
  ASSERT_EQ(doc->channels, 2);
  std::vector<float> stereo(kFrames * 2);
  for (std::size_t f = 0; f < kFrames; ++f)
    for (std::uint16_t c = 0; c < 2; ++c) stereo[2 * f + c] = input[f * channels + (channels == 2 ? c : 0)];
  const auto want = ReferencePan(stereo, Microphones(angle, 200, 28, kRate), widen != 0, kRate);
  const auto out = ReadAll(*doc);
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_NEAR(out[i], want[i], 1e-6) << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, PanDocument,
                         ::testing::Values(DocumentCase{1, 60, 0}, DocumentCase{1, -90, 1}, DocumentCase{2, 45, 0},
                                           DocumentCase{2, -30, 1}, DocumentCase{2, 0, 1}));

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

TEST(Pan, ResetClearsHistoryAndLine) {
  std::unique_ptr<CMyEffRun> run;
  ASSERT_EQ(CMyEffRun::Create(8000, 1.0f, 1.0f, 0.28f, true, &run), 0u);
  ASSERT_GT(run->DelayFrames(), 0u);
  auto x = RandomSamples(2 * 50, 63);
  ASSERT_EQ(run->Process(x.data(), 50, 2, 3), 0u);
  run->Reset();
  std::vector<float> silence(2 * 200, 0.0f);
  ASSERT_EQ(run->Process(silence.data(), 200, 2, 3), 0u);
  EXPECT_EQ(silence, std::vector<float>(2 * 200, 0.0f));
}

}  // namespace
}  // namespace tidemark::testing
