#include "dsp/filters/iir_description.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace tidemark::dsp {
namespace {

using E = IirDescError;

struct ErrorCase {
  std::string text;
  E error;
  int line;
};

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(IirDescription, ErrorsNameTheirLine) {
  const std::vector<ErrorCase> cases = {
      {"A0 = 1\nA0 = 2", E::kDefinedTwice, 2},
      {"a0 = 1\n\nA = 2", E::kDefinedTwice, 3},  // same coefficient, other spelling
      {"PI = 3", E::kDefinedTwice, 1},
      {"x = 1\nx = 1", E::kDefinedTwice, 2},
      {"= 3", E::kStartsWithEquals, 1},
      {"A0", E::kNothingAfter, 1},
      {"A0 = \t", E::kNothingAfter, 1},
      {"A0 = 1\nA0 =", E::kNothingAfter, 2},  // the line's shape comes before the name
      {"A0 1", E::kNoEquals, 1},
      {"A0 + 1 = 2", E::kBadToken, 1},
      {"3 = 1", E::kBadToken, 1},
      {"sin = 1", E::kBadToken, 1},
      {"A0 = 1 $", E::kBadToken, 1},
      {"A0 = .", E::kBadToken, 1},
      {"A0 = 2 3", E::kBadToken, 1},
      {"A0 = 1 = 2", E::kBadToken, 1},
      {"# c\nA0 = (1 + 2", E::kParenthesis, 2},
      {"A0 = 1 + 2)", E::kParenthesis, 1},
      {"A0 = 1 +", E::kMissingOperand, 1},
      {"A0 = * 2", E::kMissingOperand, 1},
      {"A0 = ()", E::kMissingOperand, 1},
      {"A0 = x", E::kUndefinedName, 1},
      {"A0 = y\ny = 1", E::kUndefinedName, 1},  // names come before their use
      {"A0 = B1", E::kUndefinedName, 1},
      {"A0 = sin 1", E::kFunctionNeedsParens, 1},
      {"A0 = Sin(1)", E::kUndefinedName, 1},  // names are case-sensitive
      {"B0 = 0", E::kB0IsZero, 1},
      {"# c\nB = 1 - 1\nA0 = 1", E::kB0IsZero, 2},
      {"A1 = 1/0", E::kNotFinite, 1},
      {"A0 = ln(-1)", E::kNotFinite, 1},
      {"A0 = 1e999", E::kNotFinite, 1},
      {"B0 = 1e-320\nA0 = 1", E::kNotFinite, 2},  // finite until divided by B0
      {"A0 = " + Repeat("(", 300) + "1" + Repeat(")", 300), E::kTooLong, 1},
      {"A0 = " + Repeat("-", 300) + "1", E::kTooLong, 1},
      {"A0 = " + Repeat("2^", 300) + "1", E::kTooLong, 1},
      {"# " + std::string(kIirMaxDescriptionBytes, 'x'), E::kTooLong, 0},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    IirCoefficients out;
    out.order = -7;
    const IirDescResult r = ParseIirDescription(c.text, 44100, &out);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.line, c.line);
    EXPECT_EQ(out.order, -7);  // untouched on failure
  }
}

struct ValueCase {
  std::string text;
  std::vector<std::pair<int, double>> a, b;  // nonzero a[k] and b[k] (k >= 1)
  int order;
};

TEST(IirDescription, ValuesFollowPrecedenceAndNormalisation) {
  const double e = std::exp(1.0);
  const std::vector<ValueCase> cases = {
      {"", {}, {}, 0},
      {"A0 = 1", {{0, 1}}, {}, 0},
      {"A = 0.5", {{0, 0.5}}, {}, 0},
      {"B0 = 2\nA0 = 1\nb1 = 1", {{0, 0.5}}, {{1, 0.5}}, 1},
      {"A99 = 1\nB99 = 0.5", {{99, 1}}, {{99, 0.5}}, 99},
      {"A100 = 3\nA0 = A100", {{0, 3}}, {}, 0},  // three digits: an ordinary name
      {"A05 = 1\nA3 = 0", {{5, 1}}, {}, 5},
      {"A0 = -2^2", {{0, -4}}, {}, 0},
      {"A0 = 2^3^2", {{0, 512}}, {}, 0},
      {"A0 = 2^-1", {{0, 0.5}}, {}, 0},
      {"A0 = 1 - 2 - 3", {{0, -4}}, {}, 0},
      {"A0 = 8/2/2", {{0, 2}}, {}, 0},
      {"A0 = 2 + 3 * 4", {{0, 14}}, {}, 0},
      {"A0 = (2+3)*4", {{0, 20}}, {}, 0},
      {"A0 = --+1", {{0, 1}}, {}, 0},
      {"A0 = EXP", {{0, e}}, {}, 0},
      {"A0 = ln(EXP) + log10(1000)", {{0, 4}}, {}, 0},
      {"A0 = cos(PI) + sinh(0) + cosh(0) + exp(0) + tan(0) + sin(0)", {{0, 1}}, {}, 0},
      {"x = 1e-3\nA0 = x * 1E3 + .5e1", {{0, 6}}, {}, 0},
      {"A0 = 1e-400 + 1.", {{0, 1}}, {}, 0},  // underflow is zero, not an error
      {"# c\r\n\r\n  A0 = 2 \r\n\t# x\nB1 = -0.5", {{0, 2}}, {{1, -0.5}}, 1},
      {"Exp = 2\nA0 = Exp", {{0, 2}}, {}, 0},
      {"A0 = 1\nA1 = A0 * 2\nB2 = a1 / 4", {{0, 1}, {1, 2}}, {{2, 0.5}}, 2},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    IirCoefficients out;
    const IirDescResult r = ParseIirDescription(c.text, 44100, &out);
    ASSERT_TRUE(r.ok()) << static_cast<int>(r.error) << " line " << r.line;
    IirCoefficients want;
    want.b[0] = 1.0;
    for (auto [k, v] : c.a) want.a[static_cast<std::size_t>(k)] = v;
    for (auto [k, v] : c.b) want.b[static_cast<std::size_t>(k)] = v;
    EXPECT_EQ(out.order, c.order);
    for (std::size_t k = 0; k <= kIirMaxOrder; ++k) {
      EXPECT_DOUBLE_EQ(out.a[k], want.a[k]) << "a" << k;
      EXPECT_DOUBLE_EQ(out.b[k], want.b[k]) << "b" << k;
    }
  }
}

TEST(IirDescription, SampleRateNameFollowsTheDocument) {
  IirCoefficients at44, at48;
  ASSERT_TRUE(ParseIirDescription("A0 = SR_HZ / 48000", 44100, &at44).ok());
  ASSERT_TRUE(ParseIirDescription("A0 = SR_HZ / 48000", 48000, &at48).ok());
  EXPECT_DOUBLE_EQ(at44.a[0], 0.91875);
  EXPECT_DOUBLE_EQ(at48.a[0], 1.0);
}

TEST(IirDescription, ErrorTextsFollowTheCatalogueOrder) {
  const std::pair<E, int> rows[] = {{E::kNone, 0},          {E::kOutOfMemory, 1}, {E::kDefinedTwice, 6},
                                    {E::kOrderAbove99, 12}, {E::kB0IsZero, 13},   {E::kNotFinite, 14},
                                    {E::kUnstable, 15}};
  for (auto [error, index] : rows) EXPECT_EQ(IirDescErrorText(error), index) << static_cast<int>(error);
}

}  // namespace
}  // namespace tidemark::dsp
