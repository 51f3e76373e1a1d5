#include "dsp/filters/biquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

using NS_EFFECT::SBiQuadFilter;
using NS_EFFECT::SBiQuadSection;

// Random stable sections: poles and zeros as conjugate pairs (or two real
// roots), poles inside radius 0.97.
SBiQuadFilter RandomCascade(std::mt19937& rng, int count) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  SBiQuadFilter f;
  f.count = count;
  for (int s = 0; s < count; ++s) {
    const double r = 0.97 * std::sqrt(unit(rng));
    const double theta = M_PI * unit(rng);
    const double zr = 1.2 * unit(rng);
    const double phi = M_PI * unit(rng);
    const double g = 0.2 + unit(rng);
    f.sections[s] = {g, -2.0 * g * zr * std::cos(phi), g * zr * zr, -2.0 * r * std::cos(theta), r * r};
  }
  return f;
}

std::vector<float> RandomSignal(std::mt19937& rng, std::size_t samples) {
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(samples);
  for (auto& v : x) v = dist(rng);
  return x;
}

// The plain direct-form recursion, channel by channel, in long double.
std::vector<long double> Reference(const SBiQuadFilter& f, const std::vector<float>& x, int channels) {
  std::vector<long double> y(x.size());
  for (int ch = 0; ch < channels; ++ch) {
    std::vector<long double> w1(static_cast<std::size_t>(f.count)), w2(w1.size());
    for (std::size_t i = static_cast<std::size_t>(ch); i < x.size(); i += static_cast<std::size_t>(channels)) {
      long double v = x[i];
      for (int s = 0; s < f.count; ++s) {
        const SBiQuadSection& c = f.sections[s];
        const auto u = static_cast<std::size_t>(s);
        const long double w = v - c.a1 * w1[u] - c.a2 * w2[u];
        v = c.b0 * w + c.b1 * w1[u] + c.b2 * w2[u];
        w2[u] = w1[u];
        w1[u] = w;
      }
      y[i] = v;
    }
  }
  return y;
}

struct Shape {
  int sections;
  std::uint16_t channels;
};

void PrintTo(const Shape& s, std::ostream* os) { *os << s.sections << " sections, " << s.channels << " channels"; }

class BiquadKernelShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(BiquadKernelShapes, MatchesLongDoubleDirectForm) {
  const Shape shape = GetParam();
  std::mt19937 rng(static_cast<unsigned>(100 * shape.sections + shape.channels));
  for (int trial = 0; trial < 5; ++trial) {
    const SBiQuadFilter f = RandomCascade(rng, shape.sections);
    const std::size_t frames = 3000;
    std::vector<float> x = RandomSignal(rng, frames * shape.channels);
    const std::vector<long double> ref = Reference(f, x, shape.channels);
    long double power = 0;
    for (long double v : ref) power += v * v;
    const long double rms = std::sqrt(power / static_cast<long double>(ref.size()));
    BiquadKernel k;
    ASSERT_EQ(k.Init(f, shape.channels), err::kOk);
    k.Process(x.data(), frames, 0xffffffffu);
    for (std::size_t i = 0; i < x.size(); ++i) {
      // The float store dominates the error: half an ulp of the output.
      const long double tol = 1e-7L * std::fabs(ref[i]) + 1e-9L * rms;
      ASSERT_LE(std::fabs(static_cast<long double>(x[i]) - ref[i]), tol) << "sample " << i << " trial " << trial;
    }
  }
}

TEST_P(BiquadKernelShapes, BlockSplitsGiveIdenticalOutput) {
  const Shape shape = GetParam();
  std::mt19937 rng(static_cast<unsigned>(7 * shape.sections + shape.channels));
  const SBiQuadFilter f = RandomCascade(rng, shape.sections);
  const std::size_t frames = 1500;
  const std::vector<float> x = RandomSignal(rng, frames * shape.channels);
  const std::size_t stride = shape.channels;

  std::vector<float> whole = x;
  BiquadKernel k;
  ASSERT_EQ(k.Init(f, shape.channels), err::kOk);
  k.Process(whole.data(), frames, 0xffffffffu);

  std::vector<float> single = x;
  k.Reset();
  for (std::size_t i = 0; i < frames; ++i) k.Process(single.data() + i * stride, 1, 0xffffffffu);
  EXPECT_EQ(0, std::memcmp(whole.data(), single.data(), whole.size() * sizeof(float)));

  std::vector<float> split = x;
  ASSERT_EQ(k.Init(f, shape.channels), err::kOk);  // reconfiguring clears the state too
  std::uniform_int_distribution<std::size_t> len(0, 600);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t n = std::min(len(rng), frames - done);
    k.Process(split.data() + done * stride, n, 0xffffffffu);
    done += n;
  }
  EXPECT_EQ(0, std::memcmp(whole.data(), split.data(), whole.size() * sizeof(float)));
}

TEST_P(BiquadKernelShapes, MaskLeavesOtherChannelsAndKeepsResults) {
  const Shape shape = GetParam();
  std::mt19937 rng(static_cast<unsigned>(31 * shape.sections + shape.channels));
  const SBiQuadFilter f = RandomCascade(rng, shape.sections);
  const std::size_t frames = 700;
  const std::vector<float> x = RandomSignal(rng, frames * shape.channels);
  std::vector<float> all = x;
  BiquadKernel k;
  ASSERT_EQ(k.Init(f, shape.channels), err::kOk);
  k.Process(all.data(), frames, 0xffffffffu);
  // Every mask of the first channels: processed ones equal the all-channel
  // run bit for bit (paired or alone), the others keep their input.
  for (std::uint32_t mask = 0; mask < (1u << std::min<int>(shape.channels, 4)); ++mask) {
    std::vector<float> some = x;
    k.Reset();
    k.Process(some.data(), frames, mask);
    for (std::size_t i = 0; i < some.size(); ++i) {
      const std::size_t ch = i % shape.channels;
      const bool on = ch < 32 && (mask >> ch & 1u);
      const float want = on ? all[i] : x[i];
      ASSERT_EQ(0, std::memcmp(&some[i], &want, sizeof(float))) << "mask " << mask << " sample " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, BiquadKernelShapes,
                         ::testing::Values(Shape{1, 1}, Shape{1, 2}, Shape{4, 2}, Shape{5, 1}, Shape{7, 3},
                                           Shape{15, 2}, Shape{32, 5}),
                         [](const auto& param_info) {
                           return std::to_string(param_info.param.sections) + "sections" +
                                  std::to_string(param_info.param.channels) + "ch";
                         });

TEST(BiquadKernel, ZeroSectionsPassThroughBitForBit) {
  std::mt19937 rng(3);
  std::vector<float> x = RandomSignal(rng, 2000);
  x[5] = 1e-40f;  // a denormal survives too
  x[6] = -0.0f;
  const std::vector<float> in = x;
  BiquadKernel k;
  ASSERT_EQ(k.Init(SBiQuadFilter{}, 2), err::kOk);
  EXPECT_EQ(k.sections(), 1);
  k.Process(x.data(), 1000, 3);
  EXPECT_EQ(0, std::memcmp(in.data(), x.data(), in.size() * sizeof(float)));
}

TEST(BiquadKernel, StateClearedByResetAndReconfigure) {
  std::mt19937 rng(5);
  const SBiQuadFilter f = RandomCascade(rng, 3);
  const SBiQuadFilter g = RandomCascade(rng, 6);
  const std::vector<float> x = RandomSignal(rng, 800);
  BiquadKernel fresh;
  ASSERT_EQ(fresh.Init(g, 2), err::kOk);
  std::vector<float> want = x;
  fresh.Process(want.data(), 400, 3);

  BiquadKernel used;
  ASSERT_EQ(used.Init(f, 2), err::kOk);
  std::vector<float> junk = x;
  used.Process(junk.data(), 400, 3);
  ASSERT_EQ(used.Init(g, 2), err::kOk);  // more sections than before: the state grows
  std::vector<float> got = x;
  used.Process(got.data(), 400, 3);
  EXPECT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * sizeof(float)));
  used.Reset();
  for (int s = 0; s < used.sections(); ++s) {
    EXPECT_EQ(used.state(0, s)[0], 0.0);
    EXPECT_EQ(used.state(1, s)[1], 0.0);
  }
}

TEST(SBiQuadFilter, TriplesNormaliseAndCarryTheGain) {
  const double num[2][3] = {{2.0, 1.0, -4.0}, {-0.5, 0.25, 0.125}};
  const double den[2][2] = {{-0.5, 0.25}, {0.1, -0.2}};
  SBiQuadFilter f;
  ASSERT_EQ(f.SetTriples(num, den, 2), err::kOk);
  ASSERT_EQ(f.count, 2);
  EXPECT_DOUBLE_EQ(f.gain, -1.0);
  const double want[2][5] = {{1.0, 0.5, -2.0, -0.5, 0.25}, {1.0, -0.5, -0.25, 0.1, -0.2}};
  for (int s = 0; s < 2; ++s) {
    const SBiQuadSection& c = f.sections[s];
    const double got[5] = {c.b0, c.b1, c.b2, c.a1, c.a2};
    for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(got[i], want[s][i]) << s << "," << i;
  }
  const double zero[1][3] = {{0.0, 1.0, 1.0}};
  EXPECT_EQ(f.SetTriples(zero, den, 1), err::kSizeLimit);
}

TEST(SBiQuadFilter, PairsAndConcatenation) {
  const SBiQuadSection given[3] = {{1, 2, 3, 0.1, 0.2}, {4, 5, 6, 0.3, 0.4}, {7, 8, 9, 0.5, 0.6}};
  SBiQuadFilter a;
  a.gain = 5.0;
  ASSERT_EQ(a.SetPairs(given, 2), err::kOk);
  EXPECT_EQ(a.gain, 1.0);
  a.gain = 2.0;
  SBiQuadFilter b;
  ASSERT_EQ(b.SetPairs(given + 2, 1), err::kOk);
  b.gain = 3.0;
  ASSERT_EQ(a.Append(b), err::kOk);
  EXPECT_EQ(a.count, 3);
  EXPECT_EQ(a.gain, 6.0);
  EXPECT_EQ(a.sections[2].b0, 7.0);
  EXPECT_EQ(a.sections[1].a2, 0.4);

  SBiQuadFilter full;
  full.count = SBiQuadFilter::kMaxSections - 2;
  EXPECT_EQ(full.Append(a), err::kSizeLimit);
  EXPECT_EQ(full.count, SBiQuadFilter::kMaxSections - 2);
  EXPECT_EQ(a.SetPairs(given, SBiQuadFilter::kMaxSections + 1), err::kSizeLimit);
}

}  // namespace
}  // namespace tidemark::dsp
