#include "views/waveform_picture.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/error_numbers.h"
#include "views/bitmap_font.h"
#include "views/internal/picture_frame.h"

namespace tidemark::views {
namespace {

int RowOf(double v, int top, int bottom) {
  return top + static_cast<int>(std::lround((1.0 - v) * (bottom - top - 1) / 2.0));
}

void DrawLevelScale(Raster& picture, const internal::PictureLayout& layout, const WaveformOptions& options) {
  if (layout.scale_width == 0) return;
  picture.FillRect(0, 0, layout.scale_width, layout.plot_height, internal::kFrameBackground);
  for (int c = 0; c < layout.channels; ++c) {
    const int top = layout.PaneTop(c), bottom = layout.PaneBottom(c);
    const bool room = bottom - top >= 5 * (kGlyphHeight + 2);
    for (const double v : {1.0, 0.5, 0.0, -0.5, -1.0}) {
      if (!room && std::fabs(v) == 0.5) continue;
      if (v == -1.0 && c + 1 < layout.channels) continue;  // the next pane's +1 sits right below
      std::string label;
      if (options.decibel_scale)
        label = v == 0 ? "-INF" : internal::FormatTick((1.0 - std::fabs(v)) * options.floor_db, 1);
      else
        label = internal::FormatTick(v, 0.5);
      const int y = RowOf(v, top, bottom);
      picture.HorizontalLine(layout.scale_width - 3, layout.scale_width, y, internal::kFrameText);
      const int ty = std::clamp(y - kGlyphHeight / 2, top, bottom - kGlyphHeight);
      DrawText(picture, layout.scale_width - 4 - TextWidth(label), ty, label, internal::kFrameText);
    }
  }
}

}  // namespace

double WaveformLevel(double x, const WaveformOptions& options) {
  x = std::clamp(x, -1.0, 1.0);
  if (!options.decibel_scale) return x;
  const double magnitude = std::fabs(x);
  if (magnitude == 0) return 0;
  const double db = 20 * std::log10(magnitude);
  const double v = std::max(0.0, 1.0 - db / options.floor_db);
  return x < 0 ? -v : v;
}

Error RenderWaveform(const SoundDocument& document, std::uint32_t from, std::uint32_t to,
                     const WaveformOptions& options, const ViewProgress& progress, Raster* picture) {
  if (options.width < 1 || options.height < 1 || options.width > kMaxPictureSide ||
      options.height > kMaxPictureSide || !(options.floor_db < 0))
    return err::kSizeLimit;
  if (from >= to || to > document.length) return err::kSizeLimit;
  const internal::PictureLayout layout = internal::LayoutPicture(options.width, options.height, document.channels);
  if (layout.plot_height < layout.channels) return err::kSizeLimit;
  ColumnPeaks peaks;
  if (const Error rc = ScanColumnPeaks(document, from, to, layout.plot_width, progress, &peaks)) return rc;
  if (const Error rc = picture->Allocate(options.width, options.height, kPaneBackground)) return rc;
  Raster& p = *picture;

  std::uint32_t sel_from = 0, sel_to = 0;
  GetSelection(document, &sel_from, &sel_to);
  for (int x = 0; x < layout.plot_width; ++x) {
    const std::uint32_t b = peaks.BucketOfColumn(x, layout.plot_width);
    const bool selected = sel_from < sel_to && peaks.BucketStart(b) < sel_to && peaks.BucketStart(b + 1) > sel_from;
    const int px = layout.plot_x + x;
    for (int c = 0; c < layout.channels; ++c) {
      const int top = layout.PaneTop(c), bottom = layout.PaneBottom(c);
      if (selected) p.VerticalLine(px, top, bottom, kSelectionBackground);
      p.Set(px, RowOf(0, top, bottom), kCentreLine);
      const std::size_t at = std::size_t(c) * peaks.buckets + b;
      const int high = RowOf(WaveformLevel(peaks.max[at], options), top, bottom);
      const int low = RowOf(WaveformLevel(peaks.min[at], options), top, bottom);
      p.VerticalLine(px, high, low + 1, kPeakColour);
      const double r = peaks.rms[at];
      const int rms_high = std::max(high, RowOf(WaveformLevel(r, options), top, bottom));
      const int rms_low = std::min(low, RowOf(WaveformLevel(-r, options), top, bottom));
      if (rms_high <= rms_low) p.VerticalLine(px, rms_high, rms_low + 1, kRmsColour);
    }
  }
  DrawLevelScale(p, layout, options);
  internal::DrawTimeRuler(p, layout, from, to - from, document.rate);
  internal::DrawMarkers(p, layout, document, from, to - from);
  return err::kOk;
}

}  // namespace tidemark::views
