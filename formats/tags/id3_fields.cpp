#include "formats/tags/internal/id3_fields.h"

#include <optional>
#include <string_view>

#include "formats/tags/internal/app_private.h"
#include "formats/tags/internal/id3_genres.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// The decimal number `text` starts with (after blanks and an optional '+');
// 0 when there is none or it does not fit 16 bits.
std::uint16_t LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  std::uint32_t value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    if (value > 0xFFFF) return 0;
    any = true;
  }
  return any ? static_cast<std::uint16_t>(value) : 0;
}

}  // namespace

Error Id3FieldsFromTags(const TagSet& tags, Id3Fields* fields) {
  return TryAlloc([&] {
    *fields = Id3Fields{};
    Id3Fields f;
    f.title = TagText(tags, InfoText::Name);
    f.artist = TagText(tags, InfoText::Artist);
    f.copyright = TagText(tags, InfoText::Copyright);
    f.comment = TagText(tags, InfoText::Comments);
    f.year = LeadingNumber(TagText(tags, InfoText::CreationDate));
    const std::string_view genre = TagText(tags, InfoText::Genre);
    if (!genre.empty()) f.genre = static_cast<std::int16_t>(Id3GenreIndex(genre));

    const std::vector<AppPrivateEntry> entries = ParseAppPrivate(TagText(tags, InfoText::AppPrivate));
    if (const std::optional<std::string> track = AppPrivateValue(entries, app_private_key::kTrack))
      f.track = LeadingNumber(*track);
    if (std::optional<std::string> isrc = AppPrivateValue(entries, app_private_key::kIsrc)) f.isrc = std::move(*isrc);
    if (std::optional<std::string> album = AppPrivateValue(entries, app_private_key::kAlbum))
      f.album = std::move(*album);
    if (std::optional<std::string> url = AppPrivateValue(entries, app_private_key::kWebUrl))
      f.web_url = std::move(*url);
    *fields = std::move(f);
    return err::kOk;
  }, [&] { *fields = Id3Fields{}; });
}

}  // namespace tidemark
