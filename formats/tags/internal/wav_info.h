// Tag sets in WAV files: the "LIST" chunk of type "INFO", one sub-chunk per
// slot ("INAM", "IART", ... in kInfoIds), each a zero-terminated text in the
// narrow text code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Reads the tags of the RIFF/WAVE input of `length` bytes from its first
// INFO list: every sub-chunk with one of the nineteen ids fills its slot
// when that slot is still empty, so the first non-empty occurrence wins.
// A body is taken up to its first zero byte and converted from the narrow
// code page. The sub-chunks are listed by ReadListChunks, so odd-sized ones
// without their pad byte are read too. No INFO list gives an empty set. 14
// for a malformed file or list, 8, 2 (`tags` is then empty).
[[nodiscard]] Error ReadInfoList(RandomAccessInput& input, std::uint64_t length, TagSet* tags);


// The body of the INFO list for `tags` ("INFO", then a sub-chunk for every
// non-empty slot in slot order: size = stored text length + 1, the text, a
// zero byte, and a pad byte when the size is odd). Empty when the set is
// empty. Texts are stored in the narrow code page, cut at a zero character.
// 20 when the list would not fit a 32-bit size, 2.
[[nodiscard]] Error BuildInfoListBody(const TagSet& tags, std::vector<std::uint8_t>* body);

// Appends the INFO list for `tags` after the last chunk of the open
// RIFF/WAVE file of `length` bytes and rewrites the RIFF size; old lists
// are not removed (see StripMetadata). An empty set writes nothing. 14 for a
// malformed file, 20 when the file would pass 4 GiB (nothing written), 10,
// 9 (the RIFF size is then left as it was), 8, 2.
[[nodiscard]] Error AppendInfoList(PosixFile& file, std::uint64_t length, const TagSet& tags);

}  // namespace tidemark
