// A fixed FIR filter run block by block through the real FFT (overlap-save),
// one history per channel. The FFT size is the smallest power of two, at
// least 32, above the filter's order N; each block brings size - N new
// samples and gives as many outputs, so the output matches the direct
// convolution sample for sample (up to float rounding) without delay of its
// own: a caller that collects whole blocks adds one block of latency.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dsp/fft/real_fft.h"
#include "platform/error.h"

namespace tidemark::dsp {

class BlockConvolver {
 public:
  // Takes the `count` taps (count - 1 = N) for `channels` histories, all
  // cleared. err::kOutOfMemory or err::kSizeLimit (no taps, or too many);
  // the convolver is then empty.
  [[nodiscard]] Error Init(const double* taps, std::size_t count, std::uint16_t channels);
  void Reset();

  std::size_t block() const { return block_; }
  std::size_t order() const { return order_; }

  // Filters the next block() samples of `channel` from `in` into `out`.
  void Filter(std::uint16_t channel, const float* in, float* out);
  // The channel's input window of the last Filter: N earlier samples, then
  // that block (order() + block() samples).
  const float* Window(std::uint16_t channel) const { return history_.get() + std::size_t{channel} * size_; }

 private:
  RealFft<float> fft_;
  std::size_t size_ = 0;  // FFT size
  std::size_t order_ = 0;
  std::size_t block_ = 0;
  std::uint16_t channels_ = 0;
  std::unique_ptr<float[]> response_;  // the taps' packed spectrum / size
  std::unique_ptr<float[]> history_;   // size per channel
  std::unique_ptr<float[]> spectrum_;  // size
  std::unique_ptr<float[]> work_;      // the FFT's work buffer
};

}  // namespace tidemark::dsp
