#include "formats/tags/tag_set.h"

#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace tidemark {

std::optional<InfoText> TagSlotByName(std::string_view name) {
  for (std::size_t i = 0; i < kTagNames.size(); ++i)
    if (EqualsIgnoreAsciiCase(name, kTagNames[i])) return static_cast<InfoText>(i);
  return std::nullopt;
}

bool IsTagSetEmpty(const TagSet& tags) {
  for (const std::optional<std::string>& text : tags.texts)
    if (text && !text->empty()) return false;
  return true;
}

std::string_view TagText(const TagSet& tags, InfoText slot) {
  const std::optional<std::string>& text = tags[slot];
  return text ? std::string_view(*text) : std::string_view();
}

void SetTagText(TagSet& tags, InfoText slot, std::string_view text) {
  if (text.empty())
    tags[slot].reset();
  else
    tags[slot] = std::string(text);
}

int CompareTagSets(const TagSet& a, const TagSet& b) {
  for (std::size_t i = 0; i < kInfoTextCount; ++i) {
    const auto slot = static_cast<InfoText>(i);
    const std::string_view x = TagText(a, slot), y = TagText(b, slot);
    if (x == y) continue;
    // UTF-8 byte order is code point order; UTF-16 orders the characters
    // above U+FFFF (surrogates) before U+E000-U+FFFF, so compare as UTF-16.
    const std::u16string wx = Utf8ToUtf16(x), wy = Utf8ToUtf16(y);
    const int c = wx.compare(wy);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

}  // namespace tidemark
