// One analysed channel of click removal: its sliding block, the pre-check,
// the detector and the repair. Each channel owns every buffer it writes, so
// channels can be analysed as concurrent tasks; the plans they read (FFT
// tables, windows) are shared and read-only.
#pragma once

#include <cstdint>
#include <memory>

#include "dsp/fft/real_fft.h"
#include "platform/error.h"

namespace tidemark::NS_EFFECT {

// The sizes of the analysis for one sample rate. A block is `margin` frames
// of repaired past, a hop of new frames whose clicks are repaired now, and
// `margin` frames of future that the detector and the interpolation look
// at. The run analyses kHopsPerRun hops at a time (one OpenMP task per
// channel for all of them, so the tasks are worth their start), over a
// span of margin + kHopsPerRun hops + margin; its latency is kHopsPerRun
// hops + margin.
struct DeclickGeometry {
  static constexpr int kOrder = 32;        // the detector's prediction order
  static constexpr int kRepairOrder = 64;  // the order of a stretch's own model
  static constexpr std::uint32_t kHopsPerRun = 8;

  std::uint32_t window = 0;       // N: pre-check window, a power of two >= rate / 200
  std::uint32_t hop = 0;          // 16 N
  std::uint32_t margin = 0;       // 4 N, more than half the average plus the order
  std::uint32_t block = 0;        // margin + hop + margin
  std::uint32_t span = 0;         // margin + kHopsPerRun hops + margin
  std::uint32_t fft = 0;          // convolution size, a power of two >= block + order
  std::uint32_t average = 0;      // w: the level's moving average, 2 floor(rate / 100) + 1 frames
  std::uint32_t max_stretch = 0;  // longer runs of outliers are sound, not clicks
  // Pre-check bins: the nearest to 2 kHz up to the nearest to 20 kHz, below
  // the Nyquist bin. None (band_lo > band_hi) at rates up to about 4 kHz.
  std::uint32_t band_lo = 0;
  std::uint32_t band_hi = 0;

  static DeclickGeometry ForRate(std::uint32_t rate);
  bool HasBand() const { return band_lo <= band_hi; }
};

// What the detector and the repair are told.
struct DeclickSettings {
  float threshold = 20.0f;  // the first detection parameter, 15..25
  float factor = 1.0f;      // 1..4
  float limit = 31.6227766f;  // 10^(level / 2000): largest repaired value over the context's RMS
};

// The read-only tables every channel shares.
struct DeclickPlans {
  dsp::RealFft<float> window_fft;  // N
  dsp::RealFft<float> block_fft;   // geometry.fft
  std::unique_ptr<float[]> hann;   // N weights for the pre-check
  std::unique_ptr<double[]> block_hann;  // block weights for the model estimate
  std::unique_ptr<double[]> local_hann;  // margin weights for a stretch's own model
};

// Aligned to a cache line so that two channels analysed on two threads
// never share one.
class alignas(64) DeclickChannel {
 public:
  [[nodiscard]] Error Allocate(const DeclickGeometry& geometry);
  void Reset();

  // The analysed samples (finite, non-finite ones read as 0) and what the
  // repairs added to them, span frames each.
  float* samples() { return samples_.get(); }
  const float* changes() const { return changes_.get(); }

  // Makes the block of hop `hop` of the span the one analysed.
  void SetHop(const DeclickGeometry& g, std::uint32_t hop) { at_ = hop * g.hop; }

  // True when some pair of windows in the hop shows a broadband rise: 0.9 x
  // the power of a window beats the window N frames before it in at least
  // three quarters of the band's bins. Windows start every N / 4 frames so
  // that every click up to N / 4 frames lies in the middle half of one.
  bool PreCheck(const DeclickGeometry& g, const DeclickPlans& plans);

  // Detects and repairs the clicks that start at block frames [from, to)
  // (inside the hop); the selection covers block frames [selection_lo,
  // selection_hi). Returns the block frame after the last run of outliers
  // handled (or `from`), so that the next hop does not look at it again, and
  // counts the repaired stretches.
  std::uint32_t DetectAndRepair(const DeclickGeometry& g, const DeclickPlans& plans, const DeclickSettings& s,
                                std::uint32_t from, std::uint32_t to, std::uint32_t selection_lo,
                                std::uint32_t selection_hi, std::uint32_t* repaired);

  // Moves the span on by kHopsPerRun hops.
  void Shift(const DeclickGeometry& g);

 private:
  void Levels(const float* error, double* sums, float ratio);
  // Which of the frame's errors (bit 0 forward, bit 1 backward) stand out.
  std::uint32_t Flags(std::uint32_t n, float ratio) const;
  bool Repair(const DeclickGeometry& g, std::uint32_t start, std::uint32_t m, int order, float limit);

  std::unique_ptr<float[]> samples_;
  std::unique_ptr<float[]> changes_;
  std::unique_ptr<float[]> fft_a_;    // geometry.fft floats
  std::unique_ptr<float[]> fft_b_;    // geometry.fft floats
  std::unique_ptr<float[]> fft_work_;  // 2 x geometry.fft
  std::unique_ptr<float[]> spectra_;  // 5 band spectra: a window and the four before it
  std::unique_ptr<float[]> fft_c_;    // geometry.fft floats
  std::unique_ptr<double[]> first_sums_;     // block + 1 prefix sums of |error|
  std::unique_ptr<double[]> forward_sums_;   // the same with the outliers at the first mean
  std::unique_ptr<double[]> backward_sums_;  // the same for the backward error
  std::unique_ptr<double[]> model_work_;
  std::unique_ptr<double[]> gap_work_;
  std::unique_ptr<double[]> gap_values_;
  std::unique_ptr<std::uint32_t[]> stretches_;  // start and length of each stretch of a hop
  double filter_[DeclickGeometry::kRepairOrder + 1] = {};
  std::uint32_t block_ = 0;
  std::uint32_t span_ = 0;
  std::uint32_t at_ = 0;  // the analysed block's first frame in the span
  std::uint32_t average_ = 0;
  std::uint32_t selection_lo_ = 0;  // the selection's block frames in this hop
  std::uint32_t selection_hi_ = 0;
};

}  // namespace tidemark::NS_EFFECT
