// Tag sets in AIFF and AIFC files: the text chunks "NAME" (Name), "AUTH"
// (Artist), "(c) " (Copyright) and "ANNO" (Comments), each body a text
// without terminator in the narrow text code page. The other slots have no
// place in these files.
#pragma once

#include <cstdint>
#include <string>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Reads the four texts of the FORM/AIFF or FORM/AIFC input of `length`
// bytes: the first chunk of each id gives its slot, its body taken up to a
// zero byte and converted from the narrow code page. 14 for a malformed
// file, 8, 2 (`tags` is then empty).
[[nodiscard]] Error ReadAiffTexts(RandomAccessInput& input, std::uint64_t length, TagSet* tags);


// Appends "NAME", "AUTH", "(c) " and "ANNO" for those of the four slots
// that are not empty, in that order (size = stored text length, a pad byte
// after an odd one), after the last chunk of the open FORM file of `length`
// bytes, and rewrites the FORM size. Old text chunks are not removed (see
// StripMetadata); nothing is written when all four are empty. Errors as
// AppendChunks.
[[nodiscard]] Error AppendAiffTexts(PosixFile& file, std::uint64_t length, const TagSet& tags);

}  // namespace tidemark
