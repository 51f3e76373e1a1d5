#include "formats/tags/internal/narrow_cut.h"

#include "platform/code_page.h"
#include "platform/narrow_codeset.h"

namespace tidemark {

std::size_t NarrowCutLength(std::string_view text, std::size_t limit, std::string_view codeset) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  if (IsUtf8Codeset(codeset) || IsCLocaleCodeset(codeset)) {
    // Back over continuation bytes (10xxxxxx) to the start of the character at the cut.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
  }
  // Trail bytes can look like lead bytes, so what decides is the parity of
  // the run of lead-looking bytes that ends just before the cut.
  std::size_t run = 0;
  while (run < cut && IsDoubleByteLead(codeset, static_cast<unsigned char>(text[cut - 1 - run]))) ++run;
  if (run & 1) --cut;
  return cut;
}

std::string NarrowPrefix(std::string_view utf8, std::size_t limit, std::string_view codeset) {
  std::string narrow = Utf8ToNarrow(utf8, codeset);
  narrow.resize(NarrowCutLength(narrow, limit, codeset));
  return narrow;
}

}  // namespace tidemark
