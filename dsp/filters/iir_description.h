// The user filter's description language: one definition per line,
// NAME = EXPRESSION, read in line order. A name must be defined on an
// earlier line than the one using it (so there are no cycles to find).
// "A"/"B" (either case) with up to two digits name the coefficients A0..A99
// (numerator) and B0..B99 (denominator); "A" alone is A0, "B" alone B0.
//
//   expression := term { ("+" | "-") term }
//   term       := unary { ("*" | "/") unary }
//   unary      := ("+" | "-") unary | power
//   power      := primary [ "^" unary ]          (right-associative, tightest)
//   primary    := number | name | function "(" expression ")" | "(" expression ")"
//
// So -2^2 is -4 and 2^-1 is 0.5. Names are case-sensitive apart from the
// coefficients; "exp" is the function, "EXP" the constant e.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "dsp/filters/lattice.h"

namespace tidemark::dsp {

// The description's error numbers. 1..6 and 19 are the design's parse
// errors; the others refine what it leaves to us. Each has its text in the
// catalogue section "effect/iirfilter/descerror" (IirDescErrorText).
enum class IirDescError : int {
  kNone = 0,
  kOutOfMemory = 1,
  kBadToken = 2,          // a character or name that cannot stand there
  kNoEquals = 3,          // the line has no "="
  kStartsWithEquals = 4,  // "=" before any name
  kNothingAfter = 5,      // nothing after the name or after "="
  kDefinedTwice = 6,      // also a predefined name or a coefficient given twice
  kParenthesis = 7,       // "(" not closed, or ")" with no "("
  kMissingOperand = 8,    // an operator with nothing on one side
  kUndefinedName = 9,     // used before (or without) its definition
  kFunctionNeedsParens = 10,
  kTooLong = 11,          // over kIirMaxDescriptionBytes, or nested deeper than kIirMaxNesting
  kOrderAbove99 = 12,     // cannot happen through the names; kept as a guard
  kB0IsZero = 19,
  kNotFinite = 20,        // a coefficient is infinite or NaN after normalisation
  kUnstable = 71,         // given by the stability check, never by the parser
};

inline constexpr int kIirMaxOrder = 99;
inline constexpr std::size_t kIirMaxDescriptionBytes = 64 * 1024;
inline constexpr int kIirMaxNesting = 256;

// H(z) = sum a[k] z^-k / sum b[k] z^-k, normalised so b[0] = 1.
struct IirCoefficients {
  int order = 0;  // highest index with a nonzero a or b
  std::array<double, kIirMaxOrder + 1> a{};
  std::array<double, kIirMaxOrder + 1> b{};
};

struct IirDescResult {
  IirDescError error = IirDescError::kNone;
  int line = 0;  // 1-based line of the error; 0 when it belongs to no line
  bool ok() const { return error == IirDescError::kNone; }
};

// Reads `text` (UTF-8; lines end in "\n" or "\r\n") for a sound at
// `sample_rate` Hz. On success fills `*out`; on failure leaves it untouched.
// Stability is not judged here.
[[nodiscard]] IirDescResult ParseIirDescription(std::string_view text, double sample_rate,
                                                IirCoefficients* out);

// Reads `text` as above and turns it into the lattice that runs it;
// kUnstable (line 0) when a pole lies on or outside the unit circle.
[[nodiscard]] IirDescResult DescriptionToLattice(std::string_view text, double sample_rate,
                                                 NS_EFFECT::SLatticeIIR* out);

// The index of the error's text within "effect/iirfilter/descerror"
// (0 is the general "cannot be used").
int IirDescErrorText(IirDescError error);

}  // namespace tidemark::dsp
