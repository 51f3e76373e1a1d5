// The silence search: finds the gaps of a stretch, where the sound stays at
// or below a threshold, block by block as a scan feeds it (the samples are
// left as they are). The console marks or deletes what it reports.
//
// Where a gap lies. Frame i's power is Σ x² over the masked channels (after
// the optional weighting). The window ending at frame k holds the W frames
// k − W + 1 … k; it is quiet when its power sum is at or below
// W × channels × 10^(threshold_db / 10). Only whole windows inside the
// stretch count. A frame is silent when some quiet window holds it, so a
// gap is the union of overlapping quiet windows: it starts at the first
// frame of its first quiet window and ends after the last frame of its last
// one. Sound that ends at frame e − 1 followed by digital silence gives a
// gap starting at e exactly; sound resuming at frame s ends it at s.
//
// The search. Silent and sound frames form alternating runs. A sound run of
// at most `burst` frames between two silent runs does not end the gap: the
// gap goes on across it. A gap is reported when it lasts at least `min_gap`
// frames and the sound before it (since the end of the last reported gap)
// lasted at least `min_sound` frames; a gap at the start of the stretch
// follows no sound and needs only its length. A gap that is not reported
// belongs to the sound around it.
//
// Non-finite samples. A frame whose power is not finite (a NaN or infinite
// sample, or an overflow) or exceeds the window threshold on its own makes
// every window holding it loud; it enters the running sum as 0 and is
// counted apart, so it never reaches the sum; a weighting filter sees 0 in
// place of a non-finite sample, so it never reaches the filter's state
// either. NaN and infinity are thus sound, never silence, and the windows
// after them are measured as if they had not been there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/analysis/weighting.h"
#include "effects/framework/effect_run.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;
class ProgressScope;

namespace NS_EFFECT {

struct SilenceSettings {
  std::uint32_t window = 441;  // W, frames (at least 1)
  double threshold_db = -60;   // the mean power per sample of a quiet window, dB full scale
  std::uint32_t min_gap = 0;   // frames
  std::uint32_t min_sound = 0;  // frames
  std::uint32_t burst = 0;     // frames of sound a gap may hold
  char weighting = 0;          // 'A'..'D', 0 for none
  std::uint32_t rate = 44100;  // the weighting's design rate
};

// A reported gap: frames [start, end) counted from the document start.
struct SilenceGap {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  friend bool operator==(const SilenceGap&, const SilenceGap&) = default;
};

class CSearchSilence : public CEffRun {
 public:
  static constexpr std::uint16_t kMaxChannels = 2;

  // A search with `settings`, frames counted from `origin`. 2 out of memory,
  // 77 for a window of 0, a threshold that is not finite or a weighting this
  // build does not have.
  [[nodiscard]] static Error Create(const SilenceSettings& settings, std::uint32_t origin,
                                    std::unique_ptr<CSearchSilence>* run);

  // Measures the channels of `mask` (77 for more than two channels, or a
  // channel count other than that of the first block; the first block's
  // mask fixes the channel count of the threshold). 2 when the list of gaps
  // cannot grow.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  // After the last block: classifies the last W − 1 frames and closes a gap
  // still open at the stretch's end. 2 out of memory.
  [[nodiscard]] Error Finish();
  void Reset() override;
  std::string GetName() const override;

  const std::vector<SilenceGap>& gaps() const { return gaps_; }
  // The window threshold in force (0 before the first block).
  double threshold() const { return threshold_; }
  // The running sum of the window ending at the last frame fed, excluding
  // frames counted apart (for checking its drift).
  double running_sum() const { return running_; }
  // How often the running sum was recomputed exactly, and the largest
  // difference a recomputation found.
  std::uint64_t recompute_count() const { return recomputes_; }
  double largest_correction() const { return largest_correction_; }

 private:
  static constexpr std::uint32_t kChunkFrames = 1024;

  CSearchSilence(const SilenceSettings& settings, std::uint32_t origin, std::unique_ptr<double[]> ring,
                 StatisWeightingPtr weighting);
  template <typename Power>
  void Measure(const float* samples, std::uint32_t frames, std::uint16_t channel);
  // The window's exact sum, noting how far `running` was from it.
  double Recompute(double running);
  // The next frame in order is final: silent or not.
  void Classify(bool silent);
  // A maximal run of frames of one kind, [start, start + length) of the stretch.
  void Run(std::uint64_t start, std::uint64_t length, bool silent);
  void CloseGap(std::uint64_t end);

  SilenceSettings settings_;
  std::uint32_t origin_;
  StatisWeightingPtr weighting_;
  std::vector<float> weighted_;
  std::uint16_t channels_ = 0;  // fixed by the first block
  std::uint32_t mask_ = 0;
  double threshold_ = 0;

  // The window: W frame powers (a frame counted apart holds -1), the
  // running sum of those at or above 0, and exact counts of the frames
  // counted apart and of those with a power above 0 (a window without any
  // is exactly 0, whatever the rounding of the running sum left).
  std::unique_ptr<double[]> ring_;
  std::uint32_t ring_at_ = 0;
  double running_ = 0;
  std::uint32_t apart_ = 0;
  std::uint32_t nonzero_ = 0;
  std::uint64_t recompute_every_ = 0;  // frames
  std::uint64_t since_recompute_ = 0;
  std::uint64_t recomputes_ = 0;
  double largest_correction_ = 0;

  std::uint64_t fed_ = 0;                  // frames measured
  std::int64_t last_quiet_end_ = -1;       // the last frame of the latest quiet window
  std::uint64_t classified_ = 0;           // frames given a kind
  std::uint64_t run_start_ = 0;
  bool run_silent_ = false;

  // The search's state over the runs.
  bool in_gap_ = false;
  bool burst_pending_ = false;  // a short sound run inside the gap, not yet followed by silence
  std::uint64_t gap_start_ = 0;
  std::uint64_t burst_start_ = 0;
  std::uint64_t sound_start_ = 0;  // where the sound since the last reported gap began
  std::vector<SilenceGap> gaps_;
  bool out_of_memory_ = false;  // a gap could not be kept
};

// Searches [start, start + length) of the channels of `mask` of `document`
// under `scope` (progress and cancel) and gives the gaps. 0xFFFFFFFB for an
// empty stretch, 0xFFFFFFFF when cancelled, 77 for bad settings, a document
// of more than two channels or a range outside it.
[[nodiscard]] Error SearchSilence(ProgressScope& scope, const SoundDocument& document, std::uint32_t start,
                                  std::uint32_t length, std::uint32_t mask, const SilenceSettings& settings,
                                  std::vector<SilenceGap>* gaps);

}  // namespace NS_EFFECT
}  // namespace tidemark
