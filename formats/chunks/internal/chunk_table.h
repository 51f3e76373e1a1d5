// The chunks directly inside a RIFF, FORM or LIST container, in file order,
// and the one rule for where a chunk ends.
//
// Every chunk is id (4 bytes), size (4 bytes, in the container's byte order),
// body, and a pad byte after an odd body, so every chunk starts at an even
// offset. Offsets are 32-bit: a file of 0xFFFFFFFF bytes or more is never
// parsed as a chunk file.
#pragma once

#include <cstdint>
#include <vector>

#include "core/io/chunk_padding.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"

namespace tidemark {

struct ChunkEntry {
  std::uint32_t id = 0;         // the identifier bytes as stored (FourCc)
  std::uint32_t size = 0;       // body bytes, in host order
  std::uint32_t list_type = 0;  // the four bytes after the header of a "LIST", else 0
  std::uint32_t offset = 0;     // absolute offset of the chunk header
};

using ChunkTable = std::vector<ChunkEntry>;

// Where a chunk of `size` body bytes starting at `offset` ends, pad byte
// included, computed in 64 bits so callers can check it against the 32-bit
// limit.
constexpr std::uint64_t ChunkEnd(std::uint64_t offset, std::uint32_t size) {
  return PaddedSize(offset + 8 + size);
}
inline std::uint64_t ChunkEnd(const ChunkEntry& chunk) { return ChunkEnd(chunk.offset, chunk.size); }

// Reads the header of the container at `start` (its id must be
// `container_id`, and bytes 8-11 `form_type` unless that is 0) and lists the
// chunks inside its declared size. `length` is how many bytes from `start`
// the container may occupy (the file length for a whole file; size + 8 for
// a "LIST"). Bytes after the declared end are ignored.
//
// 14 when start + length passes 0xFFFFFFFE, length < 12, the id or form type
// differs, the declared size is below 4 or claims more than `length`, a
// chunk's body ends past the container's end (only the last chunk's pad
// byte may lie beyond it), or a "LIST" has a body below 4;
// 8 when a read comes up short or fails; 2 when memory runs out.
[[nodiscard]] Error ReadChunkTable(RandomAccessInput& input, std::uint32_t start, std::uint32_t length,
                                   std::uint32_t container_id, std::uint32_t form_type, bool big_endian,
                                   ChunkTable* table);

// The append point after the last chunk: its end, or 12 for an empty table.
std::uint32_t EndOfLastChunk(const ChunkTable& table);

// Whether any chunk of the table starts after `chunk`: then the bytes past
// its end are not the end of the file's sound data.
bool ChunkFollows(const ChunkTable& table, const ChunkEntry& chunk);

// The first chunk with `id` (and, when `list_type` is not 0, that list
// type); null when there is none.
const ChunkEntry* FindChunk(const ChunkTable& table, std::uint32_t id, std::uint32_t list_type = 0);

}  // namespace tidemark
