#include "formats/one_bit/internal/wsd_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "formats/tags/internal/app_private.h"
#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/narrow_cut.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/narrow_codeset.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint32_t kHeaderBytes = 2048;
constexpr std::uint32_t kTextOffset = 128;
constexpr std::uint32_t kTextBytes = kHeaderBytes - kTextOffset;
constexpr std::uint64_t kLargestData = 0xFFFFFFFFu - kHeaderBytes;
constexpr std::uint8_t kIdle = 0xAA;

struct TextField {
  std::uint32_t offset;  // inside the text area
  std::uint32_t width;
};
constexpr TextField kNameField{0, 128};
constexpr TextField kArtistField{384, 128};
constexpr TextField kAlbumField{512, 128};
constexpr TextField kGenreField{640, 32};
constexpr TextField kDateField{672, 32};
constexpr TextField kCommentsField{736, 512};

constexpr std::uint8_t Bcd(std::uint32_t v) { return static_cast<std::uint8_t>((v / 10) << 4 | v % 10); }

// Hours, minutes and seconds of the data, at most 99:59:59.
void StorePlayingTime(std::uint8_t* at, std::uint64_t data_bytes, std::uint16_t channels, std::uint32_t rate) {
  std::uint64_t seconds = data_bytes * 8 / (std::uint64_t{channels} * rate);
  seconds = std::min<std::uint64_t>(seconds, 99 * 3600 + 59 * 60 + 59);
  at[0] = Bcd(static_cast<std::uint32_t>(seconds % 60));
  at[1] = Bcd(static_cast<std::uint32_t>(seconds / 60 % 60));
  at[2] = Bcd(static_cast<std::uint32_t>(seconds / 3600));
}

void BuildHeader(std::uint32_t rate, std::uint16_t channels, std::uint64_t data_bytes, std::uint8_t* h) {
  std::memset(h, 0, kTextOffset);
  std::memset(h + kTextOffset, ' ', kTextBytes);
  std::memcpy(h, "1bit", 4);
  h[8] = 0x10;  // version 1.0
  StoreBe32(h + 12, static_cast<std::uint32_t>(data_bytes + kHeaderBytes));
  StoreBe32(h + 20, kTextOffset);
  StoreBe32(h + 24, kHeaderBytes);
  StorePlayingTime(h + 33, data_bytes, channels, rate);
  StoreBe32(h + 36, rate);
  h[44] = static_cast<std::uint8_t>(channels);
  h[48] = channels == 1 ? 0x10 : 0x44;  // channel assignment
}

void PutField(std::uint8_t* area, TextField field, std::string_view utf8, const std::string& codeset) {
  const std::string text = NarrowPrefix(utf8.substr(0, utf8.find('\0')), field.width, codeset);
  std::memcpy(area + field.offset, text.data(), text.size());
}

}  // namespace

CWsdWriter::CWsdWriter() : COneBitWriter(false) {}

CWsdWriter::~CWsdWriter() = default;

Error CWsdWriter::Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) {
  if (const Error rc = Check(Stage::kOpen)) return rc;
  if (channels != 1 && channels != 2) return err::kSizeLimit;
  if (one_bit_rate == 0) return err::kUnsupportedFormat;
  if (data_bytes > kLargestData) return err::kTooManyFramesForTarget;
  std::array<std::uint8_t, kHeaderBytes> header;
  BuildHeader(one_bit_rate, channels, data_bytes, header.data());
  if (const Error rc = SizeFile(kHeaderBytes + data_bytes)) return rc;
  if (const Error rc = WriteAt(0, header.data(), header.size())) return rc;
  StartData(one_bit_rate, channels, kHeaderBytes, data_bytes);
  return err::kOk;
}

Error CWsdWriter::WritePlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                              std::uint16_t channels) {
  if (const Error rc = CheckPlanar(channel_bytes, bytes_per_channel, channels)) return rc;
  return WriteInterleaved(channel_bytes, bytes_per_channel, channels);
}

Error CWsdWriter::WriteRaw(const void* bytes, std::uint32_t count) { return AppendData(bytes, count); }

Error CWsdWriter::Finish() {
  if (const Error rc = Check(Stage::kBegun)) return rc;
  if (const Error rc = FillRestOfData(kIdle)) return rc;
  stage_ = Stage::kFinished;
  return err::kOk;
}

Error CWsdWriter::WriteMetadata(std::uint32_t /*one_bit_rate*/, const TagSet& tags) {
  if (const Error rc = Check(Stage::kFinished)) return rc;
  return TryAlloc([&] {
    std::array<std::uint8_t, kTextBytes> area;
    area.fill(' ');
    const std::string codeset = NarrowCodeset();
    PutField(area.data(), kNameField, TagText(tags, InfoText::Name), codeset);
    PutField(area.data(), kArtistField, TagText(tags, InfoText::Artist), codeset);
    PutField(area.data(), kGenreField, TagText(tags, InfoText::Genre), codeset);
    PutField(area.data(), kDateField, TagText(tags, InfoText::CreationDate), codeset);
    PutField(area.data(), kCommentsField, TagText(tags, InfoText::Comments), codeset);
    const std::optional<std::string> album =
        AppPrivateValue(TagText(tags, InfoText::AppPrivate), app_private_key::kAlbum);
    if (album) PutField(area.data(), kAlbumField, *album, codeset);
    if (const Error rc = WriteAt(kTextOffset, area.data(), area.size())) return rc;
    stage_ = Stage::kMetadataWritten;
    return err::kOk;
  });
}

std::uint32_t CWsdWriter::HeaderSize() const { return kHeaderBytes; }

}  // namespace tidemark::NS_1BIT
