#include "formats/one_bit/internal/dsf_reader.h"

#include <limits>

#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "formats/one_bit/internal/one_bit_layout.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

// Offsets in the header.
constexpr std::size_t kTotalSizeAt = 12;
constexpr std::size_t kMetadataAt = 20;
constexpr std::size_t kFmtAt = 28;
constexpr std::size_t kVersionAt = 40;
constexpr std::size_t kFormatIdAt = 44;
constexpr std::size_t kChannelsAt = 52;
constexpr std::size_t kRateAt = 56;
constexpr std::size_t kBitsAt = 60;
constexpr std::size_t kSamplesAt = 64;
constexpr std::size_t kBlockSizeAt = 72;
constexpr std::size_t kDataAt = 80;
constexpr std::size_t kDataSizeAt = 84;

constexpr std::uint16_t kMostChannels = 0xFFFF;

}  // namespace

CDsf::~CDsf() = default;

Error CDsf::Open(const std::string& path) {
  if (const Error rc = OpenFile(path)) return rc;
  const Error rc = ReadHeader();
  if (rc != err::kOk) Close();
  return rc;
}

void CDsf::Close() {
  CloseFile();
  rate_ = 0;
  channels_ = 0;
  data_size_ = 0;
  total_size_ = 0;
  metadata_offset_ = 0;
  tag_loaded_ = false;
  tag_ = Id3v2Tag{};
}

Error CDsf::ReadHeader() {
  if (file_length() < kHeaderBytes) return err::kMalformed;
  std::uint8_t h[kHeaderBytes];
  if (const Error rc = input().ReadExact(h, sizeof h, 0)) return rc;
  const std::uint32_t bits = LoadLe32(h + kBitsAt);
  if (LoadLe32(h) != FourCc("DSD ") || LoadLe32(h + kFmtAt) != FourCc("fmt ") || LoadLe32(h + kVersionAt) != 1 ||
      LoadLe32(h + kFormatIdAt) != 0 || (bits != 1 && bits != 8) || LoadLe32(h + kBlockSizeAt) != kDsfBlockBytes ||
      LoadLe32(h + kDataAt) != FourCc("data"))
    return err::kMalformed;

  const std::uint64_t total = LoadLe64(h + kTotalSizeAt);
  const std::uint64_t chunk = LoadLe64(h + kDataSizeAt);
  if (total > file_length() || chunk > total || total - chunk < kDataAt) return err::kMalformed;

  const std::uint32_t channels = LoadLe32(h + kChannelsAt);
  const std::uint32_t rate = LoadLe32(h + kRateAt);
  if (channels == 0 || rate == 0) return err::kMalformed;
  if (channels > kMostChannels) return err::kUnsupportedFormat;
  const std::uint64_t per_channel = LoadLe64(h + kSamplesAt) / 8;
  if (per_channel > std::numeric_limits<std::uint64_t>::max() / channels) return err::kMalformed;
  const std::uint64_t data = per_channel * channels;
  // The data chunk must hold the samples; they must also lie inside the
  // file's declared size, which a data chunk size that counts its own
  // header could otherwise let them pass by up to 12 bytes.
  if (chunk < data || data + kDataOffset > total) return err::kMalformed;

  rate_ = rate;
  channels_ = static_cast<std::uint16_t>(channels);
  data_size_ = data;
  total_size_ = total;
  metadata_offset_ = LoadLe64(h + kMetadataAt);
  set_layout(bits == 1 ? OneBitLayout::kDsfLsbFirst : OneBitLayout::kDsfMsbFirst);
  return err::kOk;
}

Error CDsf::LoadTag() {
  if (tag_loaded_) return err::kOk;
  if (metadata_offset_ != 0 && metadata_offset_ < total_size_) {
    // The tag must lie inside the declared size, which lies inside the file.
    if (const Error rc = ReadId3v2Tag(input(), total_size_, metadata_offset_, &tag_)) return rc;
  }
  tag_loaded_ = true;
  return err::kOk;
}

Error CDsf::ReadMarkers(MarkerList& markers, std::uint32_t pcm_rate) {
  if (!is_open()) return err::kSizeLimit;
  if (pcm_rate == 0) return err::kUnsupportedFormat;
  if (const Error rc = LoadTag()) return rc;
  MarkerList read;
  if (const Error rc = Id3v2TagMarkers(tag_, pcm_rate, &read)) return rc;
  AppendMarkers(markers, std::move(read));
  return err::kOk;
}

Error CDsf::ReadTags(TagSet& tags) {
  if (!is_open()) return err::kSizeLimit;
  if (const Error rc = LoadTag()) return rc;
  TagSet read;
  if (const Error rc = Id3v2TagToSet(tag_, &read)) return rc;
  return MergeTags(tags, read);
}

}  // namespace tidemark::NS_1BIT
