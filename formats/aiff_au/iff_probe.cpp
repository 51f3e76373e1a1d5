#include "formats/aiff_au/internal/iff_probe.h"

#include "formats/aiff_au/internal/aiff_au_codes.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/aiff_au/internal/iff_header.h"
#include "formats/aiff_au/internal/iff_numbers.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;
constexpr std::uint32_t kAiffCommBytes = 18;
// Up to and including the compression type; the compression name is not read.
constexpr std::uint32_t kAifcCommBytes = 22;
// Offset and block size in front of the samples.
constexpr std::uint32_t kSsndPrefixBytes = 8;

struct CommonChunk {
  std::uint16_t channels = 0;
  std::uint32_t frames = 0;
  std::int16_t bits = 0;
  std::uint32_t rate = 0;
  std::uint32_t compression = 0;
};

Error ReadCommon(RandomAccessInput& input, const ChunkEntry& chunk, bool aifc, CommonChunk* out) {
  if (aifc ? chunk.size < kAifcCommBytes : chunk.size != kAiffCommBytes) return err::kMalformed;
  std::uint8_t body[kAifcCommBytes];
  const std::size_t n = aifc ? kAifcCommBytes : kAiffCommBytes;
  if (const Error rc = input.ReadExact(body, n, std::uint64_t{chunk.offset} + 8)) return rc;
  out->channels = LoadBe16(body);
  out->frames = LoadBe32(body + 2);
  out->bits = static_cast<std::int16_t>(LoadBe16(body + 6));
  out->rate = ReadExtended80(body + 8);
  out->compression = aifc ? LoadLe32(body + 18) : kAifcNone;
  if (out->compression != kAifcNone && out->compression != kAifcSowt && !IsAifcFloatType(out->compression))
    return err::kMalformed;
  return err::kOk;
}

// The sample code of the "COMM" facts, or 14 / 15.
Error CodeFor(const CommonChunk& comm, SampleCode* code) {
  if (comm.bits <= 0) return err::kMalformed;
  const unsigned width = (static_cast<unsigned>(comm.bits) + 7) / 8;
  const bool is_float = IsAifcFloatType(comm.compression);
  if (is_float) {
    // The width comes from the bits, not from the name: "fl32" with 64 bits is double.
    if (comm.bits != 32 && comm.bits != 64) return err::kMalformed;
    *code = static_cast<SampleCode>(width | sample_code::kFloatBit | sample_code::kBigEndianBit);
    return err::kOk;
  }
  auto c = static_cast<SampleCode>(width);
  if (width >= 2 && comm.compression != kAifcSowt) c |= sample_code::kBigEndianBit;
  if (!IsSupportedSampleCode(c)) return err::kUnsupportedFormat;
  *code = c;
  return err::kOk;
}

Error ReadSoundHeader(RandomAccessInput& input, const ChunkEntry& chunk) {
  if (chunk.size < kSsndPrefixBytes) return err::kMalformed;
  std::uint8_t prefix[kSsndPrefixBytes];
  if (const Error rc = input.ReadExact(prefix, sizeof prefix, std::uint64_t{chunk.offset} + 8)) return rc;
  if (LoadBe32(prefix) != 0 || LoadBe32(prefix + 4) != 0) return err::kMalformed;
  return err::kOk;
}

Error Probe(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  if (length < 12 || length > kLargestFile) return err::kMalformed;
  ChunkTable table;
  if (const Error rc = ReadFileChunkTable(input, length, kFormContainer, &table)) return rc;
  if (table.empty()) return err::kMalformed;
  std::uint8_t form[4];
  if (const Error rc = input.ReadExact(form, sizeof form, 8)) return rc;
  const bool aifc = LoadLe32(form) == FourCc("AIFC");

  bool have_version = false, have_common = false;
  CommonChunk comm;
  const ChunkEntry* sound = nullptr;
  for (const ChunkEntry& chunk : table) {
    if (aifc && chunk.id == FourCc("FVER") && !have_version) {
      if (chunk.size != 4) return err::kMalformed;
      std::uint8_t version[4];
      if (const Error rc = input.ReadExact(version, sizeof version, std::uint64_t{chunk.offset} + 8))
        return rc;
      if (LoadBe32(version) != kAifcVersion1) return err::kMalformed;
      have_version = true;
    } else if (chunk.id == FourCc("COMM") && !have_common) {
      if (const Error rc = ReadCommon(input, chunk, aifc, &comm)) return rc;
      have_common = true;
    } else if (chunk.id == FourCc("SSND") && !sound) {
      if (const Error rc = ReadSoundHeader(input, chunk)) return rc;
      sound = &chunk;
    }
  }
  if (!have_common || !sound || (aifc && !have_version)) return err::kMalformed;
  // A frame has no bytes without channels; the sample reader would divide by it.
  if (comm.channels == 0) return err::kMalformed;
  SampleCode code = 0;
  if (const Error rc = CodeFor(comm, &code)) return rc;

  std::uint32_t frames = comm.frames;
  const std::uint64_t frame_bytes = std::uint64_t{BytesPerSample(code)} * comm.channels;
  const std::uint64_t held = (sound->size - kSsndPrefixBytes) / frame_bytes;
  // A count beyond "SSND" is believed when nothing follows it (reading past
  // the end of the file then fails), never when a chunk would be read as samples.
  if (frames > held && ChunkFollows(table, *sound)) frames = static_cast<std::uint32_t>(held);

  info->kind = aifc ? PcmFileKind::AIFC : PcmFileKind::AIFF;
  info->rate = comm.rate;
  info->channels = comm.channels;
  info->code = code;
  info->frames = frames;
  info->data_offset = sound->offset + 16;
  return err::kOk;
}

}  // namespace

Error ProbeIff(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  return TryAlloc([&] {
    return Probe(input, length, info);
  });
}

}  // namespace tidemark
