// The two chunk containers the sound formats use, and reading the chunk
// table of a whole file of either.
#pragma once

#include <cstdint>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "platform/error.h"

namespace tidemark {

struct Container {
  std::uint32_t id = 0;       // "RIFF" or "FORM"
  bool big_endian = false;    // FORM sizes are big-endian
  std::uint32_t dead_id = 0;  // what a neutralised chunk is renamed to: "JUNK" or four spaces
};

inline constexpr Container kRiffContainer{FourCc("RIFF"), false, FourCc("JUNK")};
inline constexpr Container kFormContainer{FourCc("FORM"), true, FourCc("    ")};

// Lists the chunks of a whole file of `length` bytes: a RIFF must have the
// form type "WAVE", a FORM "AIFF" or "AIFC". Errors as ReadChunkTable.
[[nodiscard]] Error ReadFileChunkTable(RandomAccessInput& input, std::uint64_t length,
                                       const Container& container, ChunkTable* table);

// Writes `size` at offset 4 in the container's byte order. 9 on failure.
[[nodiscard]] Error WriteContainerSize(PosixFile& file, const Container& container, std::uint32_t size);

}  // namespace tidemark
