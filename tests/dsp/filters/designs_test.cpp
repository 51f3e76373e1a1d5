// The designs' contracts that need no frequency-response oracle: band
// lists, pass-through cases, parameter checks and the elliptic order rule.
// Their responses are checked against scipy in filter_designs_test.py.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "dsp/filters/biquad.h"
#include "dsp/filters/equaliser.h"
#include "dsp/filters/lowpass_highpass.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

using NS_EFFECT::SBiQuadFilter;
using NS_EFFECT::SBiQuadSection;

double MagnitudeDb(const SBiQuadFilter& f, double omega) {
  const std::complex<double> e = std::polar(1.0, -omega);
  std::complex<double> h = f.gain;
  for (int s = 0; s < f.count; ++s) {
    const auto& c = f.sections[s];
    h *= (c.b0 + e * (c.b1 + e * c.b2)) / (1.0 + e * (c.a1 + e * c.a2));
  }
  return 20.0 * std::log10(std::abs(h));
}

TEST(GraphicEq, BandsInUseFollowTheRate) {
  const struct {
    double rate;
    int bands;
  } cases[] = {{44100, 10}, {48000, 10}, {32000, 10}, {31999, 9}, {22050, 9}, {8000, 8}, {1000, 5}, {62.5, 1}, {62, 0}};
  for (const auto& c : cases) EXPECT_EQ(GraphicEqBandCount(c.rate), c.bands) << c.rate;
}

TEST(GraphicEq, HalfRateBandRunsClampedAndStable) {
  double gains[kGraphicEqBands] = {};
  gains[9] = 12.0;
  SBiQuadFilter f;
  ASSERT_EQ(DesignGraphicEq(gains, 32000.0, &f), err::kOk);
  ASSERT_EQ(f.count, 1);
  SBiQuadSection clamped;
  ASSERT_EQ(DesignEqBand(EqBand::kPeaking, 0.4995, std::pow(10.0, 12.0 / 20.0), 1.0, &clamped), err::kOk);
  EXPECT_EQ(0, std::memcmp(&f.sections[0], &clamped, sizeof clamped));
  EXPECT_LT(std::fabs(f.sections[0].a2), 1.0);
  EXPECT_LT(std::fabs(f.sections[0].a1), 1.0 + f.sections[0].a2);
  EXPECT_NEAR(MagnitudeDb(f, 2.0 * M_PI * 0.4995), 12.0, 1e-6);
  // At 22050 Hz the same band is dropped.
  ASSERT_EQ(DesignGraphicEq(gains, 22050.0, &f), err::kOk);
  EXPECT_EQ(f.count, 0);
}

TEST(Equalisers, AllGainsZeroPassTheSignalBitForBit) {
  const ParametricBand bands[kParametricEqBands] = {{0.05, 0.0, 2.0}, {0.001, 0.0, 1.0}, {0.02, 0.0, 0.5}};
  const double gains[kGraphicEqBands] = {};
  SBiQuadFilter peq;
  SBiQuadFilter geq;
  ASSERT_EQ(DesignParametricEq(bands, &peq), err::kOk);
  ASSERT_EQ(DesignGraphicEq(gains, 44100.0, &geq), err::kOk);
  EXPECT_EQ(peq.count, 0);
  EXPECT_EQ(geq.count, 0);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(4096);
  for (auto& v : x) v = dist(rng);
  x[10] = -0.0f;
  x[11] = std::numeric_limits<float>::infinity();
  x[12] = 1e-42f;
  for (const SBiQuadFilter* f : {&peq, &geq}) {
    BiquadKernel k;
    ASSERT_EQ(k.Init(*f, 2), err::kOk);
    std::vector<float> y = x;
    k.Process(y.data(), 2048, 3);
    EXPECT_EQ(0, std::memcmp(x.data(), y.data(), x.size() * sizeof(float)));
  }
}

TEST(Equalisers, GainOneIsPassThroughAndZeroGainBandsContributeNothing) {
  SBiQuadSection s;
  s.a1 = 0.5;
  for (EqBand band : {EqBand::kHighShelf, EqBand::kLowShelf, EqBand::kPeaking}) {
    ASSERT_EQ(DesignEqBand(band, 0.1, 1.0, 1.0, &s), err::kOk);
    EXPECT_EQ(s.b0, 1.0);
    EXPECT_EQ(s.b1, 0.0);
    EXPECT_EQ(s.b2, 0.0);
    EXPECT_EQ(s.a1, 0.0);
    EXPECT_EQ(s.a2, 0.0);
  }
  const ParametricBand bands[kParametricEqBands] = {{0.05, 0.0, 2.0}, {0.001, -6.0, 1.0}, {0.02, 0.0, 0.5}};
  SBiQuadFilter f;
  ASSERT_EQ(DesignParametricEq(bands, &f), err::kOk);
  ASSERT_EQ(f.count, 1);
  SBiQuadSection low;
  ASSERT_EQ(DesignEqBand(EqBand::kLowShelf, 0.001, std::pow(10.0, -6.0 / 20.0), 1.0, &low), err::kOk);
  EXPECT_EQ(0, std::memcmp(&f.sections[0], &low, sizeof low));
}

TEST(LowpassHighpass, RefusesOutOfRangeParameters) {
  SBiQuadFilter f;
  f.count = 4;
  const LowpassHighpassParams bad[] = {
      {FilterDesign::kButterworth, false, 0, 0.1, -40.0},
      {FilterDesign::kButterworth, false, 16, 0.1, -40.0},
      {FilterDesign::kChebyshev1, true, 3, 0.0, -40.0},
      {FilterDesign::kChebyshev1, true, 3, std::nan(""), -40.0},
      {FilterDesign::kElliptic, false, 3, 0.1, -0.05},
      {static_cast<FilterDesign>(4), false, 3, 0.1, -40.0},
  };
  for (const auto& p : bad) EXPECT_EQ(DesignLowpassHighpass(p, &f), err::kSizeLimit);
  EXPECT_EQ(f.count, 4);
}

TEST(LowpassHighpass, CutoffAboveTheLimitIsTheLimit) {
  EXPECT_EQ(ClampRelativeFrequency(32000.0 / 44100.0), 0.4995);
  EXPECT_EQ(ClampRelativeFrequency(0.25), 0.25);
  for (FilterDesign d : {FilterDesign::kButterworth, FilterDesign::kChebyshev2}) {
    SBiQuadFilter over;
    SBiQuadFilter limit;
    ASSERT_EQ(DesignLowpassHighpass({d, false, 4, 32000.0 / 44100.0, -60.0}, &over), err::kOk);
    ASSERT_EQ(DesignLowpassHighpass({d, false, 4, 0.4995, -60.0}, &limit), err::kOk);
    EXPECT_EQ(0, std::memcmp(over.sections, limit.sections, sizeof(SBiQuadSection) * 4));
  }
}

// The elliptic design stops raising its order once its stopband starts
// within 1.001 x the cutoff; the rest are pass-through sections.
TEST(LowpassHighpass, EllipticSettlesOnTheOrderThatReachesTheTransition) {
  for (double stop : {-20.0, -40.0, -60.0, -90.0}) {
    for (int m = 1; m <= kMaxLowpassHighpassSections; ++m) {
      const int order = EllipticOrder(m, stop);
      ASSERT_EQ(order % 2, 0);
      ASSERT_GE(order, 2);
      ASSERT_LE(order, 2 * m);
      SBiQuadFilter f;
      ASSERT_EQ(DesignLowpassHighpass({FilterDesign::kElliptic, false, m, 0.1, stop}, &f), err::kOk);
      ASSERT_EQ(f.count, m);
      for (int s = order / 2; s < m; ++s) {
        EXPECT_EQ(f.sections[s].b0, 1.0);
        EXPECT_EQ(f.sections[s].a1, 0.0);
      }
      const double past = MagnitudeDb(f, 2.0 * M_PI * 0.1 * kEllipticTransitionRatio);
      if (order < 2 * m) {
        // Lowered: the stopband level (the ripple higher, as the passband's
        // bottom is at 0 dB) is reached within the ratio.
        EXPECT_LE(past, stop + kPassbandRippleDb + 0.01) << "m " << m << " stop " << stop << " order " << order;
      } else if (order > 2) {
        // Full order: one order less would not have reached it either.
        SBiQuadFilter less;
        ASSERT_EQ(DesignLowpassHighpass({FilterDesign::kElliptic, false, m - 1, 0.1, stop}, &less), err::kOk);
        EXPECT_GT(MagnitudeDb(less, 2.0 * M_PI * 0.1 * kEllipticTransitionRatio), stop + kPassbandRippleDb) << m;
      }
    }
  }
}

}  // namespace
}  // namespace tidemark::dsp
