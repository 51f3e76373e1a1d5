#include "dsp/filters/lattice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

using NS_EFFECT::SLatticeIIR;

// The monic polynomial with the given roots (in z), as coefficients of
// z^0, z^-1, ..., z^-n; roots come in conjugate pairs, plus one real root
// when n is odd.
std::vector<double> FromRoots(std::mt19937& rng, int n, double max_radius, double min_radius = 0.0) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::complex<double>> poly{1.0};
  auto multiply = [&](std::complex<double> root) {
    poly.push_back(0.0);
    for (std::size_t i = poly.size() - 1; i > 0; --i) poly[i] -= root * poly[i - 1];
  };
  for (int i = 0; i + 1 < n; i += 2) {
    const double r = min_radius + (max_radius - min_radius) * std::sqrt(unit(rng));
    const std::complex<double> root = std::polar(r, M_PI * unit(rng));
    multiply(root);
    multiply(std::conj(root));
  }
  if (n % 2) {
    const double sign = unit(rng) < 0.5 ? -1.0 : 1.0;
    multiply(sign * (min_radius + (max_radius - min_radius) * unit(rng)));
  }
  std::vector<double> out;
  for (auto c : poly) out.push_back(c.real());
  return out;
}

TEST(StepDown, KnownDenominators) {
  struct Case {
    std::vector<double> b;
    bool stable;
    std::vector<double> k;
  };
  const Case cases[] = {
      {{1.0}, true, {}},
      {{1.0, -0.5}, true, {-0.5}},
      {{1.0, 1.0}, false, {}},           // pole on the unit circle at z = -1
      {{1.0, -1.0}, false, {}},          // and at z = 1
      {{1.0, -1.8, 0.81}, true, {-0.9944751381215469, 0.81}},  // double pole at 0.9
      {{1.0, 0.0, 1.0}, false, {}},      // poles at +-j
      {{1.0, -2.1, 1.1}, false, {}},     // poles at 1 and 1.1: k2 passes, k1 fails
      {{1.0, 0.0, 0.0, 0.5}, true, {0.0, 0.0, 0.5}},
      {{1.0, NAN}, false, {}},
  };
  for (const Case& c : cases) {
    const int order = static_cast<int>(c.b.size()) - 1;
    std::vector<double> k(static_cast<std::size_t>(order) + 1, 99.0);
    EXPECT_EQ(StepDown(c.b.data(), order, k.data()), c.stable) << "order " << order << " b1 " << c.b.back();
    for (std::size_t i = 0; i < c.k.size(); ++i) EXPECT_NEAR(k[i], c.k[i], 1e-12) << i;
  }
}

TEST(StepDown, AgreesWithRootsOverRandomPolynomials) {
  std::mt19937 rng(11);
  for (int order = 1; order <= 40; ++order) {
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<double> k(static_cast<std::size_t>(order));
      const std::vector<double> inside = FromRoots(rng, order, 0.98);
      EXPECT_TRUE(StepDown(inside.data(), order, k.data())) << order;
      // One pair (or the real root) outside the unit circle.
      std::vector<double> outside = FromRoots(rng, order, 1.5, 1.02);
      EXPECT_FALSE(StepDown(outside.data(), order, k.data())) << order;
    }
  }
}

// The direct form H = A(z) / B(z) in long double, one channel.
std::vector<long double> DirectForm(const std::vector<double>& a, const std::vector<double>& b,
                                    const std::vector<float>& x) {
  std::vector<long double> y(x.size());
  for (std::size_t n = 0; n < x.size(); ++n) {
    long double acc = 0;
    for (std::size_t i = 0; i < a.size() && i <= n; ++i) acc += a[i] * static_cast<long double>(x[n - i]);
    for (std::size_t i = 1; i < b.size() && i <= n; ++i) acc -= b[i] * y[n - i];
    y[n] = acc;
  }
  return y;
}

class LatticeOrders : public ::testing::TestWithParam<int> {};

TEST_P(LatticeOrders, RunsTheDirectForm) {
  const int order = GetParam();
  std::mt19937 rng(static_cast<unsigned>(order + 1));
  std::uniform_real_distribution<double> coef(-1.0, 1.0);
  std::uniform_real_distribution<float> sig(-1.0f, 1.0f);
  for (int trial = 0; trial < 4; ++trial) {
    const std::vector<double> b = FromRoots(rng, order, 0.9);
    std::vector<double> a(b.size());
    for (auto& v : a) v = coef(rng);
    SLatticeIIR lat;
    ASSERT_TRUE(DirectToLattice(a.data(), b.data(), order, &lat));
    ASSERT_EQ(lat.order, order);
    const std::size_t frames = 1200;
    std::vector<float> x(frames * 2);
    for (auto& v : x) v = sig(rng);
    std::vector<float> left(frames);
    for (std::size_t i = 0; i < frames; ++i) left[i] = x[2 * i];
    const std::vector<long double> ref = DirectForm(a, b, left);
    long double power = 0;
    for (long double v : ref) power += v * v;
    const long double rms = std::sqrt(power / static_cast<long double>(frames));
    LatticeKernel k;
    ASSERT_EQ(k.Init(lat, 2), err::kOk);
    const std::vector<float> in = x;
    k.Process(x.data(), frames, 1);
    for (std::size_t i = 0; i < frames; ++i) {
      ASSERT_LE(std::fabs(static_cast<long double>(x[2 * i]) - ref[i]), 1e-7L * std::fabs(ref[i]) + 1e-8L * rms)
          << "order " << order << " frame " << i;
      ASSERT_EQ(0, std::memcmp(&x[2 * i + 1], &in[2 * i + 1], sizeof(float)));  // unmasked
    }
  }
}

TEST_P(LatticeOrders, BlockSplitsGiveIdenticalOutput) {
  const int order = GetParam();
  std::mt19937 rng(static_cast<unsigned>(order + 50));
  const std::vector<double> b = FromRoots(rng, order, 0.95);
  std::vector<double> a(b.size(), 0.3);
  SLatticeIIR lat;
  ASSERT_TRUE(DirectToLattice(a.data(), b.data(), order, &lat));
  const std::size_t frames = 900;
  std::vector<float> x(frames * 3);
  std::uniform_real_distribution<float> sig(-1.0f, 1.0f);
  for (auto& v : x) v = sig(rng);
  LatticeKernel k;
  ASSERT_EQ(k.Init(lat, 3), err::kOk);
  std::vector<float> whole = x;
  k.Process(whole.data(), frames, 7);
  std::vector<float> single = x;
  k.Reset();
  for (std::size_t i = 0; i < frames; ++i) k.Process(single.data() + 3 * i, 1, 7);
  EXPECT_EQ(0, std::memcmp(whole.data(), single.data(), x.size() * sizeof(float)));
  std::vector<float> split = x;
  k.Reset();
  std::uniform_int_distribution<std::size_t> len(0, 300);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t n = std::min(len(rng), frames - done);
    k.Process(split.data() + 3 * done, n, 7);
    done += n;
  }
  EXPECT_EQ(0, std::memcmp(whole.data(), split.data(), x.size() * sizeof(float)));
}

INSTANTIATE_TEST_SUITE_P(Orders, LatticeOrders, ::testing::Values(1, 2, 3, 8, 17, 40));

TEST(Lattice, OrderZeroScalesByC0) {
  const double a[] = {0.5};
  const double b[] = {1.0};
  SLatticeIIR lat;
  ASSERT_TRUE(DirectToLattice(a, b, 0, &lat));
  EXPECT_EQ(lat.c[0], 0.5);
  LatticeKernel k;
  ASSERT_EQ(k.Init(lat, 1), err::kOk);
  float x[] = {1.0f, -0.75f, 3e-5f};
  k.Process(x, 3, 1);
  EXPECT_EQ(x[0], 0.5f);
  EXPECT_EQ(x[1], -0.375f);
  EXPECT_EQ(x[2], 1.5e-5f);
}

TEST(Lattice, RefusesUnstableAndOutOfRange) {
  SLatticeIIR lat;
  lat.order = 3;
  const double a[] = {1.0, 0.0};
  const double unstable[] = {1.0, 1.0};
  EXPECT_FALSE(DirectToLattice(a, unstable, 1, &lat));
  EXPECT_EQ(lat.order, 3);  // untouched
  std::vector<double> big(SLatticeIIR::kMaxOrder + 2, 0.0);
  big[0] = 1.0;
  EXPECT_FALSE(DirectToLattice(big.data(), big.data(), SLatticeIIR::kMaxOrder + 1, &lat));
  EXPECT_TRUE(DirectToLattice(big.data(), big.data(), SLatticeIIR::kMaxOrder, &lat));
  EXPECT_EQ(lat.order, SLatticeIIR::kMaxOrder);
}

}  // namespace
}  // namespace tidemark::dsp
