// A 3x5 pixel font for the rulers, scales and marker labels of pictures:
// digits, upper-case letters (lower case is drawn as upper case) and a few
// signs. Characters without a glyph are drawn as a blank cell.
#pragma once

#include <string_view>

#include "views/raster.h"

namespace tidemark::views {

inline constexpr int kGlyphWidth = 3;
inline constexpr int kGlyphHeight = 5;
inline constexpr int kGlyphAdvance = kGlyphWidth + 1;

// Width in pixels that DrawText takes for `text`.
int TextWidth(std::string_view text);
// Draws `text` with its top-left corner at (x, y); clipped to the picture.
void DrawText(Raster& picture, int x, int y, std::string_view text, Rgb colour);

}  // namespace tidemark::views
