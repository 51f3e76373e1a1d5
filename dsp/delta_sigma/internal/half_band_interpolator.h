// Interpolation of a signal by a power of two through a cascade of
// Kaiser-windowed half-band stages, each doubling the rate.
//
// Every stage keeps the band [0, 0.4535 × input rate] (20 kHz at 44.1 kHz)
// and holds its images 140 dB down. The first stage carries the narrow
// transition and most of the taps; later stages see an ever wider gap
// between the band and its image and get by with a handful of taps. A delay
// of a few samples at the output rate rounds the cascade's delay up to a
// whole number of input samples. Two channels run side by side, each value a
// pair (first channel, second channel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/error.h"

namespace tidemark::dsp {

// Two double lanes, one per channel.
using ChannelPair = double __attribute__((vector_size(16)));

class HalfBandInterpolator {
 public:
  static constexpr std::uint32_t kMaxFactor = 512;
  static constexpr int kMaxStages = 9;

  // Prepares interpolation by `factor` (a power of two, 2 .. kMaxFactor) for
  // calls of up to `max_input` samples. Returns err::kUnsupportedFormat for
  // another factor or no max_input, err::kOutOfMemory when the buffers cannot
  // be allocated.
  [[nodiscard]] Error Init(std::uint32_t factor, std::size_t max_input);

  // count <= max_input pairs in, count × factor out (`out` must not overlap
  // `in`).
  void Process(const ChannelPair* in, std::size_t count, ChannelPair* out);

  // Clears the history to silence.
  void Reset();

  std::uint32_t factor() const { return factor_; }
  // Delay from input to output, in input samples (a whole number).
  std::uint32_t delay() const { return delay_; }

 private:
  struct Stage {
    std::unique_ptr<double[]> taps;  // the M distinct odd-offset coefficients
    std::unique_ptr<ChannelPair[]> work;  // history (2M - 1 samples), then this call's input
    int half = 0;                    // M
    std::size_t max_input = 0;
  };

  Stage stages_[kMaxStages];
  int stage_count_ = 0;
  std::uint32_t factor_ = 0;
  std::uint32_t delay_ = 0;
  std::unique_ptr<ChannelPair[]> pad_;  // the rounding delay line
  std::unique_ptr<ChannelPair[]> pad_spill_;
  std::size_t pad_length_ = 0;
};

}  // namespace tidemark::dsp
