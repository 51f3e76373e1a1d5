#include "formats/one_bit/internal/dsf_writer.h"

#include <algorithm>
#include <cstring>

#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/id3_fields.h"
#include "formats/one_bit/internal/one_bit_layout.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint64_t kLargestData = std::uint64_t{1} << 60;
constexpr std::uint32_t kHeaderBytes = 92;
constexpr std::uint32_t kTotalSizeOffset = 12;
constexpr std::uint32_t kMetadataOffset = 20;
constexpr std::uint8_t kIdle = 0x55;
constexpr std::size_t kId3HeaderBytes = 10;

std::uint64_t DataArea(std::uint64_t bytes_per_channel, std::uint16_t channels) {
  return (bytes_per_channel + kDsfBlockBytes - 1) / kDsfBlockBytes * kDsfBlockBytes * channels;
}

void BuildHeader(std::uint32_t rate, std::uint16_t channels, std::uint64_t bytes_per_channel, std::uint8_t* h) {
  const std::uint64_t area = DataArea(bytes_per_channel, channels);
  std::memset(h, 0, kHeaderBytes);
  std::memcpy(h, "DSD ", 4);
  StoreLe64(h + 4, 28);
  StoreLe64(h + kTotalSizeOffset, kHeaderBytes + area);
  StoreLe64(h + kMetadataOffset, 0);
  std::memcpy(h + 28, "fmt ", 4);
  StoreLe64(h + 32, 52);
  StoreLe32(h + 40, 1);         // format version
  StoreLe32(h + 44, 0);         // raw DSD
  StoreLe32(h + 48, channels);  // channel type: 1 mono, 2 stereo
  StoreLe32(h + 52, channels);
  StoreLe32(h + 56, rate);
  StoreLe32(h + 60, 1);  // bits per sample: least significant bit first
  StoreLe64(h + 64, bytes_per_channel * 8);
  StoreLe32(h + 72, kDsfBlockBytes);
  StoreLe32(h + 76, 0);
  std::memcpy(h + 80, "data", 4);
  StoreLe64(h + 84, area + 12);
}

}  // namespace

CDsfWriter::CDsfWriter(const Id3v2WriteOptions& id3v2) : COneBitWriter(true), id3v2_options_(id3v2) {}

CDsfWriter::~CDsfWriter() = default;

Error CDsfWriter::Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) {
  if (const Error rc = Check(Stage::kOpen)) return rc;
  if (channels != 1 && channels != 2) return err::kSizeLimit;
  if (one_bit_rate == 0) return err::kUnsupportedFormat;
  if (data_bytes > kLargestData) return err::kTooManyFramesForTarget;
  if (data_bytes % channels != 0) return err::kSizeLimit;
  if (const Error rc = TryAlloc([&] { blocks_.assign(std::size_t{kDsfBlockBytes} * channels, 0); })) return rc;
  bytes_per_channel_ = data_bytes / channels;
  block_fill_ = 0;
  const std::uint64_t area = DataArea(bytes_per_channel_, channels);
  std::uint8_t header[kHeaderBytes];
  BuildHeader(one_bit_rate, channels, bytes_per_channel_, header);
  if (const Error rc = SizeFile(kHeaderBytes + area)) return rc;
  if (const Error rc = WriteAt(0, header, sizeof header)) return rc;
  StartData(one_bit_rate, channels, kHeaderBytes, area);
  return err::kOk;
}

Error CDsfWriter::WriteGroup() {
  if (const Error rc = AppendData(blocks_.data(), blocks_.size())) return rc;
  block_fill_ = 0;
  return err::kOk;
}

Error CDsfWriter::WritePlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                              std::uint16_t channels) {
  if (const Error rc = CheckPlanar(channel_bytes, bytes_per_channel, channels)) return rc;
  const std::uint64_t group = blocks_.size();
  if (data_written_ % group != 0) return err::kSizeLimit;
  const std::uint64_t done = data_written_ / group * kDsfBlockBytes + block_fill_;
  if (done > bytes_per_channel_ || bytes_per_channel > bytes_per_channel_ - done) return err::kSizeLimit;
  for (std::uint32_t at = 0; at < bytes_per_channel;) {
    const std::uint32_t k = std::min(kDsfBlockBytes - block_fill_, bytes_per_channel - at);
    for (std::uint16_t c = 0; c < channels; ++c)
      std::memcpy(blocks_.data() + std::size_t{c} * kDsfBlockBytes + block_fill_, channel_bytes[c] + at, k);
    block_fill_ += k;
    at += k;
    if (block_fill_ == kDsfBlockBytes) {
      if (const Error rc = WriteGroup()) return rc;
    }
  }
  return err::kOk;
}

Error CDsfWriter::WriteRaw(const void* bytes, std::uint32_t count) {
  if (const Error rc = Check(Stage::kBegun)) return rc;
  if (block_fill_ != 0) return err::kSizeLimit;
  return AppendData(bytes, count);
}

Error CDsfWriter::Finish() {
  if (const Error rc = Check(Stage::kBegun)) return rc;
  if (block_fill_ != 0) {
    for (std::uint16_t c = 0; c < channels_; ++c)
      std::memset(blocks_.data() + std::size_t{c} * kDsfBlockBytes + block_fill_, kIdle, kDsfBlockBytes - block_fill_);
    if (const Error rc = WriteGroup()) return rc;
  }
  if (const Error rc = FillRestOfData(kIdle)) return rc;
  stage_ = Stage::kFinished;
  return err::kOk;
}

Error CDsfWriter::WriteMetadata(std::uint32_t /*one_bit_rate*/, const TagSet& tags) {
  if (const Error rc = Check(Stage::kFinished)) return rc;
  Id3Fields fields;
  if (const Error rc = Id3FieldsFromTags(tags, &fields)) return rc;
  std::vector<std::uint8_t> tag;
  // A tag without a frame is not worth its header.
  if (const Error rc = BuildId3v2Tag(fields, id3v2_options_, {}, true, &tag)) return rc;
  if (tag.size() > kId3HeaderBytes) {
    if (const Error rc = BuildId3v2Tag(fields, id3v2_options_, {}, false, &tag)) return rc;
    const std::uint64_t at = data_end();
    const std::uint64_t total = at + tag.size();
    if (const Error rc = WriteAt(at, tag.data(), tag.size())) return rc;
    if (const Error rc = Note(file_.SetLogicalEnd(static_cast<std::int64_t>(total)))) return rc;
    std::uint8_t sizes[16];
    StoreLe64(sizes, total);
    StoreLe64(sizes + 8, at);
    if (const Error rc = WriteAt(kTotalSizeOffset, sizes, sizeof sizes)) return rc;
  }
  stage_ = Stage::kMetadataWritten;
  return err::kOk;
}

std::uint32_t CDsfWriter::HeaderSize() const { return kHeaderBytes; }

}  // namespace tidemark::NS_1BIT
