#include "config/dialog_values.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "config/ini_values.h"

namespace tidemark {
namespace {

std::size_t TypeSize(char type) {
  switch (type) {
    case 'b':
    case 'c':
      return 1;
    case 's':
    case 'w':
      return 2;
    case 'i':
    case 'f':
      return 4;
    case 'd':
      return 8;
    default:
      return 0;
  }
}

// Offsets of every value; false for an invalid type string.
bool Layout(std::string_view types, std::vector<std::size_t>* offsets, std::size_t* size) {
  if (types.empty()) return false;
  std::size_t pos = 0, max_align = 1;
  offsets->clear();
  for (char t : types) {
    const std::size_t n = TypeSize(t);
    if (n == 0) return false;
    pos = (pos + n - 1) / n * n;
    offsets->push_back(pos);
    pos += n;
    max_align = std::max(max_align, n);
  }
  *size = (pos + max_align - 1) / max_align * max_align;
  return true;
}

template <typename T>
void Store(std::byte* where, T value) {
  std::memcpy(where, &value, sizeof value);
}

template <typename T>
T Load(const std::byte* where) {
  T value;
  std::memcpy(&value, where, sizeof value);
  return value;
}

bool ParseRanged(std::string_view text, std::int32_t lo, std::int32_t hi, std::int32_t* v) {
  return ParseDecimal(text, v) && *v >= lo && *v <= hi;
}

template <typename F>
bool ParseFloating(std::string_view text, F* value) {
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseOne(char type, std::string_view text, std::byte* where) {
  std::int32_t v = 0;
  switch (type) {
    case 'b':
      if (!ParseRanged(text, 0, 1, &v)) return false;
      Store<std::uint8_t>(where, static_cast<std::uint8_t>(v));
      return true;
    case 'c':
      if (!ParseRanged(text, INT8_MIN, INT8_MAX, &v)) return false;
      Store<std::int8_t>(where, static_cast<std::int8_t>(v));
      return true;
    case 's':
      if (!ParseRanged(text, INT16_MIN, INT16_MAX, &v)) return false;
      Store<std::int16_t>(where, static_cast<std::int16_t>(v));
      return true;
    case 'w':
      if (!ParseRanged(text, 0, UINT16_MAX, &v)) return false;
      Store<std::uint16_t>(where, static_cast<std::uint16_t>(v));
      return true;
    case 'i':
      if (!ParseDecimal(text, &v)) return false;
      Store<std::int32_t>(where, v);
      return true;
    case 'f': {
      float f = 0;
      if (!ParseFloating(text, &f)) return false;
      Store(where, f);
      return true;
    }
    case 'd': {
      double d = 0;
      if (!ParseFloating(text, &d)) return false;
      Store(where, d);
      return true;
    }
    default:
      return false;
  }
}

std::string FormatOne(char type, const std::byte* where) {
  char buffer[64];
  switch (type) {
    case 'b':
      return Load<std::uint8_t>(where) ? "1" : "0";
    case 'c':
      return std::to_string(Load<std::int8_t>(where));
    case 's':
      return std::to_string(Load<std::int16_t>(where));
    case 'w':
      return std::to_string(Load<std::uint16_t>(where));
    case 'i':
      return std::to_string(Load<std::int32_t>(where));
    case 'f':
      std::snprintf(buffer, sizeof buffer, "%e", static_cast<double>(Load<float>(where)));
      return buffer;
    case 'd':
      std::snprintf(buffer, sizeof buffer, "%.14e", Load<double>(where));
      return buffer;
    default:
      return {};
  }
}

}  // namespace

std::size_t DialogLayoutSize(std::string_view types) {
  std::vector<std::size_t> offsets;
  std::size_t size = 0;
  return Layout(types, &offsets, &size) ? size : 0;
}

std::string FormatDialogValues(std::string_view types, std::span<const std::byte> data) {
  std::vector<std::size_t> offsets;
  std::size_t size = 0;
  if (!Layout(types, &offsets, &size) || data.size() < size) return {};
  std::string out;
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (i) out.push_back(',');
    out += FormatOne(types[i], data.data() + offsets[i]);
  }
  return out;
}

bool ParseDialogValues(std::string_view types, std::string_view text, std::span<std::byte> data) {
  std::vector<std::size_t> offsets;
  std::size_t size = 0;
  if (!Layout(types, &offsets, &size) || data.size() < size) return false;
  std::vector<std::byte> result(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
  for (std::size_t i = 0; i < types.size(); ++i) {
    const std::size_t comma = text.find(',');
    if (i + 1 < types.size() && comma == std::string_view::npos) return false;
    if (!ParseOne(types[i], TrimSpacesAndTabs(text.substr(0, comma)), result.data() + offsets[i]))
      return false;
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  std::copy(result.begin(), result.end(), data.begin());
  return true;
}

}  // namespace tidemark
