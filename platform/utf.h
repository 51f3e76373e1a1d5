// Conversion between UTF-8 (the in-memory text form) and UTF-16 (the form of
// file fields and of every length counted in UTF-16 code units).
//
// Invalid input never fails: each maximal invalid subpart of UTF-8 (overlong
// forms, encoded surrogates, values above U+10FFFF, truncated or stray bytes)
// and each lone surrogate of UTF-16 becomes one U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tidemark {

inline constexpr char32_t kReplacementChar = 0xFFFD;

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Number of UTF-16 code units Utf8ToUtf16(utf8) would produce (a character
// outside the BMP counts 2).
std::size_t Utf16Length(std::string_view utf8);

// The longest prefix of `utf8` whose UTF-16 length is at most `max_units`,
// never splitting a character or an invalid subpart.
std::string_view TruncateUtf8ToUtf16Units(std::string_view utf8, std::size_t max_units);

// Decodes the character (or invalid subpart, as U+FFFD) at `*pos` and moves
// `*pos` past it. `*pos` must be below utf8.size().
char32_t DecodeUtf8Step(std::string_view utf8, std::size_t* pos);

// Appends the UTF-8 form of `cp` (a surrogate or a value above U+10FFFF
// appends U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace tidemark
