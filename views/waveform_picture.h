// The waveform overview of a document range as a picture: for each channel
// a pane with, per column, the span from the lowest to the highest sample
// and over it the RMS band (+/- the column's RMS, within that span); a
// level scale on the left, a time ruler in seconds at the bottom, the
// selection's columns shaded and the markers drawn and labelled.
//
// Rows: a pane from row `top` to `bottom` (exclusive) draws level v in
// [-1, 1] at row top + round((1 - v) * (bottom - top - 1) / 2). On the
// decibel scale v is sign(x) * (1 - dB(|x|) / floor_db), 0 below the floor.
//
// The samples are read once, through ScanColumnPeaks (column_peaks.h).
#pragma once

#include <cstdint>

#include "core/document/sound_document.h"
#include "platform/error.h"
#include "views/column_peaks.h"
#include "views/raster.h"

namespace tidemark::views {

inline constexpr int kMaxPictureSide = 16384;

inline constexpr Rgb kPaneBackground{16, 20, 28};
inline constexpr Rgb kSelectionBackground{44, 58, 92};
inline constexpr Rgb kCentreLine{60, 64, 72};
inline constexpr Rgb kPeakColour{70, 170, 110};
inline constexpr Rgb kRmsColour{150, 235, 175};

struct WaveformOptions {
  int width = 1200;
  int height = 400;
  bool decibel_scale = false;
  double floor_db = -60;  // the decibel scale's bottom, below 0
};

// Renders [from, to) of `document` (from < to <= length; sides 1 to
// kMaxPictureSide). 77 for a bad range or size, 2 out of memory, the
// read errors, 0xFFFFFFFF when cancelled.
[[nodiscard]] Error RenderWaveform(const SoundDocument& document, std::uint32_t from, std::uint32_t to,
                                   const WaveformOptions& options, const ViewProgress& progress, Raster* picture);

// The level v that amplitude `x` is drawn at (see above).
double WaveformLevel(double x, const WaveformOptions& options);

}  // namespace tidemark::views
