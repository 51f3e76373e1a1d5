// The spectrogram of a document range as a picture: one pane per channel,
// time to the right, frequency upwards, the level of each point coloured
// on a logarithmic (decibel) scale from `floor_db` (black) to 0 dBFS
// (pale yellow); a frequency scale on the left, the time ruler, markers.
//
// Analysis frames of fft_size frames are centred every hop = fft_size *
// (1 - overlap) frames from `from`, windowed and transformed with the dsp
// FFT; frames near the ends take their neighbours from the document where
// there are any, silence elsewhere. A column shows the strongest power of
// the frames centred in it (a frame spreads over the following columns
// when there are fewer frames than columns). A full-scale sine reads
// 0 dB at its bin.
//
// Pane rows, counted from the pane's bottom row r = 0 to h - 1, cover
// frequencies [f(r), f(r + 1)) with f(r) = r / h * rate / 2 (linear) or
// f(r) = f0 * (rate / 2 / f0)^(r / h), f0 = max(20 Hz, rate / fft_size)
// (logarithmic); a row shows the strongest bin whose centre falls in it
// (the nearest bin when none does).
//
// Streaming: SegmentCursor reads the range once, in order; each hop's new
// frames are appended to a sliding history of fft_size frames per channel.
// Memory is the history, one FFT plan and work buffer, one column of
// levels per channel and the picture: nothing grows with the range.
// Samples are clipped to [-1, 1] and NaN counts as 0 (column_peaks.h).
#pragma once

#include <cstdint>

#include "core/document/sound_document.h"
#include "platform/error.h"
#include "views/column_peaks.h"
#include "views/raster.h"

namespace tidemark::views {

enum class SpectrumWindow { kHann, kBlackmanHarris };

inline constexpr std::uint32_t kMinFftSize = 256;
inline constexpr std::uint32_t kMaxFftSize = 16384;

struct SpectrogramOptions {
  int width = 1200;
  int height = 400;
  std::uint32_t fft_size = 2048;  // a power of two, kMinFftSize to kMaxFftSize
  SpectrumWindow window = SpectrumWindow::kHann;
  double overlap = 0.5;       // 0 to 0.95
  double floor_db = -120;     // below 0
  bool log_frequency = false;
};

// Renders [from, to) of `document` (from < to <= length; sides 1 to
// kMaxPictureSide). 77 for a bad range, size or setting, 2 out of memory,
// the read errors, 0xFFFFFFFF when cancelled.
[[nodiscard]] Error RenderSpectrogram(const SoundDocument& document, std::uint32_t from, std::uint32_t to,
                                      const SpectrogramOptions& options, const ViewProgress& progress,
                                      Raster* picture);

// The colour of `db` on the scale from `floor_db` to 0 (brighter is louder:
// r + g + b rises with the level).
Rgb SpectrogramColour(double db, double floor_db);

// The lowest frequency of pane row `row` (0 the bottom) of `rows`.
double SpectrogramRowFrequency(int row, int rows, std::uint32_t rate, const SpectrogramOptions& options);

}  // namespace tidemark::views
