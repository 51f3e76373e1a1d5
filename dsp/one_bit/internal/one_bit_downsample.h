// The last step of the 1-bit filter: a half-band decimation by two of the
// first stage's per-channel outputs (two stages), or only their interleaving
// into frames (one stage).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/fft/real_fft.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CDownSample {
 public:
  CDownSample(const CDownSample&) = delete;
  CDownSample& operator=(const CDownSample&) = delete;
  virtual ~CDownSample() = default;

  // First-stage outputs per channel that `frames` output frames need.
  virtual std::size_t InputCount(std::size_t frames) const = 0;
  // Makes `frames` frames of interleaved channels in `out` from the
  // InputCount(frames) values of each channel in `in`.
  virtual void Process(const float* const* in, std::size_t frames, float* out) = 0;

  std::uint16_t channels() const { return channels_; }

 protected:
  explicit CDownSample(std::uint16_t channels) : channels_(channels) {}

 private:
  std::uint16_t channels_;
};

// The half-band low-pass of `length` (512) taps, one leading zero, applied by
// fast convolution with a 1024-point transform, every second output kept.
// Output j is centred on input 2j + 256, so a caller brings 256 inputs of
// history before and after the stretch it converts.
class CDownSample_Lpf2 final : public CDownSample {
 public:
  // 77 for a length other than 512 or no channels; 2.
  [[nodiscard]] static Error Create(std::uint32_t length, double attenuation_db, std::uint16_t channels,
                                    unsigned threads, std::unique_ptr<CDownSample>* out);

  std::size_t InputCount(std::size_t frames) const override { return 2 * frames + kFftSize / 2; }
  void Process(const float* const* in, std::size_t frames, float* out) override;

  // The designed kernel (512 taps with its leading zero).
  const std::vector<float>& kernel() const { return kernel_; }

  static constexpr std::size_t kFftSize = 1024;

 private:
  CDownSample_Lpf2(std::uint16_t channels, unsigned threads) : CDownSample(channels), threads_(threads) {}

  unsigned threads_;
  dsp::RealFft<float> fft_;
  std::vector<float> kernel_;
  std::vector<float> spectrum_;  // the mirrored kernel's transform, scaled by 1 / 1024
  std::vector<float> scratch_;   // per thread: the segment and the transform's work buffer
};

// No filtering: frame j takes value j of every channel.
class CDownSample_Apf2 final : public CDownSample {
 public:
  explicit CDownSample_Apf2(std::uint16_t channels) : CDownSample(channels) {}
  std::size_t InputCount(std::size_t frames) const override { return frames; }
  void Process(const float* const* in, std::size_t frames, float* out) override;
};

}  // namespace tidemark::NS_1BIT
