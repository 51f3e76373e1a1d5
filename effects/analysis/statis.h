// The statistics run: sums, extremes, squares and the short-term RMS of a
// stretch, measured block by block as a scan feeds it (the samples are left
// as they are). Normalize and the waveform information read their levels
// from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "effects/analysis/weighting.h"
#include "effects/framework/effect_run.h"
#include "platform/error.h"

namespace tidemark::NS_EFFECT {

// What a CStatis measures (its flag set).
namespace statis_flag {
inline constexpr std::uint32_t kSums = 1;      // per-channel sum
inline constexpr std::uint32_t kExtremes = 2;  // per-channel maximum and minimum with their frames
inline constexpr std::uint32_t kSquares = 4;   // per-channel sum of squares
inline constexpr std::uint32_t kShortRms = 8;  // the short-term window over the processed channels
inline constexpr std::uint32_t kAll = 15;
}  // namespace statis_flag

// The running window sum is recomputed exactly after every this many
// windows of `window` frames.
constexpr std::uint32_t RecomputeWindows(std::uint32_t window) {
  const std::uint32_t n = (window / 2 + 256000u) / window;
  return n > 0 ? n : 1;
}

// The raw measures of one stretch; frames count from the document start.
struct StatisResult {
  struct Channel {
    double sum = 0;
    double sum_of_squares = 0;  // of the weighted samples
    float maximum = 0;
    std::uint32_t maximum_frame = 0;
    float minimum = 0;
    std::uint32_t minimum_frame = 0;
  };
  std::uint32_t frames = 0;
  std::uint32_t mask = 0;  // the channels measured
  std::array<Channel, 2> channel{};
  double largest_window_sum = 0;         // Σ x² of the loudest window, processed channels
  std::uint32_t largest_window_end = 0;  // the last frame of that window
};

class CStatis : public CEffRun {
 public:
  static constexpr std::uint16_t kMaxChannels = 2;

  // A run measuring `flags` with a short-term window of `window` frames
  // (at least 1), frames counted from `origin`, squares taken after the
  // weighting `letter` (0: none) designed for `rate`. 2 out of memory, 77
  // for a window of 0 or a weighting this build does not have.
  [[nodiscard]] static Error Create(std::uint32_t flags, std::uint32_t window, std::uint32_t origin,
                                    char weighting, std::uint32_t rate, std::unique_ptr<CStatis>* run);

  // Measures the channels of `mask` (77 for more than two channels, or a
  // channel count other than that of the first block).
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::string GetName() const override;

  // Valid once at least one frame was measured (zeros before).
  StatisResult result() const;
  // How often the running window sum has been recomputed exactly.
  std::uint64_t recompute_count() const { return recomputes_; }
  // Lets tests run the baseline vector kernels on a processor that has
  // wider ones (true: use them where the processor has them).
  static void AllowWideVectors(bool allowed);

  // The figures over the channels measured. Peak: max(|maximum|, |minimum|);
  // its frame is the earliest that reaches it.
  double Peak(std::uint32_t* frame = nullptr) const;
  // √(Σ squares / (N − 1)), N = frames × channels measured (/ N when N < 2).
  double Rms() const;
  // √(largest window sum / (W × channels measured)). The ring starts
  // silent, so the stretch counts as preceded by silence and every frame
  // ends a window: for a stretch shorter than W this is the stretch's whole
  // energy spread over W frames, and its frame is the last frame that added
  // energy.
  double ShortRmsPeak(std::uint32_t* frame = nullptr) const;

 private:
  // Frames are measured in chunks of this many (the weighted copy and the
  // frame powers of one chunk).
  static constexpr std::uint32_t kChunkFrames = 1024;
  // Sums and extremes run in this many lanes of interleaved samples, so
  // that the operations overlap while the result stays independent of the
  // block split. A power of two, and so a multiple of both channel counts.
  static constexpr std::uint32_t kLanes = 8;
  using Lanes = std::array<double, kLanes>;

  CStatis(std::uint32_t flags, std::uint32_t window, std::uint32_t origin, std::unique_ptr<float[]> ring,
          StatisWeightingPtr weighting);
  void MeasureSums(const float* buffer, const float* squared, std::uint32_t samples);
  void MeasureExtremes(const float* buffer, std::uint32_t frames, std::uint32_t mask);
  void MeasureWindow(const float* squared, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask);
  // Moves the window over `n` frames given the change each makes; only the
  // first `compared` of them may become the largest window.
  void AdvanceWindow(const double* change, std::uint32_t n, std::uint32_t first, std::uint32_t compared);
  std::uint32_t MeasuredChannels() const;

  std::uint32_t flags_;
  std::uint32_t window_;
  std::uint32_t origin_;
  StatisWeightingPtr weighting_;
  std::array<float, kChunkFrames * kMaxChannels> weighted_{};
  std::array<float, kChunkFrames> power_{};
  std::array<double, kChunkFrames> change_{};
  // Sums, squares and extremes; the sums and squares of result_ are filled
  // from the lanes when asked.
  StatisResult result_;
  Lanes sum_lanes_{};
  Lanes square_lanes_{};
  std::uint16_t channels_ = 0;  // fixed by the first block
  // The short-term window: W per-frame powers, the oldest overwritten, and
  // their running sum.
  std::unique_ptr<float[]> ring_;
  std::uint32_t ring_at_ = 0;
  double running_ = 0;  // the window sum at the start of the current group
  double partial_ = 0;  // the changes of the current group so far
  std::uint32_t in_group_ = 0;
  double largest_ = -1;  // below any sum: the first frame always sets it
  std::uint64_t recompute_every_ = 0;  // frames
  std::uint64_t since_recompute_ = 0;
  std::uint64_t recomputes_ = 0;
};

}  // namespace tidemark::NS_EFFECT
