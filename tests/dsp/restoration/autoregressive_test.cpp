// The autoregressive model: the estimate against a known process, and the
// gap interpolation against a dense least-squares solution.
#include "dsp/restoration/autoregressive.h"

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace tidemark::dsp {
namespace {

std::vector<double> Hann(std::size_t n) {
  std::vector<double> w(n);
  for (std::size_t i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) / static_cast<double>(n));
  return w;
}

// x[n] = 1.6 x[n-1] - 0.8 x[n-2] + white noise.
std::vector<float> Ar2Process(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> white(0.0, 0.01);
  std::vector<float> x(n);
  double x1 = 0, x2 = 0;
  for (float& v : x) {
    const double y = 1.6 * x1 - 0.8 * x2 + white(gen);
    x2 = x1;
    x1 = y;
    v = static_cast<float>(y);
  }
  return x;
}

TEST(Autoregressive, EstimateFindsTheProcessAndRefusesSilence) {
  const std::size_t n = 1 << 16;
  const std::vector<float> x = Ar2Process(n, 3);
  const std::vector<double> w = Hann(n);
  std::vector<double> work(PredictionWorkSize(n));
  std::vector<double> c(3);
  ASSERT_TRUE(EstimatePredictionErrorFilter(x.data(), n, w.data(), 2, c.data(), work.data()));
  EXPECT_EQ(c[0], 1.0);
  EXPECT_NEAR(c[1], -1.6, 0.01);
  EXPECT_NEAR(c[2], 0.8, 0.01);

  const std::vector<float> silence(n, 0.0f);
  EXPECT_FALSE(EstimatePredictionErrorFilter(silence.data(), n, w.data(), 2, c.data(), work.data()));
  EXPECT_EQ(c[0], 1.0);
  EXPECT_EQ(c[1], 0.0);
}

// The unknowns minimising sum_n e[n]^2 over every error sample they enter,
// by the normal equations built densely and Gaussian elimination.
std::vector<double> DenseLeastSquares(const std::vector<float>& x, std::size_t at, std::size_t m,
                                      const std::vector<double>& c) {
  const std::size_t p = c.size() - 1;
  std::vector<std::vector<double>> a(m, std::vector<double>(m + 1, 0.0));
  for (std::size_t n = at; n < at + m + p; ++n) {
    std::vector<double> row(m, 0.0);
    double known = 0.0;
    for (std::size_t k = 0; k <= p; ++k) {
      const std::size_t i = n - k;
      if (i >= at && i < at + m)
        row[i - at] += c[k];
      else
        known += c[k] * x[i];
    }
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t j = 0; j < m; ++j) a[i][j] += row[i] * row[j];
      a[i][m] -= row[i] * known;
    }
  }
  for (std::size_t col = 0; col < m; ++col) {
    for (std::size_t r = col + 1; r < m; ++r) {
      const double f = a[r][col] / a[col][col];
      for (std::size_t j = col; j <= m; ++j) a[r][j] -= f * a[col][j];
    }
  }
  std::vector<double> u(m);
  for (std::size_t i = m; i-- > 0;) {
    double sum = a[i][m];
    for (std::size_t j = i + 1; j < m; ++j) sum -= a[i][j] * u[j];
    u[i] = sum / a[i][i];
  }
  return u;
}

struct GapCase {
  std::size_t m;
  int order;
};

class AutoregressiveGaps : public ::testing::TestWithParam<GapCase> {};

TEST_P(AutoregressiveGaps, InterpolationIsTheLeastSquaresSolution) {
  const auto [m, order] = GetParam();
  const std::size_t n = 4096, at = 2000;
  std::vector<float> x = Ar2Process(n, 9);
  std::vector<double> c(static_cast<std::size_t>(order) + 1);
  std::vector<double> work(PredictionWorkSize(n));
  const std::vector<double> w = Hann(n);
  ASSERT_TRUE(EstimatePredictionErrorFilter(x.data(), n, w.data(), order, c.data(), work.data()));
  // Whatever the gap holds must not matter.
  for (std::size_t i = at; i < at + m; ++i) x[i] = (i % 2) ? 0.9f : -0.9f;
  const std::vector<double> want = DenseLeastSquares(x, at, m, c);
  std::vector<double> got(m), gap_work(InterpolationWorkSize(m, order));
  ASSERT_TRUE(InterpolateGap(x.data() + at, m, c.data(), order, got.data(), gap_work.data()));
  for (std::size_t i = 0; i < m; ++i) ASSERT_NEAR(got[i], want[i], 1e-9) << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, AutoregressiveGaps,
                         ::testing::Values(GapCase{1, 2}, GapCase{5, 2}, GapCase{5, 32}, GapCase{40, 8},
                                           GapCase{40, 32}, GapCase{200, 64}));

}  // namespace
}  // namespace tidemark::dsp
