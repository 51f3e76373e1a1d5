#include "formats/tags/internal/id3v2_text.h"

#include <string_view>

#include "platform/code_page.h"
#include "platform/utf.h"

namespace tidemark {

std::string ReadId3String(std::span<const std::uint8_t> body, std::size_t* pos, std::uint8_t encoding,
                          bool* terminated) {
  if (terminated) *terminated = false;
  const std::size_t start = *pos;
  if (start >= body.size()) {
    *pos = body.size();
    return {};
  }
  const std::span<const std::uint8_t> rest = body.subspan(start);

  if (encoding == 1 || encoding == 2) {
    bool little = encoding == 1;
    std::size_t i = 0;
    if (rest.size() >= 2 && rest[0] == 0xFF && rest[1] == 0xFE) {
      little = true;
      i = 2;
    } else if (rest.size() >= 2 && rest[0] == 0xFE && rest[1] == 0xFF) {
      little = false;
      i = 2;
    }
    std::u16string units;
    *pos = body.size();
    for (; i + 1 < rest.size(); i += 2) {
      const auto unit = static_cast<char16_t>(little ? rest[i] | rest[i + 1] << 8 : rest[i] << 8 | rest[i + 1]);
      if (unit == 0) {
        if (terminated) *terminated = true;
        *pos = start + i + 2;
        break;
      }
      units.push_back(unit);
    }
    return Utf16ToUtf8(units);
  }

  std::size_t n = 0;
  while (n < rest.size() && rest[n] != 0) ++n;
  const std::string_view bytes(reinterpret_cast<const char*>(rest.data()), n);
  if (n < rest.size()) {
    if (terminated) *terminated = true;
    *pos = start + n + 1;
  } else {
    *pos = body.size();
  }
  if (encoding == 3) return Utf16ToUtf8(Utf8ToUtf16(bytes));  // replaces invalid sequences
  return NarrowToUtf8(bytes);
}

}  // namespace tidemark
