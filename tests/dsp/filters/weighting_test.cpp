#include "dsp/filters/weighting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

using NS_EFFECT::SBiQuadFilter;

// The standard curves at the third-octave frequencies 1000 x 10^(n/10),
// n = -20..13 (10 Hz to 20 kHz), in dB: A and C from IEC 61672-1, B from
// IEC 60651.
constexpr int kFirstBand = -20;
constexpr double kA[] = {-70.4, -63.4, -56.7, -50.5, -44.7, -39.4, -34.6, -30.2, -26.2, -22.5, -19.1, -16.1,
                         -13.4, -10.9, -8.6,  -6.6,  -4.8,  -3.2,  -1.9,  -0.8,  0.0,   0.6,   1.0,   1.2,
                         1.3,   1.2,   1.0,   0.5,   -0.1,  -1.1,  -2.5,  -4.3,  -6.6,  -9.3};
constexpr double kB[] = {-38.2, -33.2, -28.5, -24.2, -20.4, -17.1, -14.2, -11.6, -9.3, -7.4, -5.6, -4.2,
                         -3.0,  -2.0,  -1.3,  -0.8,  -0.5,  -0.3,  -0.1,  0.0,   0.0,  0.0,  0.0,  -0.1,
                         -0.2,  -0.4,  -0.7,  -1.2,  -1.9,  -2.9,  -4.3,  -6.1,  -8.4, -11.1};
constexpr double kC[] = {-14.3, -11.2, -8.5, -6.2, -4.4, -3.0, -2.0, -1.3, -0.8, -0.5, -0.3, -0.2,
                         -0.1,  0.0,   0.0,  0.0,  0.0,  0.0,  0.0,  0.0,  0.0,  0.0,  -0.1, -0.2,
                         -0.3,  -0.5,  -0.8, -1.3, -2.0, -3.0, -4.4, -6.2, -8.5, -11.2};
constexpr int kBands = sizeof(kA) / sizeof(kA[0]);

// IEC 537's D curve, written out from its formula.
double DCurveDb(double f) {
  const auto r = [&](double x) {
    const double x2 = x * x;
    const double hx = ((1037918.48 - x2) * (1037918.48 - x2) + 1080768.16 * x2) /
                      ((9837328.0 - x2) * (9837328.0 - x2) + 11723776.0 * x2);
    return x / 6.8966888496476e-5 * std::sqrt(hx / ((x2 + 79919.29) * (x2 + 1345600.0)));
  };
  return 20.0 * std::log10(r(f) / r(1000.0));
}

double StandardDb(char letter, int band) {
  switch (letter) {
    case 'A': return kA[band];
    case 'B': return kB[band];
    case 'C': return kC[band];
    default: return DCurveDb(1000.0 * std::pow(10.0, (band + kFirstBand) / 10.0));
  }
}

double ResponseDb(const SBiQuadFilter& f, double hz, double rate) {
  const std::complex<double> e = std::polar(1.0, -2.0 * M_PI * hz / rate);
  std::complex<double> h = f.gain;
  for (int s = 0; s < f.count; ++s) {
    const auto& c = f.sections[s];
    h *= (c.b0 + e * (c.b1 + e * c.b2)) / (1.0 + e * (c.a1 + e * c.a2));
  }
  return 20.0 * std::log10(std::abs(h));
}

// IEC 61672-1 class 1 limits above 10 kHz: (upper, lower) in dB.
struct Tolerance {
  double plus;
  double minus;
};
Tolerance ClassOne(double nominal) {
  if (nominal < 11000) return {0.5, 0.5};  // the tighter goal up to 10 kHz
  if (nominal < 14000) return {3.0, 6.0};
  if (nominal < 18000) return {3.5, 17.0};
  return {4.0, std::numeric_limits<double>::infinity()};
}

struct Case {
  char letter;
  double rate;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.letter << " at " << c.rate << " Hz"; }

class WeightingCurves : public ::testing::TestWithParam<Case> {};

TEST_P(WeightingCurves, FollowTheStandardTables) {
  const Case c = GetParam();
  SBiQuadFilter f;
  ASSERT_EQ(DesignWeighting(c.letter, c.rate, &f), err::kOk);
  EXPECT_NEAR(ResponseDb(f, 1000.0, c.rate), 0.0, 1e-9);
  int checked = 0;
  for (int band = 0; band < kBands; ++band) {
    const double hz = 1000.0 * std::pow(10.0, (band + kFirstBand) / 10.0);
    if (hz < 19.0 || hz > std::min(20500.0, 0.45 * c.rate)) continue;
    const double got = ResponseDb(f, hz, c.rate);
    const double want = StandardDb(c.letter, band);
    const Tolerance tol = ClassOne(hz);
    // The tables are rounded to 0.1 dB.
    EXPECT_LE(got - want, tol.plus + 0.05) << c.letter << " at " << hz << " Hz, rate " << c.rate;
    EXPECT_GE(got - want, -tol.minus - 0.05) << c.letter << " at " << hz << " Hz, rate " << c.rate;
    ++checked;
  }
  EXPECT_GE(checked, 20);
  for (int s = 0; s < f.count; ++s) {
    const auto& sec = f.sections[s];
    EXPECT_LT(std::fabs(sec.a2), 1.0);
    EXPECT_LT(std::fabs(sec.a1), 1.0 + sec.a2);
  }
}

TEST_P(WeightingCurves, AnalogCurveMatchesTheTables) {
  const Case c = GetParam();
  for (int band = 0; band < kBands; ++band) {
    const double hz = 1000.0 * std::pow(10.0, (band + kFirstBand) / 10.0);
    EXPECT_NEAR(WeightingCurveDb(c.letter, hz), StandardDb(c.letter, band), 0.051) << c.letter << " " << hz;
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (char letter : {'A', 'B', 'C', 'D'}) {
    for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 384000.0}) cases.push_back({letter, rate});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(LettersAndRates, WeightingCurves, ::testing::ValuesIn(AllCases()),
                         [](const auto& param_info) {
                           return std::string(1, param_info.param.letter) + "_" +
                                  std::to_string(static_cast<int>(param_info.param.rate));
                         });

TEST(Weighting, RefusesUnknownLettersAndTooLowRates) {
  SBiQuadFilter f;
  f.count = 3;
  for (char letter : {'E', 'a', '0', '\0'}) EXPECT_EQ(DesignWeighting(letter, 44100.0, &f), err::kSizeLimit);
  EXPECT_EQ(DesignWeighting('A', kMinWeightingRate - 1.0, &f), err::kSizeLimit);
  EXPECT_EQ(DesignWeighting('A', std::nan(""), &f), err::kSizeLimit);
  EXPECT_EQ(f.count, 3);
  EXPECT_EQ(DesignWeighting('A', kMinWeightingRate, &f), err::kOk);
}

}  // namespace
}  // namespace tidemark::dsp
