// The reverb's synthetic room: decay time measured from the response's
// energy decay curve against the absorption and length settings, clamping
// of stored fields, the replacement of positions outside the room, and the
// run: a mono selection becomes stereo and stays within full scale.
#include "effects/convolution/reverb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "tests/effects/channel/block_run_test_util.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::NS_EFFECT_REVERB {
namespace {

using testing::BlockBytes;

BlockBytes Defaults() {
  const SettingsBlock d = DefaultBlock(Layout());
  BlockBytes b(kBlockSize);
  for (std::size_t i = 0; i < d.bytes.size(); ++i) b.U8(i, d.bytes[i]);
  return b;
}

NS_EFFECT::ImpulseResponse Synthesise(const SettingsBlock& block, bool* moved = nullptr) {
  NS_EFFECT::ImpulseResponse ir;
  EXPECT_EQ(SynthesiseRoomResponse(block, 44100, &ir, moved), 0u);
  return ir;
}

// T60 from the Schroeder energy decay curve: the -5 to -25 dB span, times 3.
double DecayTime(const std::vector<float>& h, double rate) {
  std::vector<double> edc(h.size() + 1, 0.0);
  for (std::size_t i = h.size(); i-- > 0;) edc[i] = edc[i + 1] + double{h[i]} * h[i];
  std::size_t t5 = 0, t25 = 0;
  for (std::size_t i = 0; i < h.size(); ++i) {
    const double db = 10 * std::log10(edc[i] / edc[0]);
    if (!t5 && db < -5) t5 = i;
    if (!t25 && db < -25) t25 = i;
  }
  return 3.0 * static_cast<double>(t25 - t5) / rate;
}

struct DecayCase {
  std::int16_t wall, floor, length;
};

TEST(Reverb, DecayTimeFollowsAbsorptionAndLength) {
  // Each row decays faster than the one before it.
  const DecayCase by_absorption[] = {{80, 80, 20}, {110, 120, 20}, {140, 150, 20}, {180, 180, 20}};
  const DecayCase by_length[] = {{125, 135, 60}, {125, 135, 40}, {125, 135, 20}, {125, 135, 10}};
  for (const auto& table : {std::vector<DecayCase>(std::begin(by_absorption), std::end(by_absorption)),
                            std::vector<DecayCase>(std::begin(by_length), std::end(by_length))}) {
    double previous = std::numeric_limits<double>::infinity();
    for (const DecayCase& c : table) {
      const auto ir = Synthesise(Defaults().I16(16, c.wall).I16(18, c.floor).I16(56, c.length));
      for (const auto& channel : ir.channels) {
        const double t60 = DecayTime(channel, 44100);
        EXPECT_LT(t60, previous) << c.wall << ' ' << c.floor << ' ' << c.length;
        // The measured decay lies near the nominal length scaled by the absorption.
        const double nominal = c.length / 10.0 * 125.0 / ((2.0 * c.wall + c.floor) / 3.0);
        EXPECT_NEAR(t60, nominal, 0.25 * nominal) << c.wall << ' ' << c.floor << ' ' << c.length;
      }
      previous = DecayTime(ir.channels[1], 44100);
    }
  }
}

struct ClampCase {
  std::uint16_t offset;
  std::int16_t out_of_range;
  std::int16_t limit;
};

TEST(Reverb, OutOfRangeFieldsAreClamped) {
  const ClampCase cases[] = {
      {16, 20, 80},      {18, 400, 180},  {20, 9, 5},     {22, 1, 2},       {22, 99, 15},   {24, 100, 98},
      {26, -9000, -8000}, {26, 0, -4000}, {28, 7, 5},     {32, 720, 359},   {34, 5, 20},    {34, 90, 28},
      {38, 9000, 6000},  {40, 20, 100},   {50, -3000, -2000}, {52, 100, 300}, {54, 2000, 1000}, {56, 200, 60},
      {56, 1, 10},
  };
  for (const ClampCase& c : cases) {
    const auto clamped = Synthesise(Defaults().I16(c.offset, c.limit));
    const auto raw = Synthesise(Defaults().I16(c.offset, c.out_of_range));
    EXPECT_EQ(raw.frames, clamped.frames) << c.offset;
    EXPECT_EQ(raw.channels, clamped.channels) << c.offset;
  }
}

TEST(Reverb, PositionsOutsideTheRoomAreReplaced) {
  const float inf = std::numeric_limits<float>::infinity();
  // Shape 4: the plan is 8 m by 6 m; the walls themselves are outside.
  const float outside[][2] = {{-1.0f, 2.0f}, {0.0f, 2.0f}, {8.0f, 2.0f}, {9.5f, 2.0f}, {3.0f, 6.0f},
                              {3.0f, -0.5f}, {inf, 2.0f},  {3.0f, -inf}};
  const auto fallback_source = Synthesise(Defaults().F32(0, 1.5f).F32(4, 1.0f));
  const auto fallback_listener = Synthesise(Defaults().F32(8, 1.5f).F32(12, 1.0f));
  bool moved = true;
  Synthesise(Defaults().F32(0, 7.9f).F32(4, 5.9f), &moved);
  EXPECT_FALSE(moved);
  for (const auto& p : outside) {
    const auto source = Synthesise(Defaults().F32(0, p[0]).F32(4, p[1]), &moved);
    EXPECT_TRUE(moved) << p[0] << ',' << p[1];
    EXPECT_EQ(source.channels, fallback_source.channels) << p[0] << ',' << p[1];
    const auto listener = Synthesise(Defaults().F32(8, p[0]).F32(12, p[1]), &moved);
    EXPECT_TRUE(moved) << p[0] << ',' << p[1];
    EXPECT_EQ(listener.channels, fallback_listener.channels) << p[0] << ',' << p[1];
  }
  // Shape 5 widens the plan to 10 m: x = 9.5 is inside there.
  Synthesise(Defaults().I16(20, 5).F32(0, 9.5f), &moved);
  EXPECT_FALSE(moved);
}

TEST(Reverb, MonoSelectionBecomesStereoWithinFullScale) {
  for (const bool normalise : {true, false}) {
    // Loud noise and an isolated full-scale pulse: the room adds up to far
    // more than full scale without the clip guard.
    std::vector<float> input = testing::RandomSamples(30000, 5, 0.99f);
    std::fill(input.begin() + 10000, input.begin() + 20000, 0.0f);
    input[15000] = 1.0f;
    input[100] = std::numeric_limits<float>::quiet_NaN();
    DocumentPtr d = testing::MakeFloatDocument(input, 1);
    testing::SelectAll(*d);
    ASSERT_EQ(testing::ExecuteWithBlock(Entry(), *d, SettingsBlock(Defaults().U8(36, normalise ? 1 : 0))), 0u);
    ASSERT_EQ(d->channels, 2u);
    const std::vector<float> out = testing::ReadAll(*d);
    ASSERT_EQ(out.size(), input.size() * 2);
    float peak = 0;
    double left = 0, right = 0;
    for (std::size_t i = 0; i < out.size(); i += 2) {
      ASSERT_TRUE(std::isfinite(out[i]) && std::isfinite(out[i + 1])) << i;
      peak = std::max({peak, std::fabs(out[i]), std::fabs(out[i + 1])});
      left += double{out[i]} * out[i];
      right += double{out[i + 1]} * out[i + 1];
    }
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(left, 0.0);
    EXPECT_GT(right, 0.0);
    // Two microphones at different places: the channels differ.
    bool differ = false;
    for (std::size_t i = 0; i < out.size() && !differ; i += 2) differ = out[i] != out[i + 1];
    EXPECT_TRUE(differ);
  }
}

}  // namespace
}  // namespace tidemark::NS_EFFECT_REVERB
