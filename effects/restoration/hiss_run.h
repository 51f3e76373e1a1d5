// The hiss reduction run: one spectral denoiser per processed channel. With
// two or more threads allowed by the OpenMP thread setting (the program's
// OMP_NUM_THREADS), every second channel of a block runs on a helper thread
// of its own; each denoiser owns its buffers, so the output does not depend
// on the thread count. A plain thread per block rather than an OpenMP team:
// the team's idle member spins between blocks and, on a busy machine,
// takes the core the worker needs for reading and writing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/fft/real_fft.h"
#include "dsp/spectral/stft_denoiser.h"
#include "effects/framework/effect_run.h"

namespace tidemark::NS_EFFECT_HISS {

class CHissRun : public CEffRun {
 public:
  explicit CHissRun(std::string name) : name_(std::move(name)) {}
  // For `channels` channels of which those in `mask` are processed, with
  // frames of `fft_length` and noise[c] (fft_length / 2 + 1 powers) for
  // each processed channel c.
  [[nodiscard]] Error Init(std::uint16_t channels, std::uint32_t mask, std::uint32_t fft_length,
                           const std::vector<std::vector<float>>& noise, const dsp::DenoiseSettings& settings);

  // `channels` must be the count given to Init (err::kLayoutMismatch else);
  // `mask` must not name a channel Init did not prepare.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override { return fft_length_; }
  std::string GetName() const override { return name_; }

 private:
  std::string name_;
  dsp::RealFft<float> plan_;
  std::uint32_t fft_length_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t prepared_ = 0;  // channels with a denoiser
  std::vector<std::unique_ptr<dsp::StftDenoiser>> denoisers_;
};

}  // namespace tidemark::NS_EFFECT_HISS
