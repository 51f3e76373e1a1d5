#include "formats/wav/wav_probe.h"

#include <cstring>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/wav/internal/wav_format.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

struct WaveChunks {
  bool have_format = false;
  wav::FormatBlock format;
  bool float_data = false;  // tag 3, or the extensible form with the float sub-format
  bool have_fact = false;
  std::uint32_t fact_frames = 0;
  const ChunkEntry* data = nullptr;
};

// A float format body is 16 bytes (libsndfile writes no extra-size field)
// or 18 and more with an extra-size field that the body holds; 17 bytes cut
// that field, and a larger field claims bytes the chunk does not have.
Error CheckFloatFormatSize(RandomAccessInput& input, const ChunkEntry& chunk) {
  if (chunk.size == wav::kPlainFormatBytes) return err::kOk;
  if (chunk.size < wav::kFloatFormatBytes) return err::kMalformed;
  std::uint8_t extra[2];
  if (const Error rc = input.ReadExact(extra, sizeof extra, std::uint64_t{chunk.offset} + 8 + wav::kPlainFormatBytes))
    return rc;
  return LoadLe16(extra) <= chunk.size - wav::kFloatFormatBytes ? err::kOk : err::kMalformed;
}

// Reads and checks the first "fmt " body; 33 for a foreign tag before
// anything else is looked at.
Error ReadFormat(RandomAccessInput& input, const ChunkEntry& chunk, WaveChunks* out) {
  if (chunk.size < wav::kPlainFormatBytes) return err::kMalformed;
  std::uint8_t body[wav::kPlainFormatBytes];
  if (const Error rc = input.ReadExact(body, sizeof body, std::uint64_t{chunk.offset} + 8)) return rc;
  out->format = wav::ParseFormatBlock(body);
  switch (out->format.tag) {
    case wav::kTagPcm:
      break;
    case wav::kTagFloat:
      if (const Error rc = CheckFloatFormatSize(input, chunk)) return rc;
      out->float_data = true;
      break;
    case wav::kTagExtensible: {
      if (chunk.size != wav::kExtensibleFormatBytes) return err::kMalformed;
      std::uint8_t guid[16];
      if (const Error rc =
              input.ReadExact(guid, sizeof guid, std::uint64_t{chunk.offset} + 8 + wav::kSubFormatOffset))
        return rc;
      if (wav::IsSubFormat(guid, wav::kFloatSubFormat))
        out->float_data = true;
      else if (!wav::IsSubFormat(guid, wav::kPcmSubFormat))
        return err::kMalformed;
      break;
    }
    default:
      return err::kForeignEncoding;
  }
  out->have_format = true;
  return err::kOk;
}

}  // namespace

Error ProbeWave(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  if (length < 4 || length > kLargestFile) return err::kMalformed;
  ChunkTable table;
  if (const Error rc = ReadFileChunkTable(input, length, kRiffContainer, &table)) return rc;

  WaveChunks found;
  for (const ChunkEntry& chunk : table) {
    if (chunk.id == FourCc("fmt ") && !found.have_format) {
      if (const Error rc = ReadFormat(input, chunk, &found)) return rc;
    } else if (chunk.id == FourCc("fact") && !found.have_fact) {
      if (chunk.size < 4) return err::kMalformed;
      std::uint8_t count[4];
      if (const Error rc = input.ReadExact(count, sizeof count, std::uint64_t{chunk.offset} + 8)) return rc;
      found.fact_frames = LoadLe32(count);
      found.have_fact = true;
    } else if (chunk.id == FourCc("data") && !found.data) {
      found.data = &chunk;
    }
  }
  if (!found.have_format || !found.data) return err::kMalformed;

  const wav::FormatBlock& f = found.format;
  if (f.channels == 0 || f.block_align == 0 || f.block_align % f.channels != 0) return err::kMalformed;
  const unsigned width = f.block_align / f.channels;
  // The low nibble of the sample code holds the width.
  if (width > sample_code::kSizeMask) return err::kUnsupportedFormat;

  const std::uint32_t data_frames = found.data->size / f.block_align;
  SampleCode code = static_cast<SampleCode>(width);
  std::uint32_t frames = data_frames;
  if (found.float_data) {
    code |= sample_code::kFloatBit;
  } else if (f.bits <= 8) {
    code |= sample_code::kUnsignedBit;
  }
  if (f.tag != wav::kTagPcm && found.have_fact) {
    // A count beyond the data chunk is believed when nothing follows the
    // data (a writer that never fixed the data size; reading past the end
    // of the file then fails), but not when another chunk would be read as
    // samples.
    frames = found.fact_frames;
    if (frames > data_frames && ChunkFollows(table, *found.data)) frames = data_frames;
  }

  info->kind = PcmFileKind::Wave;
  info->rate = f.rate;
  info->channels = f.channels;
  info->code = code;
  info->frames = frames;
  info->data_offset = found.data->offset + 8;
  return err::kOk;
}


}  // namespace tidemark
