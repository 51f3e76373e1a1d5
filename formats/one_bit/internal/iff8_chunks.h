// The chunk layer of DSDIFF files: IFF with 64-bit big-endian chunk sizes.
//
// A container is id (4 bytes), size (8 bytes), type (4 bytes) and its
// chunks; a chunk is id (4), size (8), body, and a pad byte after an odd
// body, so chunks start at even offsets. Container chunks inside a
// container ("LIST"; a DSDIFF reader adds "PROP") carry a 4-byte type at
// the start of their body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

struct Iff8Entry {
  std::uint32_t id = 0;      // the identifier bytes as stored (FourCc)
  std::uint64_t size = 0;    // body bytes
  std::uint32_t type = 0;    // the first four body bytes of a container chunk, else 0
  std::uint64_t offset = 0;  // absolute offset of the chunk header
};

// Bytes of a chunk header; the body follows.
inline constexpr std::uint64_t kIff8HeaderBytes = 12;
// More chunks than this in one container is not a sound file but an attack
// on memory.
inline constexpr std::size_t kIff8MaxChunks = std::size_t{1} << 20;

// Chunk tables grown since the process started: a table of n chunks grows
// at most log2(n / 32) + 1 times (a seam for tests).
std::uint64_t Iff8TableGrowths();

// The chunks of one container in file order. Room starts at 32 entries and
// doubles; a read table ends with a zero entry, which entries() leaves out.
class Iff8Table {
 public:
  std::span<const Iff8Entry> entries() const {
    return entries_.empty() ? std::span<const Iff8Entry>() : std::span(entries_.data(), entries_.size() - 1);
  }
  // The first chunk with `id` (and `type`, unless that is 0); null when none.
  const Iff8Entry* Find(std::uint32_t id, std::uint32_t type = 0) const;
  void clear() { entries_.clear(); }

 private:
  friend class CIff8;
  std::vector<Iff8Entry> entries_;
};

class CIff8 {
 public:
  CIff8() = default;
  CIff8(const CIff8&) = delete;
  CIff8& operator=(const CIff8&) = delete;
  virtual ~CIff8();

  // Reads the container header at `start`, which may use `length` bytes from
  // there (the file length for a whole file, size + 12 for a chunk), and
  // lists its chunks. The id must be `container_id` and the type
  // `form_type`; the declared size must be at least 4 and fit in `length`.
  // Bytes after the declared end are ignored.
  // 77 for an odd `start`; 14 for a header or chunk that breaks these rules
  // (see ReadChunkList); 8 when a read comes up short; 2.
  [[nodiscard]] Error ReadContainer(RandomAccessInput& input, std::uint64_t start, std::uint64_t length,
                                    std::uint32_t container_id, std::uint32_t form_type, Iff8Table* table);

  // Lists the chunks that fill [begin, end) (a body made of chunks), stopping
  // where a 12-byte header no longer fits. 77 for an odd `begin`; 14 when a
  // body ends past `end`, a container chunk's body is below 4 bytes, or
  // there are more than kIff8MaxChunks chunks; 8; 2. On failure `table` is
  // empty.
  [[nodiscard]] Error ReadChunkList(RandomAccessInput& input, std::uint64_t begin, std::uint64_t end, Iff8Table* table);

 protected:
  // Whether chunks with `id` are containers with a type: "LIST".
  virtual bool IsContainerChunk(std::uint32_t id) const;
};

}  // namespace tidemark::NS_1BIT
