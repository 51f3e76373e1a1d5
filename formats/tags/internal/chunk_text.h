// Texts stored in chunk bodies in the narrow text code page: reading a body
// as a text, and the stored form of a UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"

namespace tidemark {

// The body of `chunk` up to its first zero byte (the whole body when it
// has none), as stored. Read in pieces, so a huge body of zeros costs no
// memory. 8 when a read fails or comes up short.
[[nodiscard]] Error ReadChunkText(RandomAccessInput& input, const ChunkEntry& chunk, std::string* text);

// `utf8` in the narrow code page, cut at its first zero byte: readers stop
// there, so nothing after one could be read back.
std::string StoredNarrowText(std::string_view utf8);

}  // namespace tidemark
