#include "config/ini_values.h"

#include <algorithm>
#include <cstdio>

namespace tidemark {

bool ParseDecimal(std::string_view text, std::int32_t* value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  std::int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > std::int64_t{1} << 31) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  *value = static_cast<std::int32_t>(v);
  return true;
}

bool ParseHex(std::string_view text, std::uint32_t* value) {
  if (text.empty()) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    v = v * 16 + static_cast<unsigned>(digit);
    if (v > UINT32_MAX) return false;
  }
  *value = static_cast<std::uint32_t>(v);
  return true;
}

bool ParseDecimalList(std::string_view text, std::span<std::int32_t> values) {
  std::vector<std::int32_t> parsed;
  parsed.reserve(values.size());
  while (parsed.size() < values.size()) {
    const std::size_t comma = text.find(',');
    std::int32_t v = 0;
    if (!ParseDecimal(TrimSpacesAndTabs(text.substr(0, comma)), &v)) return false;
    parsed.push_back(v);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (parsed.size() < values.size()) return false;
  std::copy(parsed.begin(), parsed.end(), values.begin());
  return true;
}

std::vector<std::string> SplitList(std::string_view text, char separator, std::size_t max_items) {
  std::vector<std::string> items;
  while (items.size() < max_items) {
    const std::size_t sep = text.find(separator);
    const std::string_view item = TrimSpacesAndTabs(text.substr(0, sep));
    if (!item.empty()) items.emplace_back(item);
    if (sep == std::string_view::npos) break;
    text.remove_prefix(sep + 1);
  }
  return items;
}

std::string JoinList(std::span<const std::string> items, char separator) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out.push_back(separator);
    out += items[i];
  }
  return out;
}

std::string JoinDecimalList(std::span<const std::int32_t> values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out.push_back(',');
    out += std::to_string(values[i]);
  }
  return out;
}

std::string FormatHex(std::uint32_t value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*x", width, static_cast<unsigned>(value));
  return buffer;
}

std::string_view TrimSpacesAndTabs(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace tidemark
