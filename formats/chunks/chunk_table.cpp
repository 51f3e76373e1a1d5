#include "formats/chunks/internal/chunk_table.h"

#include "formats/chunks/byte_order.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kMaxOffset = 0xFFFFFFFFu;
// Room for the chunks of a typical file before the table first grows.
constexpr std::size_t kInitialTableRoom = 32;

std::uint32_t LoadSize(const std::uint8_t* p, bool big_endian) { return big_endian ? LoadBe32(p) : LoadLe32(p); }

}  // namespace

Error ReadChunkTable(RandomAccessInput& input, std::uint32_t start, std::uint32_t length,
                     std::uint32_t container_id, std::uint32_t form_type, bool big_endian,
                     ChunkTable* table) {
  table->clear();
  if (std::uint64_t{start} + length >= kMaxOffset) return err::kMalformed;
  if (length < 12) return err::kMalformed;

  std::uint8_t header[12];
  if (const Error rc = input.ReadExact(header, sizeof header, start)) return rc;
  if (LoadLe32(header) != container_id) return err::kMalformed;
  const std::uint32_t size = LoadSize(header + 4, big_endian);
  if (size < 4) return err::kMalformed;
  const std::uint64_t declared = std::uint64_t{size} + 8;  // cannot overflow 64 bits
  if (declared > length) return err::kMalformed;
  if (form_type != 0 && LoadLe32(header + 8) != form_type) return err::kMalformed;

  ChunkTable found;
  const Error scanned = TryAlloc([&] {
    found.reserve(kInitialTableRoom);
    const std::uint64_t end = start + declared;
    // A container of many tiny chunks is read a window at a time.
    WindowedReader headers(input, end);
    for (std::uint64_t at = std::uint64_t{start} + 12; at + 8 <= end;) {
      std::uint8_t chunk[8];
      if (const Error rc = headers.ReadExact(chunk, sizeof chunk, at)) return rc;
      ChunkEntry entry;
      entry.id = LoadLe32(chunk);
      entry.size = LoadSize(chunk + 4, big_endian);
      entry.offset = static_cast<std::uint32_t>(at);
      // The body must lie inside the container. Its pad byte may be missing
      // after the last chunk: some writers (sox among them) leave it out of
      // the container size, and such files are common.
      if (at + 8 + entry.size > end) return err::kMalformed;
      if (entry.id == FourCc("LIST")) {
        if (entry.size < 4) return err::kMalformed;
        std::uint8_t type[4];
        if (const Error rc = headers.ReadExact(type, sizeof type, at + 8)) return rc;
        entry.list_type = LoadLe32(type);
      }
      // Geometric growth: adding a fixed step each time would copy the
      // table once per step, quadratic in the chunk count of a file made of
      // millions of empty chunks.
      found.push_back(entry);
      at += 8 + PaddedSize(entry.size);
    }
    found.shrink_to_fit();
    return err::kOk;
  });
  if (scanned) return scanned;
  *table = std::move(found);
  return err::kOk;
}

std::uint32_t EndOfLastChunk(const ChunkTable& table) {
  if (table.empty()) return 12;
  return static_cast<std::uint32_t>(ChunkEnd(table.back()));
}

bool ChunkFollows(const ChunkTable& table, const ChunkEntry& chunk) {
  for (const ChunkEntry& c : table)
    if (c.offset > chunk.offset) return true;
  return false;
}

const ChunkEntry* FindChunk(const ChunkTable& table, std::uint32_t id, std::uint32_t list_type) {
  for (const ChunkEntry& c : table)
    if (c.id == id && (list_type == 0 || c.list_type == list_type)) return &c;
  return nullptr;
}

}  // namespace tidemark
