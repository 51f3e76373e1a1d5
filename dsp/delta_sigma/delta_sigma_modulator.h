// PCM to 1-bit conversion: interpolation to the 1-bit rate and a delta-sigma
// loop with a two-level quantiser.
//
// The quantiser's levels are -0.5 (bit 0) and +0.5 (bit 1). A 1-bit stream
// reads back as 2 × the mean of its bits taken as ±1, so PCM full scale
// (±1.0) is 50 % modulation: the loop's input is PCM × 0.25. Bits are packed
// eight to a byte per channel, the earliest in the most significant bit, or
// in the least significant bit on request.
//
// The loop's states are held within a fixed bound: after every output byte
// a state beyond it is clipped, and after a long stretch of clipping (an
// input the loop cannot follow) the states are cleared so the loop restarts
// cleanly. The two channels run side by side in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dsp/delta_sigma/internal/delta_sigma_design.h"
#include "dsp/delta_sigma/internal/half_band_interpolator.h"
#include "platform/error.h"

namespace tidemark::dsp {

struct DeltaSigmaOptions {
  DeltaSigmaMode mode = DeltaSigmaMode::kTenthOrder;
  std::uint32_t one_bit_rate = 0;
  std::uint32_t pcm_rate = 0;
  std::uint16_t channels = 0;
  bool lsb_first = false;  // DSF bit order
};

class DeltaSigmaModulator {
 public:
  static constexpr std::uint32_t kMinRatio = 8;
  static constexpr std::uint32_t kMaxRatio = 512;
  static constexpr int kMaxChannels = 2;
  // The bound on every loop state (states are scaled to unit RMS of the
  // shaped noise in the linear model).
  static constexpr double kStateLimit = 8.0;

  DeltaSigmaModulator() = default;
  DeltaSigmaModulator(const DeltaSigmaModulator&) = delete;
  DeltaSigmaModulator& operator=(const DeltaSigmaModulator&) = delete;

  // Returns err::kUnsupportedFormat when a rate is 0, the 1-bit rate is not
  // pcm_rate × a power of two in [kMinRatio, kMaxRatio], the channel count is
  // not 1 or 2 or the mode is unknown; err::kOutOfMemory when the buffers
  // cannot be allocated. On failure the modulator is left unusable.
  [[nodiscard]] Error Init(const DeltaSigmaOptions& options);

  // Converts `frames` interleaved float frames; channel c's bytes
  // (frames × ratio / 8 of them) go to channel_bytes[c]. Samples beyond ±1
  // are clipped and NaN is taken as 0. Returns err::kUnsupportedFormat when
  // the modulator is not initialised or a pointer is missing.
  [[nodiscard]] Error Process(const float* interleaved, std::uint32_t frames, std::uint8_t* const* channel_bytes);

  // The interpolation delay in PCM frames: output byte k × ratio / 8 onwards
  // carries the input from frame k - latency_frames() on.
  std::uint32_t latency_frames() const { return ratio_ == 0 ? 0 : interpolator_.delay(); }

  // Back to the state after Init: silent history, zero loop states.
  void Reset();

  std::uint32_t ratio() const { return ratio_; }
  const DeltaSigmaLoop& loop() const { return loop_; }
  // Since Init or Reset: the largest |state| seen at a byte's end before
  // clipping, the output bytes after which some state was clipped, and the
  // number of state clears.
  double peak_state() const { return peak_state_; }
  std::uint64_t clipped_bytes() const { return clipped_bytes_; }
  std::uint64_t restarts() const { return restarts_; }

 private:
  template <int kSections>
  void Modulate(std::size_t samples, std::uint8_t* const* out);

  DeltaSigmaLoop loop_;
  DeltaSigmaOptions options_;
  std::uint32_t ratio_ = 0;
  std::size_t chunk_frames_ = 0;
  HalfBandInterpolator interpolator_;
  std::unique_ptr<ChannelPair[]> pcm_;   // one chunk, in loop units
  std::unique_ptr<ChannelPair[]> fine_;  // one chunk at the 1-bit rate
  ChannelPair state_[kMaxDeltaSigmaOrder] = {};
  std::uint32_t clip_run_ = 0;  // output bytes in a row with a clipped state
  double peak_state_ = 0.0;
  std::uint64_t clipped_bytes_ = 0;
  std::uint64_t restarts_ = 0;
};

}  // namespace tidemark::dsp
