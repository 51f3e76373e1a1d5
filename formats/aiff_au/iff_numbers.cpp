#include "formats/aiff_au/internal/iff_numbers.h"

#include <algorithm>
#include <cstring>

#include "core/io/chunk_padding.h"
#include "formats/chunks/byte_order.h"

namespace tidemark {

std::size_t WritePascalString(std::uint8_t* buffer, std::string_view text) {
  const std::size_t count = std::min(text.size(), kMaxPascalText);
  buffer[0] = static_cast<std::uint8_t>(count);
  if (count) std::memcpy(buffer + 1, text.data(), count);
  const std::size_t total = PaddedSize(count + 1);
  if (total > count + 1) buffer[count + 1] = 0;
  return total;
}

void WriteExtended80(std::uint8_t* out, std::uint32_t n) {
  std::memset(out, 0, kExtended80Bytes);
  if (n == 0) return;
  std::uint16_t shifts = 0;
  while (!(n & 0x80000000u)) {
    n <<= 1;
    ++shifts;
  }
  StoreBe16(out, static_cast<std::uint16_t>(16414 - shifts));
  StoreBe32(out + 2, n);
}

std::uint32_t ReadExtended80(const std::uint8_t* in) {
  const std::uint32_t exponent = LoadBe16(in);
  const std::uint32_t mantissa = LoadBe32(in + 2);
  // 31 - (exponent - 16383), taken modulo 32 in unsigned arithmetic: the
  // sign bit (0x8000) and any exponent far out of range only change the
  // bits above the low five.
  const std::uint32_t shift = (31u + 16383u - exponent) & 31u;
  if (shift == 0) return mantissa;
  return (mantissa >> shift) + ((mantissa >> (shift - 1)) & 1u);
}

}  // namespace tidemark
