#include "formats/one_bit/internal/wsd_reader.h"

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/tags/internal/app_private.h"
#include "formats/chunks/byte_order.h"
#include "formats/one_bit/internal/one_bit_layout.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::size_t kCheckedHeader = 128;
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kFileSizeAt = 12;
constexpr std::size_t kTextOffsetAt = 20;
constexpr std::size_t kDataOffsetAt = 24;
constexpr std::size_t kRateAt = 36;
constexpr std::size_t kChannelsAt = 44;

struct TextField {
  std::size_t at;
  std::size_t width;
  InfoText slot;
};
constexpr std::array<TextField, 5> kFields = {{{0, 128, InfoText::Name},
                                               {384, 128, InfoText::Artist},
                                               {640, 32, InfoText::Genre},
                                               {672, 32, InfoText::CreationDate},
                                               {736, 512, InfoText::Comments}}};
constexpr std::size_t kAlbumAt = 512;
constexpr std::size_t kAlbumWidth = 128;

// A field's text as stored: up to its first zero byte, without leading
// spaces and without trailing spaces.
std::string_view FieldText(const std::uint8_t* area, std::size_t at, std::size_t width) {
  std::string_view text(reinterpret_cast<const char*>(area + at), width);
  text = text.substr(0, text.find('\0'));
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

CWsd::~CWsd() = default;

Error CWsd::Open(const std::string& path) {
  if (const Error rc = OpenFile(path)) return rc;
  const Error rc = ReadHeader();
  if (rc != err::kOk) Close();
  return rc;
}

void CWsd::Close() {
  CloseFile();
  rate_ = 0;
  channels_ = 0;
  text_offset_ = 0;
  data_offset_ = 0;
  data_size_ = 0;
}

Error CWsd::ReadHeader() {
  if (file_length() < kHeaderBytes) return err::kMalformed;
  std::uint8_t h[kCheckedHeader];
  if (const Error rc = input().ReadExact(h, sizeof h, 0)) return rc;
  if (LoadLe32(h) != FourCc("1bit") || (h[kVersionAt] >> 4) != 1) return err::kMalformed;
  const std::uint32_t file_size = LoadBe32(h + kFileSizeAt);
  const std::uint32_t data_offset = LoadBe32(h + kDataOffsetAt);
  if (file_size > file_length() || data_offset > file_size) return err::kMalformed;
  const std::uint32_t rate = LoadBe32(h + kRateAt);
  const std::uint8_t channels = h[kChannelsAt];
  if (rate == 0 || channels == 0) return err::kMalformed;

  rate_ = rate;
  channels_ = channels;
  text_offset_ = LoadBe32(h + kTextOffsetAt);
  data_offset_ = data_offset;
  data_size_ = file_size - data_offset;
  set_layout(OneBitLayout::kByteInterleaved);
  return err::kOk;
}

Error CWsd::ReadMarkers(MarkerList&, std::uint32_t) { return is_open() ? err::kOk : err::kSizeLimit; }

Error CWsd::ReadTags(TagSet& tags) {
  if (!is_open()) return err::kSizeLimit;
  std::uint8_t area[kTextAreaBytes];
  if (const Error rc = input().ReadExact(area, sizeof area, text_offset_)) return rc;
  return TryAlloc([&] {
    TagSet read;
    for (const TextField& field : kFields) {
      const std::string_view text = FieldText(area, field.at, field.width);
      if (!text.empty()) SetTagText(read, field.slot, NarrowToUtf8(text));
    }
    const std::string_view album = FieldText(area, kAlbumAt, kAlbumWidth);
    if (!album.empty())
      SetTagText(read, InfoText::AppPrivate,
                 BuildAppPrivate({{std::string(app_private_key::kAlbum), NarrowToUtf8(album)}}));
    return MergeTags(tags, read);
  });
}

}  // namespace tidemark::NS_1BIT
