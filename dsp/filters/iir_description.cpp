#include "dsp/filters/iir_description.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <unordered_map>

#include "platform/alloc.h"

namespace tidemark::dsp {
namespace {

enum class Tok { kEnd, kNumber, kName, kPlus, kMinus, kStar, kSlash, kCaret, kOpen, kClose, kEquals, kBad };

struct Token {
  Tok kind = Tok::kEnd;
  std::string_view text;
  double number = 0.0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c); }

// One line's tokens, read one ahead.
class LineLexer {
 public:
  explicit LineLexer(std::string_view line) : s_(line) { Advance(); }
  const Token& Peek() const { return tok_; }
  void Advance();

 private:
  std::size_t NumberEnd(std::size_t i) const;

  std::string_view s_;
  std::size_t pos_ = 0;
  Token tok_;
};

// Digits [ "." digits ] [ ("e" | "E") [sign] digits ], or "." digits ...;
// an exponent letter without digits after it is not part of the number.
std::size_t LineLexer::NumberEnd(std::size_t i) const {
  while (i < s_.size() && IsDigit(s_[i])) ++i;
  if (i < s_.size() && s_[i] == '.') {
    ++i;
    while (i < s_.size() && IsDigit(s_[i])) ++i;
  }
  if (i < s_.size() && (s_[i] == 'e' || s_[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
    if (j < s_.size() && IsDigit(s_[j])) {
      while (j < s_.size() && IsDigit(s_[j])) ++j;
      i = j;
    }
  }
  return i;
}

// Whether a number from_chars found out of range is too large rather than
// too small: its decimal magnitude (digits before the point, or minus the
// zeros after it, plus the exponent) is positive.
bool Overflows(std::string_view number) {
  const std::size_t e = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, e);
  long long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view text = number.substr(e + 1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    for (char d : text) exponent = std::min(exponent * 10 + (d - '0'), 1LL << 40);
    if (negative) exponent = -exponent;
  }
  long long magnitude = 0;
  bool seen_point = false, seen_digit = false;
  for (char c : mantissa) {
    if (c == '.') seen_point = true;
    else if (c != '0' || seen_digit) {
      seen_digit = true;
      if (!seen_point) ++magnitude;
      else break;
    } else if (seen_point) {
      --magnitude;  // a zero after the point before any other digit
    }
  }
  return magnitude + exponent > 0;
}

void LineLexer::Advance() {
  while (pos_ < s_.size() && IsBlank(s_[pos_])) ++pos_;
  tok_ = Token{};
  if (pos_ >= s_.size()) return;
  const std::size_t start = pos_;
  const char c = s_[pos_];
  const bool number = IsDigit(c) || (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]));
  if (number) {
    pos_ = NumberEnd(pos_);
    tok_.kind = Tok::kNumber;
    const std::string_view digits = s_.substr(start, pos_ - start);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), tok_.number);
    // Out of range is a value, not a parse failure: infinity (which the
    // coefficient check reports) or zero.
    if (ec == std::errc::result_out_of_range) tok_.number = Overflows(digits) ? HUGE_VAL : 0.0;
    else if (ec != std::errc{} || end != digits.data() + digits.size()) tok_.kind = Tok::kBad;
  } else if (IsNameStart(c)) {
    while (pos_ < s_.size() && IsNamePart(s_[pos_])) ++pos_;
    tok_.kind = Tok::kName;
  } else {
    ++pos_;
    switch (c) {
      case '+': tok_.kind = Tok::kPlus; break;
      case '-': tok_.kind = Tok::kMinus; break;
      case '*': tok_.kind = Tok::kStar; break;
      case '/': tok_.kind = Tok::kSlash; break;
      case '^': tok_.kind = Tok::kCaret; break;
      case '(': tok_.kind = Tok::kOpen; break;
      case ')': tok_.kind = Tok::kClose; break;
      case '=': tok_.kind = Tok::kEquals; break;
      default: tok_.kind = Tok::kBad; break;
    }
  }
  tok_.text = s_.substr(start, pos_ - start);
}

using Function = double (*)(double);

struct NamedFunction {
  std::string_view name;
  Function f;
};

const NamedFunction kFunctions[] = {
    {"ln", [](double x) { return std::log(x); }},     {"exp", [](double x) { return std::exp(x); }},
    {"sin", [](double x) { return std::sin(x); }},    {"cos", [](double x) { return std::cos(x); }},
    {"tan", [](double x) { return std::tan(x); }},    {"sinh", [](double x) { return std::sinh(x); }},
    {"cosh", [](double x) { return std::cosh(x); }},  {"log10", [](double x) { return std::log10(x); }},
};

Function FindFunction(std::string_view name) {
  for (const NamedFunction& f : kFunctions) {
    if (f.name == name) return f.f;
  }
  return nullptr;
}

// 0..99 for A0..A99, 100..199 for B0..B99, -1 for any other name.
int CoefficientSlot(std::string_view name) {
  if (name.empty() || name.size() > 3) return -1;
  const char c = name[0];
  const bool a = c == 'A' || c == 'a';
  if (!a && c != 'B' && c != 'b') return -1;
  int index = 0;
  for (char d : name.substr(1)) {
    if (!IsDigit(d)) return -1;
    index = index * 10 + (d - '0');
  }
  return a ? index : kIirMaxOrder + 1 + index;
}

constexpr int kSlots = 2 * (kIirMaxOrder + 1);

// Everything defined so far: the predefined constants, the user's names
// and the coefficients with the line that set each.
struct Definitions {
  std::unordered_map<std::string, double> names;
  std::array<double, kSlots> slot_value{};
  std::array<int, kSlots> slot_line{};  // 0: not defined

  bool Lookup(std::string_view name, double* value) const {
    const int slot = CoefficientSlot(name);
    if (slot >= 0) {
      if (slot_line[static_cast<std::size_t>(slot)] == 0) return false;
      *value = slot_value[static_cast<std::size_t>(slot)];
      return true;
    }
    const auto it = names.find(std::string(name));
    if (it == names.end()) return false;
    *value = it->second;
    return true;
  }
};

// Evaluates one expression while reading it (the description is small and
// read once; no tree is kept).
class Evaluator {
 public:
  Evaluator(LineLexer& lex, const Definitions& defs) : lex_(lex), defs_(defs) {}
  IirDescError Expression(double* value, int depth);

 private:
  IirDescError Term(double* value, int depth);
  IirDescError Unary(double* value, int depth);
  IirDescError Power(double* value, int depth);
  IirDescError Primary(double* value, int depth);
  IirDescError Parenthesised(double* value, int depth);

  LineLexer& lex_;
  const Definitions& defs_;
};

IirDescError Evaluator::Expression(double* value, int depth) {
  if (depth > kIirMaxNesting) return IirDescError::kTooLong;
  IirDescError e = Term(value, depth);
  while (e == IirDescError::kNone && (lex_.Peek().kind == Tok::kPlus || lex_.Peek().kind == Tok::kMinus)) {
    const bool plus = lex_.Peek().kind == Tok::kPlus;
    lex_.Advance();
    double rhs = 0.0;
    e = Term(&rhs, depth);
    *value = plus ? *value + rhs : *value - rhs;
  }
  return e;
}

IirDescError Evaluator::Term(double* value, int depth) {
  IirDescError e = Unary(value, depth);
  while (e == IirDescError::kNone && (lex_.Peek().kind == Tok::kStar || lex_.Peek().kind == Tok::kSlash)) {
    const bool times = lex_.Peek().kind == Tok::kStar;
    lex_.Advance();
    double rhs = 0.0;
    e = Unary(&rhs, depth);
    *value = times ? *value * rhs : *value / rhs;
  }
  return e;
}

IirDescError Evaluator::Unary(double* value, int depth) {
  const Tok kind = lex_.Peek().kind;
  if (kind != Tok::kPlus && kind != Tok::kMinus) return Power(value, depth);
  if (depth + 1 > kIirMaxNesting) return IirDescError::kTooLong;
  lex_.Advance();
  const IirDescError e = Unary(value, depth + 1);
  if (kind == Tok::kMinus) *value = -*value;
  return e;
}

IirDescError Evaluator::Power(double* value, int depth) {
  IirDescError e = Primary(value, depth);
  if (e != IirDescError::kNone || lex_.Peek().kind != Tok::kCaret) return e;
  if (depth + 1 > kIirMaxNesting) return IirDescError::kTooLong;
  lex_.Advance();
  double exponent = 0.0;
  e = Unary(&exponent, depth + 1);
  *value = std::pow(*value, exponent);
  return e;
}

IirDescError Evaluator::Parenthesised(double* value, int depth) {
  lex_.Advance();  // "("
  const IirDescError e = Expression(value, depth + 1);
  if (e != IirDescError::kNone) return e;
  if (lex_.Peek().kind != Tok::kClose) {
    return lex_.Peek().kind == Tok::kEnd ? IirDescError::kParenthesis : IirDescError::kBadToken;
  }
  lex_.Advance();
  return IirDescError::kNone;
}

IirDescError Evaluator::Primary(double* value, int depth) {
  const Token tok = lex_.Peek();
  switch (tok.kind) {
    case Tok::kNumber:
      *value = tok.number;
      lex_.Advance();
      return IirDescError::kNone;
    case Tok::kOpen:
      return Parenthesised(value, depth);
    case Tok::kName:
      break;
    case Tok::kBad:
    case Tok::kEquals:
      return IirDescError::kBadToken;
    default:  // an operator, ")" or the end where a value belongs
      return IirDescError::kMissingOperand;
  }
  lex_.Advance();
  if (const Function f = FindFunction(tok.text)) {
    if (lex_.Peek().kind != Tok::kOpen) return IirDescError::kFunctionNeedsParens;
    const IirDescError e = Parenthesised(value, depth);
    if (e == IirDescError::kNone) *value = f(*value);
    return e;
  }
  return defs_.Lookup(tok.text, value) ? IirDescError::kNone : IirDescError::kUndefinedName;
}

// What stops a well-formed expression from ending the line.
IirDescError TrailingError(Tok kind) {
  if (kind == Tok::kClose) return IirDescError::kParenthesis;
  return IirDescError::kBadToken;
}

bool IsDefined(const Definitions& defs, std::string_view name) {
  const int slot = CoefficientSlot(name);
  if (slot >= 0) return defs.slot_line[static_cast<std::size_t>(slot)] != 0;
  return defs.names.count(std::string(name)) != 0;
}

// One non-comment line: NAME = EXPRESSION.
IirDescError ReadDefinition(std::string_view line, int line_number, Definitions* defs) {
  LineLexer lex(line);
  if (lex.Peek().kind == Tok::kEquals) return IirDescError::kStartsWithEquals;
  if (lex.Peek().kind != Tok::kName) return IirDescError::kBadToken;
  const std::string_view name = lex.Peek().text;
  lex.Advance();
  if (lex.Peek().kind == Tok::kEnd) return IirDescError::kNothingAfter;
  if (lex.Peek().kind != Tok::kEquals) {
    return line.find('=') == std::string_view::npos ? IirDescError::kNoEquals : IirDescError::kBadToken;
  }
  lex.Advance();
  if (lex.Peek().kind == Tok::kEnd) return IirDescError::kNothingAfter;
  if (FindFunction(name) != nullptr) return IirDescError::kBadToken;
  if (IsDefined(*defs, name)) return IirDescError::kDefinedTwice;

  double value = 0.0;
  Evaluator eval(lex, *defs);
  const IirDescError e = eval.Expression(&value, 0);
  if (e != IirDescError::kNone) return e;
  if (lex.Peek().kind != Tok::kEnd) return TrailingError(lex.Peek().kind);

  const int slot = CoefficientSlot(name);
  if (slot >= 0) {
    defs->slot_value[static_cast<std::size_t>(slot)] = value;
    defs->slot_line[static_cast<std::size_t>(slot)] = line_number;
  } else {
    defs->names.emplace(std::string(name), value);
  }
  return IirDescError::kNone;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

IirDescResult ReadLines(std::string_view text, Definitions* defs) {
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    if (line.empty() || line.front() == '#') continue;
    const IirDescError e = ReadDefinition(line, line_number, defs);
    if (e != IirDescError::kNone) return {e, line_number};
  }
  return {};
}

// B0 (1 unless given) divides every coefficient; the order is the highest
// index with a nonzero coefficient.
IirDescResult Normalise(const Definitions& defs, IirCoefficients* out) {
  constexpr std::size_t kB0 = kIirMaxOrder + 1;
  const double b0 = defs.slot_line[kB0] != 0 ? defs.slot_value[kB0] : 1.0;
  if (b0 == 0.0) return {IirDescError::kB0IsZero, defs.slot_line[kB0]};
  if (!std::isfinite(b0)) return {IirDescError::kNotFinite, defs.slot_line[kB0]};
  IirCoefficients c;
  for (std::size_t k = 0; k <= kIirMaxOrder; ++k) {
    for (const std::size_t slot : {k, kB0 + k}) {
      const double v = defs.slot_value[slot] / b0;
      if (!std::isfinite(v)) return {IirDescError::kNotFinite, defs.slot_line[slot]};
      (slot < kB0 ? c.a : c.b)[k] = v;
      if (v != 0.0) c.order = static_cast<int>(k);
    }
  }
  c.b[0] = 1.0;
  if (c.order > kIirMaxOrder) return {IirDescError::kOrderAbove99, 0};
  *out = c;
  return {};
}

IirDescResult Parse(std::string_view text, double sample_rate, IirCoefficients* out) {
  if (text.size() > kIirMaxDescriptionBytes) return {IirDescError::kTooLong, 0};
  Definitions defs;
  defs.names.emplace("PI", std::numbers::pi);
  defs.names.emplace("EXP", std::numbers::e);
  defs.names.emplace("SR_HZ", sample_rate);
  const IirDescResult r = ReadLines(text, &defs);
  if (!r.ok()) return r;
  return Normalise(defs, out);
}

}  // namespace

IirDescResult ParseIirDescription(std::string_view text, double sample_rate, IirCoefficients* out) {
  IirDescResult result;
  if (TryAlloc([&] { result = Parse(text, sample_rate, out); })) return {IirDescError::kOutOfMemory, 0};
  return result;
}

IirDescResult DescriptionToLattice(std::string_view text, double sample_rate, NS_EFFECT::SLatticeIIR* out) {
  IirCoefficients c;
  if (const IirDescResult r = ParseIirDescription(text, sample_rate, &c); !r.ok()) return r;
  if (c.order > NS_EFFECT::SLatticeIIR::kMaxOrder) return {IirDescError::kOrderAbove99, 0};
  if (!DirectToLattice(c.a.data(), c.b.data(), c.order, out)) return {IirDescError::kUnstable, 0};
  return {};
}

int IirDescErrorText(IirDescError error) {
  const int n = static_cast<int>(error);
  if (n >= 1 && n <= 12) return n;
  switch (error) {
    case IirDescError::kB0IsZero: return 13;
    case IirDescError::kNotFinite: return 14;
    case IirDescError::kUnstable: return 15;
    default: return 0;
  }
}

}  // namespace tidemark::dsp
