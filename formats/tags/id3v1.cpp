#include "formats/tags/internal/id3v1.h"

#include <cstdio>
#include <cstring>

#include "formats/tags/internal/id3_genres.h"
#include "formats/tags/internal/narrow_cut.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

void PutText(std::uint8_t* field, std::size_t size, std::string_view utf8, const std::string& codeset) {
  const std::string cut = NarrowPrefix(utf8, size, codeset);
  std::memcpy(field, cut.data(), cut.size());
}

}  // namespace

Error BuildId3v1Tag(const Id3Fields& fields, std::array<std::uint8_t, kId3v1Size>* tag) {
  return TryAlloc([&] {
    std::array<std::uint8_t, kId3v1Size> out{};
    const std::string codeset = NarrowCodeset();
    std::memcpy(out.data(), "TAG", 3);
    PutText(&out[3], 30, fields.title, codeset);
    PutText(&out[33], 30, fields.artist, codeset);
    PutText(&out[63], 30, fields.album, codeset);
    if (fields.year != 0) {
      char year[16];
      std::snprintf(year, sizeof year, "%04d", fields.year % 10000);
      std::memcpy(&out[93], year, 4);
    }
    const bool track = fields.track >= 1 && fields.track <= 255;
    PutText(&out[97], track ? 28 : 30, fields.comment, codeset);
    if (track) out[126] = static_cast<std::uint8_t>(fields.track);
    out[127] = Id3GenreName(fields.genre).empty() ? 255 : static_cast<std::uint8_t>(fields.genre);
    *tag = out;
    return err::kOk;
  });
}

}  // namespace tidemark
