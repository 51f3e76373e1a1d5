// Cutting a text in the narrow code page to a byte limit without splitting
// a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tidemark {

// How many bytes of `text` (in `codeset`) to keep so that at most `limit`
// remain. In a double-byte code page the cut moves one byte earlier when
// the byte before it ends a run of an odd number of lead bytes (it would
// split a pair); in UTF-8 (and the C locale, which counts as UTF-8) the cut
// moves back to a character boundary. Other code pages cut at `limit`
// exactly.
std::size_t NarrowCutLength(std::string_view text, std::size_t limit, std::string_view codeset);

// `utf8` converted to `codeset` and cut to at most `limit` bytes as above.
std::string NarrowPrefix(std::string_view utf8, std::size_t limit, std::string_view codeset);

}  // namespace tidemark
