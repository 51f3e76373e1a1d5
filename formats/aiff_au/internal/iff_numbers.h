// The number and text encodings of IFF chunks: the 80-bit extended float
// that holds an AIFF sample rate, and the count-prefixed, even-padded text
// of AIFF text chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tidemark {

inline constexpr std::size_t kExtended80Bytes = 10;
// The longest text a Pascal string holds; the writer needs this + 1 bytes.
inline constexpr std::size_t kMaxPascalText = 255;

// Writes a count byte (the text length, at most 255; a longer text is cut to
// its first 255 bytes), the text and a zero pad byte when count + 1 is odd.
// Returns the bytes written, always even. `buffer` holds 256 bytes or more.
std::size_t WritePascalString(std::uint8_t* buffer, std::string_view text);

// Writes `n` as a big-endian 80-bit extended number into `out` (10 bytes):
// zero gives ten zero bytes; otherwise `n` is shifted left until bit 31 is
// set, the exponent is 16414 minus the shifts and the mantissa's top 32 bits
// are the shifted value. 44100 gives 40 0E AC 44 00 00 00 00 00 00.
void WriteExtended80(std::uint8_t* out, std::uint32_t n);

// The integer an 80-bit extended number (10 bytes at `in`) stands for: the
// mantissa's top 32 bits shifted right by 31 - (exponent - 16383), rounded
// half up. Only the low 5 bits of the shift count are used, so every input,
// NaN and infinity included, gives some number.
std::uint32_t ReadExtended80(const std::uint8_t* in);

}  // namespace tidemark
