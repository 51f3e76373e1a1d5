#include "formats/wav/internal/wav_patch.h"

#include <algorithm>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/chunks/file_io.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/wav/internal/wav_format.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;
// Tag, channels, rate, byte rate and block align: what the patch needs.
constexpr std::uint32_t kRatePatchBytes = 14;

}  // namespace

Error PatchWaveRate(PosixFile& file, std::uint64_t length, std::uint32_t rate) {
  FileInput input(file);
  ChunkTable table;
  if (const Error rc = ReadFileChunkTable(input, length, kRiffContainer, &table)) return rc;
  const ChunkEntry* fmt = FindChunk(table, FourCc("fmt "));
  if (!fmt || fmt->size < kRatePatchBytes) return err::kMalformed;
  const std::uint64_t body = std::uint64_t{fmt->offset} + 8;
  std::uint8_t head[kRatePatchBytes];
  if (const Error rc = input.ReadExact(head, sizeof head, body)) return rc;
  if (LoadLe32(head + 4) == rate) return err::kOk;
  // The byte rate is informational; a product past 32 bits is stored as the largest value.
  const std::uint64_t byte_rate = std::uint64_t{rate} * LoadLe16(head + 12);
  std::uint8_t rates[8];
  StoreLe32(rates, rate);
  StoreLe32(rates + 4, static_cast<std::uint32_t>(std::min<std::uint64_t>(byte_rate, 0xFFFFFFFFu)));
  return WriteExact(file, rates, sizeof rates, body + 4);
}

Error ReadCompressedWaveFacts(RandomAccessInput& input, std::uint64_t length, CompressedWaveFacts* facts) {
  if (length > kLargestFile) return err::kMalformed;
  ChunkTable table;
  if (const Error rc = ReadFileChunkTable(input, length, kRiffContainer, &table)) return rc;
  const ChunkEntry* fact = FindChunk(table, FourCc("fact"));
  if (!fact || fact->size < 4) return err::kMalformed;
  const ChunkEntry* fmt = FindChunk(table, FourCc("fmt "));
  if (!fmt) return err::kMalformed;
  CompressedWaveFacts out;
  if (const Error rc = TryAlloc([&] { out.format.resize(fmt->size); })) return rc;
  if (fmt->size)
    if (const Error rc = input.ReadExact(out.format.data(), fmt->size, std::uint64_t{fmt->offset} + 8))
      return rc;
  std::uint8_t count[4];
  if (const Error rc = input.ReadExact(count, sizeof count, std::uint64_t{fact->offset} + 8)) return rc;
  out.fact_samples = LoadLe32(count);
  if (const ChunkEntry* data = FindChunk(table, FourCc("data"))) {
    out.data_offset = data->offset + 8;
    out.data_size = data->size;
  }
  *facts = std::move(out);
  return err::kOk;
}

Error ReadCompressedWaveFactsFile(const std::string& path, CompressedWaveFacts* facts) {
  return ReadInputFile(path, [facts](RandomAccessInput& input, std::uint64_t length) {
    return ReadCompressedWaveFacts(input, length, facts);
  });
}

}  // namespace tidemark
