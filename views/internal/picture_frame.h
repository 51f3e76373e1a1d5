// What the waveform and the spectrogram share: the layout of a picture
// (level or frequency scale on the left, time ruler at the bottom, the
// channels' panes stacked in the rest), the palette, the ruler and markers.
#pragma once

#include <cstdint>
#include <string>

#include "core/document/sound_document.h"
#include "views/raster.h"

namespace tidemark::views::internal {

inline constexpr Rgb kFrameBackground{24, 24, 28};
inline constexpr Rgb kFrameText{200, 200, 200};
inline constexpr Rgb kMarkerColour{255, 190, 40};

struct PictureLayout {
  int scale_width = 0;   // columns left of the panes
  int ruler_height = 0;  // rows below the panes
  int plot_x = 0, plot_width = 0, plot_height = 0;
  std::uint16_t channels = 1;
  int PaneTop(int channel) const { return channel * plot_height / channels; }
  int PaneBottom(int channel) const { return (channel + 1) * plot_height / channels; }
};

// The scale and the ruler appear only when the picture leaves room for
// them beside panes of a useful size.
PictureLayout LayoutPicture(int width, int height, std::uint16_t channels);

// Ticks and second labels under the panes for frames [from, from + length)
// at `rate`.
void DrawTimeRuler(Raster& picture, const PictureLayout& layout, std::uint32_t from, std::uint32_t length,
                   std::uint32_t rate);

// Each marker inside [from, from + length] as a vertical line through the
// panes, labelled with its name (its number when it has none).
void DrawMarkers(Raster& picture, const PictureLayout& layout, const SoundDocument& document, std::uint32_t from,
                 std::uint32_t length);

// The picture column of absolute frame `frame`.
int ColumnOfFrame(const PictureLayout& layout, std::uint32_t frame, std::uint32_t from, std::uint32_t length);

// `value` with the fewest decimals that still tell steps of `step` apart.
std::string FormatTick(double value, double step);

}  // namespace tidemark::views::internal
