#include "formats/one_bit/internal/iff8_chunks.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "core/io/chunk_padding.h"
#include "formats/chunks/byte_order.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint64_t kContainerHeaderBytes = 16;
constexpr std::size_t kInitialRoom = 32;

std::atomic<std::uint64_t> table_growths{0};

void Append(std::vector<Iff8Entry>& entries, const Iff8Entry& entry) {
  if (entries.size() == entries.capacity()) {
    // Doubling: adding a fixed step would copy the table once per step,
    // quadratic in the chunk count of a file of many empty chunks. The last
    // step leaves room for exactly the largest table and its end entry.
    entries.reserve(std::min(std::max(entries.capacity() * 2, kInitialRoom), kIff8MaxChunks + 1));
    table_growths.fetch_add(1, std::memory_order_relaxed);
  }
  entries.push_back(entry);
}

}  // namespace

std::uint64_t Iff8TableGrowths() { return table_growths.load(std::memory_order_relaxed); }

const Iff8Entry* Iff8Table::Find(std::uint32_t id, std::uint32_t type) const {
  for (const Iff8Entry& entry : entries())
    if (entry.id == id && (type == 0 || entry.type == type)) return &entry;
  return nullptr;
}

CIff8::~CIff8() = default;

bool CIff8::IsContainerChunk(std::uint32_t id) const { return id == FourCc("LIST"); }

Error CIff8::ReadContainer(RandomAccessInput& input, std::uint64_t start, std::uint64_t length,
                           std::uint32_t container_id, std::uint32_t form_type, Iff8Table* table) {
  table->clear();
  if (PaddedSize(start) != start) return err::kSizeLimit;
  if (length < kContainerHeaderBytes || length > std::numeric_limits<std::uint64_t>::max() - start)
    return err::kMalformed;
  std::uint8_t h[kContainerHeaderBytes];
  if (const Error rc = input.ReadExact(h, sizeof h, start)) return rc;
  const std::uint64_t size = LoadBe64(h + 4);
  if (LoadLe32(h) != container_id || size < 4 || size > length - kIff8HeaderBytes) return err::kMalformed;
  if (LoadLe32(h + 12) != form_type) return err::kMalformed;
  return ReadChunkList(input, start + kContainerHeaderBytes, start + kIff8HeaderBytes + size, table);
}

Error CIff8::ReadChunkList(RandomAccessInput& input, std::uint64_t begin, std::uint64_t end, Iff8Table* table) {
  table->clear();
  if (PaddedSize(begin) != begin) return err::kSizeLimit;
  return TryAlloc([&] {
    std::vector<Iff8Entry> entries;
    entries.reserve(kInitialRoom);
    std::uint64_t pos = begin;
    while (pos < end && end - pos >= kIff8HeaderBytes) {
      std::uint8_t h[kIff8HeaderBytes];
      if (const Error rc = input.ReadExact(h, sizeof h, pos)) return rc;
      Iff8Entry entry;
      entry.id = LoadLe32(h);
      entry.size = LoadBe64(h + 4);
      entry.offset = pos;
      if (entry.size > end - pos - kIff8HeaderBytes) return err::kMalformed;
      if (IsContainerChunk(entry.id)) {
        if (entry.size < 4) return err::kMalformed;
        std::uint8_t type[4];
        if (const Error rc = input.ReadExact(type, sizeof type, pos + kIff8HeaderBytes)) return rc;
        entry.type = LoadLe32(type);
      }
      if (entries.size() >= kIff8MaxChunks) return err::kMalformed;
      Append(entries, entry);
      // The pad byte of the last chunk may lie past the end: pos then
      // passes `end` and the walk stops.
      pos += kIff8HeaderBytes + PaddedSize(entry.size);
    }
    Append(entries, Iff8Entry{});
    entries.shrink_to_fit();
    table->entries_ = std::move(entries);
    return err::kOk;
  });
}

}  // namespace tidemark::NS_1BIT
