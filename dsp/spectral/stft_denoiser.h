// Broadband noise reduction of one channel by short-time spectral
// attenuation against a known noise power spectrum.
//
// Framing: frames of n samples every n/4, analysed and resynthesised with
// the periodic square-root Hann window (the squares overlap-add to 2, so
// unit gains give back the input exactly, n samples later).
//
// Gain rule: the Wiener gain G = xi / (1 + xi) on the a priori SNR xi of the
// decision-directed estimator of Ephraim and Malah (1984),
//   xi(t) = a |G(t-1) X(t-1)|^2 / N + (1 - a) max(|X(t)|^2 / N - 1, 0),
// which smooths the estimate over time and so keeps isolated noise bins
// from popping up as "musical noise"; a = 0 gives the plain power
// subtraction Wiener gain of each frame on its own. Optionally the gains
// are smoothed over neighbouring bins (1/4, 1/2, 1/4) for the same reason,
// except in bins that stand 10 dB over the noise.
// No gain falls below the floor, which is what limits the reduction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "dsp/fft/real_fft.h"
#include "platform/error.h"

namespace tidemark::dsp {

// The analysis and synthesis window: sqrt(0.5 - 0.5 cos(2 pi i / n)).
void SqrtHannWindow(std::size_t n, float* out);

struct DenoiseSettings {
  float floor_gain = 0.316f;     // the least gain of any bin (linear)
  float smoothing = 0.98f;       // a of the decision-directed estimate; 0 for none
  bool smooth_frequency = true;  // smooth the gains over neighbouring bins
};

// Input samples that are not finite enter as 0, and finite ones are held
// to +-kSampleLimit, so the spectra stay finite: no output sample is ever
// NaN or infinite, and one bad sample disturbs only the frames around it.
inline constexpr float kSampleLimit = 65536.0f;

class StftDenoiser {
 public:
  StftDenoiser() = default;
  StftDenoiser(const StftDenoiser&) = delete;
  StftDenoiser& operator=(const StftDenoiser&) = delete;

  // `plan` (shared, read-only, outliving this object) fixes n; `noise`
  // holds n/2 + 1 noise powers in the units of |X|^2 for the windowed,
  // unscaled spectrum X of a frame. Allocates everything Process needs.
  [[nodiscard]] Error Init(const RealFft<float>& plan, std::span<const float> noise, const DenoiseSettings& settings);

  // Filters `frames` samples found every `stride` floats from `samples`, in
  // place; the output lags the input by latency() samples. Any split of a
  // stream into calls gives the same output. Never allocates.
  void Process(float* samples, std::size_t frames, std::size_t stride);
  void Reset();
  std::uint32_t latency() const { return static_cast<std::uint32_t>(n_); }

 private:
  void ProcessFrame();

  const RealFft<float>* plan_ = nullptr;
  std::size_t n_ = 0, hop_ = 0, bins_ = 0;
  DenoiseSettings settings_;
  std::unique_ptr<float[]> window_, inverse_noise_, input_, sum_, ready_, spectrum_, work_, gain_, clean_;
  std::size_t fill_ = 0;  // input samples since the last frame
};

}  // namespace tidemark::dsp
