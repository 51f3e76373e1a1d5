#include "config/ini_blob.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace tidemark {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kMaxRun = 128;
constexpr std::size_t kMinBlobText = 4;
constexpr std::size_t kMaxBlobText = 514;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string PackBlob(std::span<const std::byte> bytes) {
  std::vector<std::uint8_t> packed;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const bool zero = bytes[i] == std::byte{0};
    std::size_t n = 1;
    while (i + n < bytes.size() && n < kMaxRun && (bytes[i + n] == std::byte{0}) == zero) ++n;
    if (zero) {
      packed.push_back(static_cast<std::uint8_t>(n - 1));
    } else {
      packed.push_back(static_cast<std::uint8_t>(0x80 | (n - 1)));
      for (std::size_t k = 0; k < n; ++k) packed.push_back(std::to_integer<std::uint8_t>(bytes[i + k]));
    }
    i += n;
  }
  std::uint8_t sum = 0;
  for (std::uint8_t b : packed) sum = static_cast<std::uint8_t>(sum + b);
  packed.push_back(sum);

  std::string text;
  text.reserve(packed.size() * 2);
  for (std::uint8_t b : packed) {
    text.push_back(kHexDigits[b >> 4]);
    text.push_back(kHexDigits[b & 15]);
  }
  return text;
}

bool UnpackBlob(std::string_view text, std::span<std::byte> out) {
  if (text.size() % 2 != 0 || text.size() < kMinBlobText || text.size() > kMaxBlobText)
    return false;
  std::array<std::uint8_t, kMaxBlobText / 2> packed{};
  const std::size_t count = text.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    const int hi = HexValue(text[2 * i]), lo = HexValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    packed[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < count; ++i) sum = static_cast<std::uint8_t>(sum + packed[i]);
  if (sum != packed[count - 1]) return false;

  std::vector<std::byte> result(out.size());
  std::size_t pos = 0, filled = 0;
  const std::size_t data_end = count - 1;
  while (pos < data_end) {
    const std::uint8_t control = packed[pos++];
    const std::size_t n = (control & 0x7F) + 1u;
    if (filled + n > result.size()) return false;
    if (control & 0x80) {
      if (pos + n > data_end) return false;
      for (std::size_t k = 0; k < n; ++k) result[filled + k] = std::byte{packed[pos + k]};
      pos += n;
    }
    // A zero run leaves the bytes at zero.
    filled += n;
  }
  if (filled != result.size()) return false;
  std::copy(result.begin(), result.end(), out.begin());
  return true;
}

}  // namespace tidemark
