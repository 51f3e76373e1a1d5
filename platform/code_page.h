// Conversion between UTF-8 and a narrow code page, through glibc's iconv.
// Codeset names are iconv names ("CP932", "CP1252", "UTF-8", "EUC-JP").
// NarrowCodeset() and its setters live in platform/narrow_codeset.h.
#pragma once

#include <string>
#include <string_view>

#include "platform/narrow_codeset.h"

namespace tidemark {

// Narrow bytes to UTF-8. Each byte that does not start a valid character
// becomes U+FFFD. When iconv does not know `codeset`, ASCII bytes pass and every
// other byte becomes U+FFFD.
std::string NarrowToUtf8(std::string_view bytes, std::string_view codeset);
std::string NarrowToUtf8(std::string_view bytes);  // in NarrowCodeset()

// UTF-8 to narrow bytes. A character the code page cannot represent, and each
// invalid UTF-8 subpart, becomes '?'. When iconv does not know `codeset`, ASCII
// passes and everything else becomes '?'. A UTF-8 target gets the input with
// invalid subparts replaced by U+FFFD.
std::string Utf8ToNarrow(std::string_view utf8, std::string_view codeset);
std::string Utf8ToNarrow(std::string_view utf8);  // in NarrowCodeset()

// Whether iconv can convert between `codeset` and UTF-8.
bool IsCodesetSupported(std::string_view codeset);

// Whether `byte` starts a two-byte character in `codeset`: the lead-byte ranges
// of CP932 (0x81-0x9F, 0xE0-0xFC) and of CP936, CP949, CP950 (0x81-0xFE),
// under their common aliases too. False for every other codeset.
bool IsDoubleByteLead(std::string_view codeset, unsigned char byte);

}  // namespace tidemark
