// The strings inside ID3v2 frame bodies. The first byte of a text-bearing
// frame names the encoding of its strings: 0 single-byte text in the narrow
// code page (so is any value above 3), 1 and 2 UTF-16 (a leading byte-order
// mark decides the byte order; without one, 1 is little- and 2 big-endian),
// 3 UTF-8. A string ends at its terminator (one zero byte, or a zero code
// unit in UTF-16) or at the end of the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tidemark {

// Decodes the string that starts at `*pos` of `body` (nothing when `*pos`
// is at or past the end) to UTF-8 and moves `*pos` past its terminator, or
// to the end when it has none. Invalid UTF-16 and UTF-8 become U+FFFD; the
// odd last byte of an unterminated UTF-16 string is dropped. `terminated`,
// when given, tells whether a terminator was found. May throw
// std::bad_alloc.
std::string ReadId3String(std::span<const std::uint8_t> body, std::size_t* pos, std::uint8_t encoding,
                          bool* terminated = nullptr);

}  // namespace tidemark
