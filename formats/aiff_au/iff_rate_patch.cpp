#include "formats/aiff_au/internal/iff_rate_patch.h"

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/chunks/file_io.h"
#include "formats/aiff_au/internal/iff_numbers.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Channels, frames and bits come before the rate in "COMM".
constexpr std::uint32_t kCommRateOffset = 8;
constexpr std::uint32_t kCommMinimumBytes = 18;
constexpr std::uint32_t kAuRateOffset = 16;
constexpr std::uint64_t kAuFixedHeaderBytes = 24;

}  // namespace

Error PatchIffRate(PosixFile& file, std::uint64_t length, std::uint32_t rate) {
  FileInput input(file);
  ChunkTable table;
  if (const Error rc = ReadFileChunkTable(input, length, kFormContainer, &table)) return rc;
  const ChunkEntry* comm = FindChunk(table, FourCc("COMM"));
  if (!comm || comm->size < kCommMinimumBytes) return err::kMalformed;
  std::uint8_t head[8 + kCommMinimumBytes];
  if (const Error rc = input.ReadExact(head, sizeof head, comm->offset)) return rc;
  if (ReadExtended80(head + 8 + kCommRateOffset) == rate) return err::kOk;
  std::uint8_t stored[kExtended80Bytes];
  WriteExtended80(stored, rate);
  return WriteExact(file, stored, sizeof stored, std::uint64_t{comm->offset} + 8 + kCommRateOffset);
}

Error PatchAuRate(PosixFile& file, std::uint64_t length, std::uint32_t rate) {
  if (length < kAuFixedHeaderBytes) return err::kMalformed;
  FileInput input(file);
  std::uint8_t head[kAuFixedHeaderBytes];
  if (const Error rc = input.ReadExact(head, sizeof head, 0)) return rc;
  // Offset 16 means nothing in any other file.
  if (LoadLe32(head) != FourCc(".snd")) return err::kMalformed;
  if (LoadBe32(head + kAuRateOffset) == rate) return err::kOk;
  std::uint8_t stored[4];
  StoreBe32(stored, rate);
  return WriteExact(file, stored, sizeof stored, kAuRateOffset);
}


}  // namespace tidemark
