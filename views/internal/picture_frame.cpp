#include "views/internal/picture_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "views/bitmap_font.h"

namespace tidemark::views::internal {

PictureLayout LayoutPicture(int width, int height, std::uint16_t channels) {
  PictureLayout l;
  l.channels = channels == 0 ? 1 : channels;
  l.scale_width = width >= 160 ? 30 : 0;
  l.ruler_height = height >= 40 * l.channels + 12 ? 12 : 0;
  l.plot_x = l.scale_width;
  l.plot_width = width - l.scale_width;
  l.plot_height = height - l.ruler_height;
  return l;
}

int ColumnOfFrame(const PictureLayout& layout, std::uint32_t frame, std::uint32_t from, std::uint32_t length) {
  const std::uint64_t offset = frame - from;
  const int column = static_cast<int>(offset * static_cast<std::uint64_t>(layout.plot_width) / length);
  return layout.plot_x + std::min(column, layout.plot_width - 1);
}

std::string FormatTick(double value, double step) {
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void DrawTimeRuler(Raster& picture, const PictureLayout& layout, std::uint32_t from, std::uint32_t length,
                   std::uint32_t rate) {
  if (layout.ruler_height == 0) return;
  const int top = layout.plot_height;
  picture.FillRect(0, top, picture.width(), picture.height(), kFrameBackground);
  const double start = double(from) / rate, span = double(length) / rate;
  const double end_text = TextWidth(FormatTick(start + span, span / 8)) + 10;
  // The smallest step of 1, 2 or 5 times a power of ten whose labels fit.
  const double wanted = span * end_text / std::max(1, layout.plot_width);
  double step = std::pow(10.0, std::floor(std::log10(std::max(wanted, 1e-9))));
  for (const double f : {1.0, 2.0, 5.0, 10.0}) {
    if (step * f >= wanted) {
      step *= f;
      break;
    }
  }
  for (double t = std::ceil(start / step) * step; t <= start + span + step * 1e-9; t += step) {
    const int x = layout.plot_x + static_cast<int>((t - start) / span * layout.plot_width);
    if (x >= picture.width()) break;
    picture.VerticalLine(x, top, top + 3, kFrameText);
    const std::string label = FormatTick(t, step);
    const int w = TextWidth(label);
    DrawText(picture, std::clamp(x - w / 2, layout.plot_x, picture.width() - w), top + 5, label, kFrameText);
  }
}

void DrawMarkers(Raster& picture, const PictureLayout& layout, const SoundDocument& document, std::uint32_t from,
                 std::uint32_t length) {
  int number = 0;
  for (const Marker* m = document.markers.first(); m; m = m->next) {
    ++number;
    if (m->position < from || m->position - from > length) continue;
    const int x = ColumnOfFrame(layout, m->position, from, length);
    picture.VerticalLine(x, 0, layout.plot_height, kMarkerColour);
    const std::string label = m->name.empty() ? std::to_string(number) : m->name.substr(0, 24);
    const int w = TextWidth(label);
    const int lx = std::min(x + 2, picture.width() - w - 1);
    picture.FillRect(lx - 1, 0, lx + w + 1, kGlyphHeight + 2, kFrameBackground);
    DrawText(picture, lx, 1, label, kMarkerColour);
  }
}

}  // namespace tidemark::views::internal
