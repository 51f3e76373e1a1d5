#include "views/bitmap_font.h"

#include <cstdint>

namespace tidemark::views {
namespace {

// Five rows of three bits, top row first, leftmost pixel the high bit.
constexpr std::uint16_t Glyph(unsigned r0, unsigned r1, unsigned r2, unsigned r3, unsigned r4) {
  return static_cast<std::uint16_t>(r0 << 12 | r1 << 9 | r2 << 6 | r3 << 3 | r4);
}

std::uint16_t GlyphOf(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  static constexpr std::uint16_t kDigits[10] = {
      Glyph(7, 5, 5, 5, 7), Glyph(2, 6, 2, 2, 7), Glyph(7, 1, 7, 4, 7), Glyph(7, 1, 3, 1, 7), Glyph(5, 5, 7, 1, 1),
      Glyph(7, 4, 7, 1, 7), Glyph(7, 4, 7, 5, 7), Glyph(7, 1, 1, 2, 2), Glyph(7, 5, 7, 5, 7), Glyph(7, 5, 7, 1, 7)};
  static constexpr std::uint16_t kLetters[26] = {
      Glyph(2, 5, 7, 5, 5), Glyph(6, 5, 6, 5, 6), Glyph(3, 4, 4, 4, 3), Glyph(6, 5, 5, 5, 6), Glyph(7, 4, 6, 4, 7),
      Glyph(7, 4, 6, 4, 4), Glyph(3, 4, 5, 5, 3), Glyph(5, 5, 7, 5, 5), Glyph(7, 2, 2, 2, 7), Glyph(1, 1, 1, 5, 2),
      Glyph(5, 5, 6, 5, 5), Glyph(4, 4, 4, 4, 7), Glyph(5, 7, 7, 5, 5), Glyph(6, 5, 5, 5, 5), Glyph(2, 5, 5, 5, 2),
      Glyph(6, 5, 6, 4, 4), Glyph(2, 5, 5, 6, 3), Glyph(6, 5, 6, 5, 5), Glyph(3, 4, 2, 1, 6), Glyph(7, 2, 2, 2, 2),
      Glyph(5, 5, 5, 5, 7), Glyph(5, 5, 5, 5, 2), Glyph(5, 5, 7, 7, 5), Glyph(5, 5, 2, 5, 5), Glyph(5, 5, 2, 2, 2),
      Glyph(7, 1, 2, 4, 7)};
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  if (c >= 'A' && c <= 'Z') return kLetters[c - 'A'];
  switch (c) {
    case '.': return Glyph(0, 0, 0, 0, 2);
    case ',': return Glyph(0, 0, 0, 2, 4);
    case '-': return Glyph(0, 0, 7, 0, 0);
    case '+': return Glyph(0, 2, 7, 2, 0);
    case ':': return Glyph(0, 2, 0, 2, 0);
    case '_': return Glyph(0, 0, 0, 0, 7);
    case '/': return Glyph(1, 1, 2, 4, 4);
    case '#': return Glyph(5, 7, 5, 7, 5);
    case '(': return Glyph(1, 2, 2, 2, 1);
    case ')': return Glyph(4, 2, 2, 2, 4);
    default: return 0;
  }
}

}  // namespace

int TextWidth(std::string_view text) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * kGlyphAdvance - 1;
}

void DrawText(Raster& picture, int x, int y, std::string_view text, Rgb colour) {
  for (const char c : text) {
    const std::uint16_t bits = GlyphOf(c);
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int col = 0; col < kGlyphWidth; ++col)
        if (bits >> ((kGlyphHeight - 1 - row) * kGlyphWidth + (kGlyphWidth - 1 - col)) & 1u)
          picture.Set(x + col, y + row, colour);
    x += kGlyphAdvance;
  }
}

}  // namespace tidemark::views
