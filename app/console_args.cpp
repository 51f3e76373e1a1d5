#include "app/console_args.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace tidemark::console {

std::optional<std::vector<std::string>> SplitArguments(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
        word += line[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '"') quoted = true;
    else word += c;
  }
  if (quoted) return std::nullopt;
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::optional<double> ParseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // from_chars takes "inf" and "nan" and no leading '+'; allow only digits,
  // one sign in front, a point and an exponent.
  std::size_t start = text[0] == '+' ? 1 : 0;
  if (start == 1 && text.size() > 1 && text[1] == '-') return std::nullopt;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    const bool ok = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' ||
                    ((c == '-' || c == '+') && (i == 0 || text[i - 1] == 'e' || text[i - 1] == 'E'));
    if (!ok) return std::nullopt;
  }
  double value = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t max) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = std::uint64_t(c - '0');
    if (digit > max || value > (max - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<Position> ParsePosition(std::string_view text, std::uint32_t rate) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 40;  // far beyond any length, far below overflow
  if (!text.empty() && (text.back() == 'f' || text.back() == 'F')) {
    std::string_view digits = text.substr(0, text.size() - 1);
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative || (!digits.empty() && digits[0] == '+')) digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = std::min<std::int64_t>(value * 10 + (c - '0'), kLimit);
    }
    return Position{negative ? -value : value, negative && value != 0};
  }
  const std::optional<double> seconds = ParseNumber(text);
  if (!seconds) return std::nullopt;
  const double frames = std::floor(*seconds * double(rate) + 0.5);
  const double limited = std::clamp(frames, -double(kLimit), double(kLimit));
  return Position{static_cast<std::int64_t>(limited), *seconds < 0};
}

std::uint32_t ClampPosition(const Position& position, std::uint32_t length) {
  if (position.negative || position.frame <= 0) return 0;
  return position.frame >= std::int64_t{length} ? length : static_cast<std::uint32_t>(position.frame);
}

std::optional<float> ParseDecibels(std::string_view text) {
  if (text == "-inf" || text == "-Inf" || text == "-INF") return 0.0f;
  const std::optional<double> db = ParseNumber(text);
  if (!db) return std::nullopt;
  const double factor = std::pow(10.0, *db / 20.0);
  if (!std::isfinite(factor) || factor > double(std::numeric_limits<float>::max())) return std::nullopt;
  return static_cast<float>(factor);
}

std::optional<ParsedSampleType> ParseFormatWord(std::string_view text) {
  if (text.empty()) return std::nullopt;
  return ParseSampleTypeText(text);
}

}  // namespace tidemark::console
