#include "formats/one_bit/internal/iff8_chunks.h"

#include <limits>

#include "core/io/chunk_padding.h"
#include "formats/chunks/byte_order.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint64_t kContainerHeaderBytes = 16;
constexpr std::size_t kTableStep = 32;

}  // namespace

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
    entries.reserve(kTableStep);
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
      if (entries.size() == entries.capacity()) entries.reserve(entries.capacity() + kTableStep);
      entries.push_back(entry);
      // The pad byte of the last chunk may lie past the end: pos then
      // passes `end` and the walk stops.
      pos += kIff8HeaderBytes + PaddedSize(entry.size);
    }
    entries.push_back(Iff8Entry{});
    entries.shrink_to_fit();
    table->entries_ = std::move(entries);
    return err::kOk;
  });
}

}  // namespace tidemark::NS_1BIT
