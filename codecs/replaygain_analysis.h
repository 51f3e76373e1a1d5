// The loudness analysis behind the ReplayGain tags the FLAC writer stores:
// the integrated loudness of ITU-R BS.1770-4 / EBU R128 (K-weighting,
// 400 ms blocks every 100 ms, an absolute gate at -70 LUFS and a relative
// gate 10 LU below the mean of the blocks above it; left and right weighted
// 1), against the ReplayGain 2.0 reference level of -18 LUFS, stored as the
// customary "89 dB" reference loudness. The track gain is -18 minus the
// loudness; the track peak is the largest sample magnitude (1.0 = full
// scale). Samples that are not finite count as 0 in both. A document with
// no block above the absolute gate (silence) gets gain 0 and its peak.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/codec_progress.h"
#include "formats/tags/vorbis_comments.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

inline constexpr double kReplayGainReferenceLufs = -18.0;

// Integrated loudness in LUFS of interleaved samples; -inf when every block
// is below the absolute gate (or there is no whole block).
class LoudnessMeter {
 public:
  LoudnessMeter(std::uint32_t rate, std::uint16_t channels);
  void Add(std::span<const float> interleaved);
  double IntegratedLufs() const;
  float peak() const { return peak_; }

 private:
  std::uint16_t channels_;
  std::uint32_t step_frames_;  // 100 ms
  double b_[5]{}, a_[5]{};
  std::vector<std::array<double, 4>> x_, y_;  // filter history per channel
  std::vector<double> step_sums_;             // per channel, the current 100 ms
  std::uint32_t step_filled_ = 0;
  std::vector<double> steps_;                 // mean square (weighted sum) of each finished 100 ms
  float peak_ = 0;
};

// Analyses the whole document; the progress hook sees the frames read.
// The document's read errors, kCancelled.
[[nodiscard]] Error AnalyseReplayGain(const SoundDocument& document, const CodecProgress& progress,
                                      ReplayGainValues* values);

}  // namespace tidemark
