#include "views/spectrogram_picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "core/document/segment_cursor.h"
#include "dsp/fft/real_fft.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "views/bitmap_font.h"
#include "views/internal/picture_frame.h"
#include "views/waveform_picture.h"

namespace tidemark::views {
namespace {

void MakeWindow(SpectrumWindow kind, std::uint32_t n, std::vector<float>* w) {
  const double step = 2 * std::numbers::pi / n;  // periodic: the frames tile without a repeated point
  for (std::uint32_t i = 0; i < n; ++i) {
    const double x = step * i;
    double v;
    if (kind == SpectrumWindow::kHann)
      v = 0.5 - 0.5 * std::cos(x);
    else
      v = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
    (*w)[i] = static_cast<float>(v);
  }
}

// The bins each pane row shows, bottom row first.
struct RowBins {
  std::uint32_t first, last;
};

void DrawFrequencyScale(Raster& picture, const internal::PictureLayout& layout, std::uint32_t rate,
                        const SpectrogramOptions& options) {
  if (layout.scale_width == 0) return;
  picture.FillRect(0, 0, layout.scale_width, layout.plot_height, internal::kFrameBackground);
  const double nyquist = rate / 2.0;
  for (int c = 0; c < layout.channels; ++c) {
    const int top = layout.PaneTop(c), bottom = layout.PaneBottom(c), rows = bottom - top;
    const int labels = std::max(1, rows / (kGlyphHeight + 10));
    std::vector<double> marks;
    if (options.log_frequency) {
      for (double f = 10; f < nyquist; f *= 10) marks.push_back(f);
    } else {
      const double wanted = nyquist / labels;
      double step = std::pow(10.0, std::floor(std::log10(wanted)));
      for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (step * m >= wanted) {
          step *= m;
          break;
        }
      for (double f = 0; f < nyquist; f += step) marks.push_back(f);
    }
    for (const double f : marks) {
      // The row whose range holds f.
      int row = 0;
      while (row + 1 < rows && SpectrogramRowFrequency(row + 1, rows, rate, options) <= f) ++row;
      if (SpectrogramRowFrequency(0, rows, rate, options) > f) continue;
      const int y = bottom - 1 - row;
      const std::string label =
          f >= 1000 ? internal::FormatTick(f / 1000, f >= 10000 ? 1 : 0.1) + "K" : internal::FormatTick(f, 1);
      picture.HorizontalLine(layout.scale_width - 3, layout.scale_width, y, internal::kFrameText);
      const int ty = std::clamp(y - kGlyphHeight / 2, top, bottom - kGlyphHeight);
      DrawText(picture, layout.scale_width - 4 - TextWidth(label), ty, label, internal::kFrameText);
    }
  }
}

}  // namespace

Rgb SpectrogramColour(double db, double floor_db) {
  struct Stop {
    double at;
    Rgb colour;
  };
  static constexpr Stop kStops[] = {{0.0, {0, 0, 0}},        {0.2, {20, 10, 90}},    {0.4, {120, 20, 140}},
                                    {0.6, {220, 50, 40}},    {0.8, {250, 160, 20}},  {1.0, {255, 255, 200}}};
  double t = (db - floor_db) / -floor_db;
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  std::size_t i = 1;
  while (i + 1 < std::size(kStops) && kStops[i].at < t) ++i;
  const Stop& a = kStops[i - 1];
  const Stop& b = kStops[i];
  const double f = (t - a.at) / (b.at - a.at);
  auto mix = [f](std::uint8_t x, std::uint8_t y) { return static_cast<std::uint8_t>(std::lround(x + (y - x) * f)); };
  return {mix(a.colour.r, b.colour.r), mix(a.colour.g, b.colour.g), mix(a.colour.b, b.colour.b)};
}

double SpectrogramRowFrequency(int row, int rows, std::uint32_t rate, const SpectrogramOptions& options) {
  const double nyquist = rate / 2.0;
  const double t = double(row) / rows;
  if (!options.log_frequency) return t * nyquist;
  const double f0 = std::min(nyquist / 2, std::max(20.0, double(rate) / options.fft_size));
  return f0 * std::pow(nyquist / f0, t);
}

Error RenderSpectrogram(const SoundDocument& document, std::uint32_t from, std::uint32_t to,
                        const SpectrogramOptions& options, const ViewProgress& progress, Raster* picture) {
  const std::uint32_t n = options.fft_size;
  if (options.width < 1 || options.height < 1 || options.width > kMaxPictureSide ||
      options.height > kMaxPictureSide || n < kMinFftSize || n > kMaxFftSize || (n & (n - 1)) != 0 ||
      !(options.overlap >= 0 && options.overlap <= 0.95) || !(options.floor_db < 0))
    return err::kSizeLimit;
  if (from >= to || to > document.length || document.channels == 0) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  const internal::PictureLayout layout = internal::LayoutPicture(options.width, options.height, channels);
  if (layout.plot_height < layout.channels) return err::kSizeLimit;
  const std::uint32_t length = to - from;
  const std::uint32_t hop = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(n * (1 - options.overlap))));
  const int columns = layout.plot_width;

  dsp::RealFft<float> fft;
  if (const Error rc = fft.Init(n)) return rc;
  std::vector<float> window, history, frame, spectrum, work, levels, block;
  std::vector<RowBins> bins;
  const int max_rows = layout.PaneBottom(0) - layout.PaneTop(0) + 1;
  if (const Error rc = TryAlloc([&] {
        window.resize(n);
        history.assign(std::size_t{n} * channels, 0.0f);
        frame.resize(n);
        spectrum.resize(n);
        work.resize(fft.work_size());
        levels.assign(std::size_t(max_rows) * channels, 0.0f);
        block.resize(std::size_t{hop} * channels);
        bins.resize(std::size_t(max_rows) * channels);
      }))
    return rc;
  if (const Error rc = picture->Allocate(options.width, options.height, kPaneBackground)) return rc;
  MakeWindow(options.window, n, &window);
  double window_sum = 0;
  for (const float w : window) window_sum += w;
  // Power to dBFS: a full-scale sine has |X| = sum(w) / 2 at its bin.
  const double db_offset = 10 * std::log10(4.0 / (window_sum * window_sum));
  const double bin_width = double(document.rate) / n;
  for (int c = 0; c < channels; ++c) {
    const int rows = layout.PaneBottom(c) - layout.PaneTop(c);
    for (int r = 0; r < rows; ++r) {
      const double lo = SpectrogramRowFrequency(r, rows, document.rate, options) / bin_width;
      const double hi = SpectrogramRowFrequency(r + 1, rows, document.rate, options) / bin_width;
      auto first = static_cast<std::uint32_t>(std::ceil(lo));
      auto last = static_cast<std::uint32_t>(std::max(0.0, std::ceil(hi) - 1));
      if (first > last) first = last = static_cast<std::uint32_t>(std::lround((lo + hi) / 2));
      bins[std::size_t(c) * max_rows + r] = {std::min(first, n / 2), std::min(last, n / 2)};
    }
  }

  // history holds frames [next_read - n, next_read), absolute, interleaved.
  SegmentCursor cursor(document.segments, channels, document.length);
  std::int64_t next_read = std::int64_t{from} - n / 2;
  auto append = [&](std::uint32_t count) -> Error {
    std::memmove(history.data(), history.data() + std::size_t{count} * channels,
                 (std::size_t{n} - count) * channels * sizeof(float));
    float* dst = history.data() + (std::size_t{n} - count) * channels;
    std::int64_t at = next_read;
    std::uint32_t left = count;
    while (left > 0) {
      if (at < 0 || at >= document.length) {
        const std::uint32_t quiet = at < 0 ? static_cast<std::uint32_t>(std::min<std::int64_t>(left, -at)) : left;
        std::fill(dst, dst + std::size_t{quiet} * channels, 0.0f);
        dst += std::size_t{quiet} * channels;
        at += quiet;
        left -= quiet;
        continue;
      }
      const std::uint32_t real = static_cast<std::uint32_t>(std::min<std::int64_t>(left, document.length - at));
      if (cursor.frame() != at) cursor.Seek(static_cast<std::uint32_t>(at));
      if (const Error rc = cursor.ReadFloat(real, dst, channels)) return rc;
      for (std::size_t i = 0; i < std::size_t{real} * channels; ++i) dst[i] = DrawableSample(dst[i]);
      dst += std::size_t{real} * channels;
      at += real;
      left -= real;
    }
    next_read += count;
    return err::kOk;
  };
  for (std::uint32_t filled = 0; filled < n;) {
    const std::uint32_t step = std::min(hop, n - filled);
    if (const Error rc = append(step)) return rc;
    filled += step;
  }

  auto flush = [&](int first_column, int end_column) {
    for (int c = 0; c < channels; ++c) {
      const int top = layout.PaneTop(c), bottom = layout.PaneBottom(c);
      for (int r = 0; r < bottom - top; ++r) {
        const double power = levels[std::size_t(c) * max_rows + r];
        const Rgb colour = SpectrogramColour(power > 0 ? 10 * std::log10(power) + db_offset : -1000, options.floor_db);
        for (int x = first_column; x < end_column; ++x) picture->Set(layout.plot_x + x, bottom - 1 - r, colour);
      }
    }
    std::fill(levels.begin(), levels.end(), 0.0f);
  };

  const std::uint64_t frames = (std::uint64_t{length} + hop - 1) / hop;
  int column = 0;
  for (std::uint64_t j = 0; j < frames; ++j) {
    for (int c = 0; c < channels; ++c) {
      for (std::uint32_t i = 0; i < n; ++i) frame[i] = history[std::size_t{i} * channels + c] * window[i];
      fft.Forward(frame.data(), spectrum.data(), work.data());
      const int rows = layout.PaneBottom(c) - layout.PaneTop(c);
      float* level = levels.data() + std::size_t(c) * max_rows;
      const RowBins* row_bins = bins.data() + std::size_t(c) * max_rows;
      for (int r = 0; r < rows; ++r) {
        float best = level[r];
        for (std::uint32_t k = row_bins[r].first; k <= row_bins[r].last; ++k) {
          float p;
          if (k == 0) p = spectrum[0] * spectrum[0];
          else if (k == n / 2) p = spectrum[1] * spectrum[1];
          else p = spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1];
          best = std::max(best, p);
        }
        level[r] = best;
      }
    }
    const int next_column = j + 1 < frames ? static_cast<int>((j + 1) * hop * std::uint64_t(columns) / length) : columns;
    if (next_column > column) {
      flush(column, next_column);
      column = next_column;
    }
    if (j + 1 < frames) {
      if (const Error rc = append(hop)) return rc;
      if (progress && !progress(std::min<std::uint64_t>((j + 1) * hop, length), length)) return err::kCancelled;
    }
  }
  DrawFrequencyScale(*picture, layout, document.rate, options);
  internal::DrawTimeRuler(*picture, layout, from, length, document.rate);
  internal::DrawMarkers(*picture, layout, document, from, length);
  return err::kOk;
}

}  // namespace tidemark::views
