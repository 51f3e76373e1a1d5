#include "codecs/flac_foreign_metadata.h"

#include "formats/tags/flac_metadata_skeleton.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

std::uint32_t GetU32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void PutU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

FlacForeignReader::FlacForeignReader() : skeleton_(std::make_unique<FlacMetadataSkeleton>()) {}
FlacForeignReader::~FlacForeignReader() = default;

void FlacForeignReader::Add(std::span<const std::uint8_t> block) { (void)skeleton_->AddApplicationBlock(block); }

bool FlacForeignReader::has_container() const { return skeleton_->has_container(); }

Error FlacForeignReader::Read(std::uint32_t frames, MarkerList* markers, TagSet* tags) {
  return skeleton_->ReadMetadata(frames, markers, tags);
}

Error BuildForeignRiffBlocks(std::uint32_t rate, std::uint16_t channels, unsigned bits, std::uint32_t frames,
                             const MarkerList& markers, const TagSet& tags,
                             std::vector<std::vector<std::uint8_t>>* blocks) {
  blocks->clear();
  if (markers.empty() && IsTagSetEmpty(tags)) return Error{};
  SkeletonExport range;
  range.format.kind = PcmFileKind::Wave;
  range.format.rate = rate;
  range.format.channels = channels;
  range.format.code = bits == 8 ? sample_code::kU8 : bits == 16 ? sample_code::kS16
                      : bits == 24                ? sample_code::kS24
                                                  : sample_code::kFloat;
  range.from = 0;
  range.to = frames;
  std::vector<std::uint8_t> skeleton;
  if (const Error rc = BuildWavSkeleton(range, markers, tags, &skeleton)) return rc;
  if (skeleton.size() < 44) return err::kMalformed;

  const std::uint64_t data_bytes = std::uint64_t{frames} * channels * (bits / 8);
  const std::uint64_t riff_size = skeleton.size() - 8 + data_bytes + (data_bytes & 1);
  if (riff_size > 0xFFFFFFFFu) return err::kMetadataTooLarge;
  // The header, then one block per chunk with the real sizes filled in.
  PutU32(skeleton, 4, static_cast<std::uint32_t>(riff_size));
  blocks->emplace_back(skeleton.begin(), skeleton.begin() + 12);
  for (std::size_t at = 12; at + 8 <= skeleton.size();) {
    const std::uint32_t size = GetU32(skeleton, at + 4);
    const bool is_data = std::equal(skeleton.begin() + static_cast<std::ptrdiff_t>(at),
                                    skeleton.begin() + static_cast<std::ptrdiff_t>(at + 4), "data");
    const std::size_t whole = 8 + static_cast<std::size_t>(size) + (size & 1);
    if (is_data) {
      std::vector<std::uint8_t> header(skeleton.begin() + static_cast<std::ptrdiff_t>(at),
                                       skeleton.begin() + static_cast<std::ptrdiff_t>(at + 8));
      PutU32(header, 4, static_cast<std::uint32_t>(data_bytes));
      blocks->push_back(std::move(header));
      at += 8 + size;
      continue;
    }
    if (at + whole > skeleton.size()) return err::kMalformed;
    blocks->emplace_back(skeleton.begin() + static_cast<std::ptrdiff_t>(at),
                         skeleton.begin() + static_cast<std::ptrdiff_t>(at + whole));
    at += whole;
  }
  return Error{};
}

}  // namespace tidemark
