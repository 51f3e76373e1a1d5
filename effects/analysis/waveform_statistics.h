// The statistics of a selection as scripts and the console see them: every
// key of the waveform information, measured by one statistics scan.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

struct SoundDocument;
class ProgressScope;

struct ChannelStatistics {
  double instant_max = 0;  // "InstantMax": largest sample value
  double instant_min = 0;  // "InstantMin": smallest sample value
  double offset = 0;       // "Offset": sum / n
  double mean_square = 0;  // "MeanSquare": sum of squares / (n - 1) (/ n when n < 2)
  double variance = 0;     // "Variance": (sum of squares - n mean^2) / (n - 1) (/ n when n < 2)
};

struct WaveformStatistics {
  double instant_peak = 0;              // "InstantPeak"
  std::uint32_t instant_peak_pos = 0;   // "InstantPeakPos": frame from the document start
  double rms = 0;                       // "Rms"
  // "ShortRmsPeak": √(largest Σ x² of a one-second window (W = the rate)
  // / (W × channels)). The selection counts as preceded by silence and
  // every frame ends a window, so a selection shorter than W gives its
  // whole energy spread over one second, √(Σ x² / (W × channels)).
  double short_rms_peak = 0;
  // "ShortRmsPeakPos": the last frame of that window (the earliest such
  // frame on a tie; for a selection shorter than W, the last frame that
  // added energy).
  std::uint32_t short_rms_peak_pos = 0;
  std::uint16_t channels = 0;
  std::array<ChannelStatistics, 2> channel{};
};

// Measures [start, start + length) of every channel of `document` under
// `scope` (progress and cancel). `weighting` is the weighting option as
// NS_EFFECT::ParseWeighting reads it ("0" or empty: none; the filters add
// "A", "B", "C", "D"): an unknown or not yet available one gives
// err::kSizeLimit (77) before anything runs, and ParseWeighting gives the
// message. 0xFFFFFFFB for an empty stretch, 0xFFFFFFFF when cancelled.
[[nodiscard]] Error MeasureWaveform(ProgressScope& scope, const SoundDocument& document, std::uint32_t start,
                                    std::uint32_t length, std::string_view weighting, WaveformStatistics* result);

}  // namespace tidemark
