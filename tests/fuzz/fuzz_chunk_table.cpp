// Arbitrary bytes read as a chunk file of either byte order, with the
// sub-table of every "LIST" found: the reader must stay inside its input
// (the sanitizers watch) and every table it accepts must be consistent.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/aiff_au/internal/iff_numbers.h"

using namespace tidemark;

namespace {

// Chunks in file order, each starting an even distance from the container,
// each body ending inside the container's declared end (the last pad byte
// may lie past it).
void CheckTable(const ChunkTable& table, std::uint32_t start, std::uint64_t declared_end) {
  std::uint64_t next = std::uint64_t{start} + 12;
  for (const ChunkEntry& chunk : table) {
    if (chunk.offset != next) std::abort();
    if (std::uint64_t{chunk.offset} + 8 + chunk.size > declared_end) std::abort();
    if (chunk.id != FourCc("LIST") && chunk.list_type != 0) std::abort();
    next = ChunkEnd(chunk);
  }
}

std::uint64_t DeclaredEnd(std::span<const std::uint8_t> bytes, std::uint32_t start, bool big_endian) {
  const std::uint8_t* p = bytes.data() + start + 4;
  return std::uint64_t{start} + 8 + (big_endian ? LoadBe32(p) : LoadLe32(p));
}

void ReadWithLists(std::span<const std::uint8_t> bytes, std::uint32_t container_id, bool big_endian) {
  MemoryInput input(bytes);
  const auto length = static_cast<std::uint32_t>(bytes.size());
  ChunkTable table;
  if (ReadChunkTable(input, 0, length, container_id, 0, big_endian, &table) != 0) {
    if (!table.empty()) std::abort();
    return;
  }
  CheckTable(table, 0, DeclaredEnd(bytes, 0, big_endian));
  // Only a missing last pad byte may put the append point past the input.
  if (EndOfLastChunk(table) > std::uint64_t{length} + 1) std::abort();
  for (const ChunkEntry& chunk : table) {
    if (chunk.id != FourCc("LIST")) continue;
    ChunkTable inner;
    if (ReadChunkTable(input, chunk.offset, chunk.size + 8, FourCc("LIST"), chunk.list_type, big_endian, &inner) != 0)
      continue;
    CheckTable(inner, chunk.offset, DeclaredEnd(bytes, chunk.offset, big_endian));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= 0xFFFFFFFFu) return 0;
  const std::span<const std::uint8_t> bytes(data, size);
  // The container id is taken from the input, so every input gets past the
  // first check; the whole-file readers check "RIFF" and "FORM" themselves.
  const std::uint32_t id = size >= 4 ? LoadLe32(data) : FourCc("RIFF");
  ReadWithLists(bytes, id, false);
  ReadWithLists(bytes, id, true);

  MemoryInput input(bytes);
  ChunkTable table;
  for (const Container& container : {kRiffContainer, kFormContainer}) {
    if (ReadFileChunkTable(input, size, container, &table) == 0)
      CheckTable(table, 0, DeclaredEnd(bytes, 0, container.big_endian));
  }
  // A sample rate read from wherever "COMM" puts it.
  if (size >= kExtended80Bytes) (void)ReadExtended80(data + size - kExtended80Bytes);
  return 0;
}
