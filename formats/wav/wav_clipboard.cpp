#include "formats/wav/internal/wav_clipboard.h"

#include <algorithm>

#include "core/io/pcm_header.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/io/work_file_writer.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/wav/internal/wav_format.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kHeaderBytes = 44;
constexpr std::uint32_t kMinImageBytes = 13;
constexpr std::uint32_t kReadBlockFrames = 16384;

struct ImageChunk {
  std::uint32_t id = 0;
  std::uint32_t body = 0;  // offset of the body in the block
  std::uint32_t size = 0;
};

// Walks the chunks inside the declared container; false as soon as one
// reaches past the block. The pad byte of the last chunk may be missing.
bool ListImageChunks(std::span<const std::uint8_t> block, std::vector<ImageChunk>* chunks) {
  const std::uint64_t end = std::min<std::uint64_t>(std::uint64_t{LoadLe32(&block[4])} + 8, block.size());
  for (std::uint64_t at = 12; at + 8 <= end;) {
    ImageChunk c;
    c.id = LoadLe32(&block[at]);
    c.size = LoadLe32(&block[at + 4]);
    c.body = static_cast<std::uint32_t>(at + 8);
    if (std::uint64_t{c.body} + c.size > block.size()) return false;
    chunks->push_back(c);
    at = c.body + PaddedSize(c.size);
  }
  return true;
}

bool FormatAccepted(std::span<const std::uint8_t> block, const ImageChunk& fmt, const PasteTarget* target,
                    WaveImageLayout* layout) {
  if (fmt.size < wav::kPlainFormatBytes) return false;
  const std::uint8_t* body = &block[fmt.body];
  const wav::FormatBlock f = wav::ParseFormatBlock(body);
  if (f.tag == wav::kTagPcm) {
    const bool plain = fmt.size == wav::kPlainFormatBytes;
    const bool with_extra = fmt.size == wav::kFloatFormatBytes && LoadLe16(body + 16) == 0;
    if (!plain && !with_extra) return false;
  } else if (f.tag == wav::kTagExtensible) {
    if (fmt.size != wav::kExtensibleFormatBytes || LoadLe16(body + 16) != 22) return false;
    if (!wav::IsSubFormat(body + wav::kSubFormatOffset, wav::kPcmSubFormat)) return false;
  } else {
    return false;
  }
  if (f.channels == 0 || f.bits < 8 || f.bits > 32 || f.bits % 8 != 0) return false;
  const std::uint32_t width = f.bits / 8u;
  if (f.block_align != width * f.channels) return false;
  if (f.byte_rate != std::uint64_t{f.rate} * f.block_align) return false;
  if (target) {
    if (f.channels != target->channels || f.rate != target->rate) return false;
  } else if ((f.channels != 1 && f.channels != 2) || !IsValidSampleRate(f.rate)) {
    return false;
  }
  layout->rate = f.rate;
  layout->channels = f.channels;
  layout->code = width == 1 ? sample_code::kU8 : static_cast<SampleCode>(width);
  return true;
}

}  // namespace

Error ProduceWaveImage(const SegmentList& segments, std::uint32_t list_length, std::uint16_t channels,
                       std::uint32_t rate, std::uint32_t from, std::uint32_t frames, WaveImage* image) {
  if (std::uint64_t{from} + frames > list_length) return err::kSizeLimit;
  const std::uint32_t frame_bytes = 2u * channels;
  if (channels == 0 || frame_bytes > 0xFFFFu) return err::kSizeLimit;
  const std::uint64_t data_bytes = std::uint64_t{frames} * frame_bytes;
  if (data_bytes >= kWaveImageDataLimit) return err::kSizeLimit;

  WaveImage out;
  if (const Error rc = TryAlloc([&] { out.resize(kMaxPcmHeaderBytes); })) return rc;
  PcmHeaderRequest request;
  request.kind = PcmFileKind::Wave;
  request.rate = rate;
  request.code = sample_code::kS16;
  request.channels = channels;
  request.frames = frames;
  std::uint32_t header = 0;
  if (const Error rc = BuildPcmHeader(request, reinterpret_cast<std::byte*>(out.data()), &header)) return rc;
  if (header != kHeaderBytes) return err::kSizeLimit;
  if (const Error rc = TryAlloc([&] { out.resize(kHeaderBytes + data_bytes); })) return rc;

  SegmentCursor cursor(segments, channels, list_length);
  cursor.Seek(from);
  std::uint8_t* dst = out.data() + kHeaderBytes;
  for (std::uint32_t left = frames; left > 0;) {
    const std::uint32_t n = std::min(left, kReadBlockFrames);
    if (const Error rc = cursor.Read(n, dst, sample_code::kS16)) return rc;
    dst += std::size_t{n} * frame_bytes;
    left -= n;
  }
  *image = std::move(out);
  return err::kOk;
}

Error ProduceWaveImage(const SoundDocument& document, std::uint32_t from, std::uint32_t frames, WaveImage* image) {
  return ProduceWaveImage(document.segments, document.length, document.channels, document.rate, from, frames, image);
}

bool ParseWaveImage(std::span<const std::uint8_t> block, const PasteTarget* target, WaveImageLayout* layout) {
  if (block.size() < kMinImageBytes || block.size() > 0xFFFFFFFFu) return false;
  if (LoadLe32(&block[0]) != FourCc("RIFF") || LoadLe32(&block[8]) != FourCc("WAVE")) return false;
  if (std::uint64_t{LoadLe32(&block[4])} + 8 < kMinImageBytes) return false;

  std::vector<ImageChunk> chunks;
  bool listed = false;
  if (TryAlloc([&] { listed = ListImageChunks(block, &chunks); }) || !listed) return false;
  const auto fmt = std::find_if(chunks.begin(), chunks.end(),
                                [](const ImageChunk& c) { return c.id == FourCc("fmt "); });
  if (fmt == chunks.end()) return false;
  WaveImageLayout found;
  if (!FormatAccepted(block, *fmt, target, &found)) return false;
  const auto data = std::find_if(fmt + 1, chunks.end(), [](const ImageChunk& c) { return c.id == FourCc("data"); });
  if (data == chunks.end()) return false;
  const std::uint32_t frame_bytes = BytesPerSample(found.code) * found.channels;
  if (data->size < frame_bytes) return false;
  found.data_offset = data->body;
  found.frames = data->size / frame_bytes;  // a partial last block is dropped
  if (layout) *layout = found;
  return true;
}

Error PasteWaveImage(std::span<const std::uint8_t> block, const PasteTarget* target, SegmentList* segments,
                     WaveImageLayout* layout) {
  WaveImageLayout found;
  if (!ParseWaveImage(block, target, &found)) return err::kMalformed;
  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, found.rate, found.code, found.channels, found.frames))
    return rc;
  const std::size_t bytes = std::size_t{found.frames} * BytesPerSample(found.code) * found.channels;
  if (const Error rc = writer.Write(block.data() + found.data_offset, bytes)) return rc;
  if (const Error rc = writer.Finish(segments)) return rc;
  if (layout) *layout = found;
  return err::kOk;
}

}  // namespace tidemark
