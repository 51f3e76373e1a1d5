#include "formats/aiff_au/internal/iff_numbers.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace tidemark {
namespace {

using Extended = std::array<std::uint8_t, kExtended80Bytes>;

Extended Write(std::uint32_t n) {
  Extended out;
  out.fill(0xCC);
  WriteExtended80(out.data(), n);
  return out;
}

#if defined(__x86_64__) || defined(__i386__)
// The x87 extended type of the compiler, stored big-endian: an oracle that
// shares no code with the conversions under test.
Extended FromLongDouble(long double value) {
  static_assert(LDBL_MANT_DIG == 64);
  std::uint8_t raw[sizeof(long double)] = {};
  std::memcpy(raw, &value, sizeof value);
  Extended out;
  out[0] = raw[9];
  out[1] = raw[8];
  for (int i = 0; i < 8; ++i) out[2 + i] = raw[7 - i];
  return out;
}
#endif

TEST(IffNumbers, ExtendedFromInteger) {
  EXPECT_EQ(Write(44100), (Extended{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Write(0), Extended{});
  EXPECT_EQ(Write(1), (Extended{0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Write(0xFFFFFFFFu), (Extended{0x40, 0x1E, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
#if defined(__x86_64__) || defined(__i386__)
  for (const std::uint32_t n : {1u, 2u, 3u, 4000u, 8000u, 11025u, 22050u, 32000u, 48000u, 88200u, 96000u, 176400u,
                                192000u, 384000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x12345679u})
    EXPECT_EQ(Write(n), FromLongDouble(static_cast<long double>(n))) << n;
#endif
}

TEST(IffNumbers, IntegerFromExtended) {
  for (const std::uint32_t n : {1u, 2u, 3u, 8000u, 44100u, 384000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
    EXPECT_EQ(ReadExtended80(Write(n).data()), n) << n;
  EXPECT_EQ(ReadExtended80(Extended{}.data()), 0u);
#if defined(__x86_64__) || defined(__i386__)
  // Fractions round half up.
  EXPECT_EQ(ReadExtended80(FromLongDouble(22049.5L).data()), 22050u);
  EXPECT_EQ(ReadExtended80(FromLongDouble(22050.5L).data()), 22051u);
  EXPECT_EQ(ReadExtended80(FromLongDouble(22050.49L).data()), 22050u);
  EXPECT_EQ(ReadExtended80(FromLongDouble(11025.75L).data()), 11026u);
  EXPECT_EQ(ReadExtended80(FromLongDouble(1.5L).data()), 2u);
#endif
  // Only the low five bits of the shift count matter: 32 more in the
  // exponent, or the sign bit, reads as the same number.
  Extended rate = Write(44100);
  rate[1] = static_cast<std::uint8_t>(rate[1] + 32);
  EXPECT_EQ(ReadExtended80(rate.data()), 44100u);
  rate = Write(44100);
  rate[0] |= 0x80;
  EXPECT_EQ(ReadExtended80(rate.data()), 44100u);
  // Infinity, NaN and exponents far out of range give some number, no fault.
  // 0x7FFF and 0xFFFF: a shift of (16414 - exponent) mod 32 = 31 keeps the
  // top mantissa bit and rounds with the next one.
  EXPECT_EQ(ReadExtended80(Extended{0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}.data()), 1u);
  EXPECT_EQ(ReadExtended80(Extended{0x7F, 0xFF, 0xC0, 0, 0, 0, 1, 0, 0, 0}.data()), 2u);
  EXPECT_EQ(ReadExtended80(Extended{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}.data()), 2u);
}

TEST(IffNumbers, PascalStrings) {
  std::uint8_t buffer[300];
  const auto write = [&](const std::string& text) {
    std::memset(buffer, 0xCC, sizeof buffer);
    const std::size_t total = WritePascalString(buffer, text);
    EXPECT_EQ(buffer[total], 0xCC) << "wrote past its total";
    return total;
  };
  // The count byte, the text cut at 255 bytes, and a pad byte to an even total.
  for (const auto& [text, total, last] : std::initializer_list<std::tuple<std::string, std::size_t, std::uint8_t>>{
           {"", 2, 0}, {"a", 2, 'a'}, {"ab", 4, 0}, {std::string(254, 'x'), 256, 0}, {std::string(255, 'y'), 256, 'y'},
           {std::string(255, 'z') + "TAIL", 256, 'z'}}) {
    ASSERT_EQ(write(text), total) << text.size();
    EXPECT_EQ(buffer[0], std::min<std::size_t>(text.size(), 255)) << text.size();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer) + 1, buffer[0]), text.substr(0, 255));
    EXPECT_EQ(buffer[total - 1], last) << text.size();
  }
}

}  // namespace
}  // namespace tidemark
