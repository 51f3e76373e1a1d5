// The drawn FIR filter's point lists and its design: length from the lowest
// point, linear phase, and the response met at and between the points.
#include "effects/convolution/plot_fir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT_FIRPLOT {
namespace {

double ResponseDb(const std::vector<float>& h, double hz, double rate) {
  std::complex<double> sum = 0;
  for (std::size_t i = 0; i < h.size(); ++i)
    sum += double{h[i]} * std::polar(1.0, -2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
  return 20.0 * std::log10(std::abs(sum));
}

struct ParseCase {
  const char* text;
  bool ok;
  std::size_t count;
};

TEST(PlotFirPoints, ParseAcceptsAndRefuses) {
  const ParseCase cases[] = {
      {"100:0,1000:-6,8000:-20", true, 3}, {" 1000:-6 , 100:0 ", true, 2}, {"440:3.5,", true, 1},
      {"", true, 0},         {"abc", false, 0},         {"100", false, 0},       {"100:x", false, 0},
      {"0:0", false, 0},     {"30000:0", false, 0},     {"100:-200", false, 0},  {"100:30", false, 0},
      {"100:0,100:3", false, 0}, {"100:0,,200:1", false, 0}, {"100:0:1", false, 0},
  };
  for (const ParseCase& c : cases) {
    std::vector<Point> points;
    std::string why;
    EXPECT_EQ(ParsePoints(c.text, 44100, &points, &why), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(points.size(), c.count) << c.text;
      for (std::size_t i = 1; i < points.size(); ++i) EXPECT_LT(points[i - 1].hz, points[i].hz);
    } else {
      EXPECT_FALSE(why.empty()) << c.text;
    }
  }
}

TEST(PlotFirDesign, LengthFollowsTheLowestPoint) {
  const struct {
    double lowest;
    std::size_t taps;
  } cases[] = {{100, 2047}, {20, 16383}, {5000, 255}, {1, 262143}};
  for (const auto& c : cases) {
    std::vector<float> h;
    ASSERT_EQ(DesignDrawnFir({{c.lowest, 0}, {20000, 0}}, true, 44100, &h), err::kOk);
    EXPECT_EQ(h.size(), c.taps) << c.lowest;
  }
}

struct ShapeCase {
  bool logarithmic;
  double hz;
  double want_db;  // from the interpolation's definition
};

TEST(PlotFirDesign, MeetsThePointsAndInterpolates) {
  const std::vector<Point> points{{100, 0}, {1000, -6}, {8000, -20}};
  const ShapeCase cases[] = {
      {true, 100, 0},   {true, 1000, -6},  {true, 8000, -20}, {true, 15000, -20},
      {true, 550, -6 * std::log(5.5) / std::log(10.0)},       {false, 550, -3},
      {false, 4500, -13}, {true, 2828.4271, -13},
  };
  for (const ShapeCase& c : cases) {
    std::vector<float> h;
    ASSERT_EQ(DesignDrawnFir(points, c.logarithmic, 44100, &h), err::kOk);
    EXPECT_NEAR(ResponseDb(h, c.hz, 44100), c.want_db, 0.3) << c.hz << (c.logarithmic ? " log" : " linear");
    for (std::size_t i = 0; i < h.size() / 2; ++i) ASSERT_NEAR(h[i], h[h.size() - 1 - i], 1e-7) << i;
  }
}

}  // namespace
}  // namespace tidemark::NS_EFFECT_FIRPLOT
