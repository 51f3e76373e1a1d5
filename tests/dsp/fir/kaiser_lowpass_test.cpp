// The Kaiser-windowed low-pass by its measured response: unit gain at DC,
// symmetric taps, a flat pass band and the asked attenuation beyond the
// transition band the Kaiser formula predicts.
#include "dsp/fir/kaiser_lowpass.h"

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

namespace tidemark::dsp {
namespace {

struct LowpassCase {
  std::size_t order;
  double cutoff, attenuation_db;
};

double GainDb(const std::vector<double>& taps, double f) {
  std::complex<double> sum = 0.0;
  for (std::size_t k = 0; k < taps.size(); ++k) sum += taps[k] * std::polar(1.0, -2.0 * std::numbers::pi * f * static_cast<double>(k));
  return 20.0 * std::log10(std::abs(sum));
}

class KaiserLowpass : public ::testing::TestWithParam<LowpassCase> {};

TEST_P(KaiserLowpass, ResponseMeetsTheDesign) {
  const LowpassCase p = GetParam();
  std::vector<double> taps(p.order + 1);
  DesignKaiserLowpass(p.order, p.cutoff, p.attenuation_db, taps.data());
  double sum = 0.0;
  for (std::size_t k = 0; k <= p.order; ++k) {
    sum += taps[k];
    ASSERT_DOUBLE_EQ(taps[k], taps[p.order - k]);
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
  // The full transition width of a Kaiser design of this order.
  const double width = (p.attenuation_db - 7.95) / (14.36 * static_cast<double>(p.order));
  // Pass-band ripple of the same size as the stop-band's.
  const double ripple_db = 20.0 * std::log10(1.0 + std::pow(10.0, -(p.attenuation_db - 6.0) / 20.0));
  for (double f = 0.0; f < p.cutoff - 0.6 * width; f += 0.001) ASSERT_NEAR(GainDb(taps, f), 0.0, ripple_db) << f;
  for (double f = p.cutoff + 0.6 * width; f <= 0.5; f += 0.0005) ASSERT_LT(GainDb(taps, f), -(p.attenuation_db - 5.0)) << f;
  EXPECT_NEAR(GainDb(taps, p.cutoff), -6.02, 0.3);
}

INSTANTIATE_TEST_SUITE_P(Designs, KaiserLowpass,
                         ::testing::Values(LowpassCase{132, 4000.0 / 44100.0, 120.0},
                                           LowpassCase{288, 4000.0 / 96000.0, 120.0},
                                           LowpassCase{144, 0.25, 80.0}, LowpassCase{60, 0.1, 60.0}));

TEST(KaiserLowpassEdge, CutoffAtHalfTheRatePassesEverything) {
  std::vector<double> taps(11, 7.0);
  DesignKaiserLowpass(10, 0.5, 120.0, taps.data());
  for (std::size_t k = 0; k < taps.size(); ++k) EXPECT_EQ(taps[k], k == 5 ? 1.0 : 0.0);
}

}  // namespace
}  // namespace tidemark::dsp
