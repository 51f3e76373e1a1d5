#include "dsp/spectral/stft_denoiser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/alloc.h"

namespace tidemark::dsp {

namespace {

// Noise powers are held inside this range so that 1/N stays finite and
// non-zero: a silent profile then passes everything.
constexpr float kLeastNoise = 1e-30f;
constexpr float kMostInverse = 1e30f;
// The a posteriori SNR (10 dB) above which a bin's gain is not smoothed
// over frequency: noise alone practically never gets there.
constexpr float kStrongSnr = 10.0f;

float Sanitise(float x) {
  if (!std::isfinite(x)) return 0.0f;
  return std::clamp(x, -kSampleLimit, kSampleLimit);
}

}  // namespace

void SqrtHannWindow(std::size_t n, float* out) {
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<float>(
        std::sqrt(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n))));
}

Error StftDenoiser::Init(const RealFft<float>& plan, std::span<const float> noise, const DenoiseSettings& settings) {
  const std::size_t n = plan.size();
  if (n < 8 || noise.size() != n / 2 + 1) return err::kSizeLimit;
  plan_ = &plan;
  n_ = n;
  hop_ = n / 4;
  bins_ = n / 2 + 1;
  settings_ = settings;
  for (auto* buffer : {&window_, &input_, &sum_, &spectrum_})
    if (const Error rc = MakeNew(buffer, n)) return rc;
  if (const Error rc = MakeNew(&work_, plan.work_size())) return rc;
  if (const Error rc = MakeNew(&ready_, hop_)) return rc;
  for (auto* buffer : {&inverse_noise_, &gain_, &clean_})
    if (const Error rc = MakeNew(buffer, bins_)) return rc;
  SqrtHannWindow(n, window_.get());
  for (std::size_t k = 0; k < bins_; ++k) {
    const float power = std::isfinite(noise[k]) ? std::max(noise[k], kLeastNoise) : 1.0f / kLeastNoise;
    inverse_noise_[k] = std::min(1.0f / power, kMostInverse);
  }
  Reset();
  return err::kOk;
}

void StftDenoiser::Reset() {
  if (n_ == 0) return;
  std::fill_n(input_.get(), n_, 0.0f);
  std::fill_n(sum_.get(), n_, 0.0f);
  std::fill_n(ready_.get(), hop_, 0.0f);
  std::fill_n(clean_.get(), bins_, 0.0f);
  fill_ = 0;
}

void StftDenoiser::Process(float* samples, std::size_t frames, std::size_t stride) {
  float* const tail = input_.get() + (n_ - hop_);
  for (std::size_t i = 0; i < frames;) {
    const std::size_t take = std::min(hop_ - fill_, frames - i);
    for (std::size_t j = 0; j < take; ++j, ++i) {
      float& x = samples[i * stride];
      tail[fill_ + j] = Sanitise(x);
      x = ready_[fill_ + j];
    }
    fill_ += take;
    if (fill_ == hop_) {
      ProcessFrame();
      fill_ = 0;
    }
  }
}

void StftDenoiser::ProcessFrame() {
  float* const s = spectrum_.get();
  for (std::size_t i = 0; i < n_; ++i) s[i] = input_[i] * window_[i];
  plan_->Forward(s, s, work_.get());

  const float a = settings_.smoothing;
  const std::size_t half = n_ / 2;
  for (std::size_t k = 0; k < bins_; ++k) {
    float power = 0;
    if (k == 0) power = s[0] * s[0];
    else if (k == half) power = s[1] * s[1];
    else power = s[2 * k] * s[2 * k] + s[2 * k + 1] * s[2 * k + 1];
    const float snr_post = power * inverse_noise_[k];
    const float xi = a * clean_[k] * inverse_noise_[k] + (1.0f - a) * std::max(snr_post - 1.0f, 0.0f);
    // xi / (1 + xi), written so that an infinite xi gives 1.
    gain_[k] = 1.0f - 1.0f / (1.0f + xi);
    clean_[k] = power;  // |X|^2 until the gain is known
  }
  if (settings_.smooth_frequency && bins_ > 2) {
    float before = gain_[1];  // the mirror image of bin 1 beside bin 0
    for (std::size_t k = 0; k < bins_; ++k) {
      const float here = gain_[k];
      const float after = k + 1 < bins_ ? gain_[k + 1] : before;
      // A bin clearly above the noise keeps its own gain, so that the
      // smoothing does not take the edges off tones.
      if (clean_[k] * inverse_noise_[k] < kStrongSnr) gain_[k] = 0.25f * before + 0.5f * here + 0.25f * after;
      before = here;
    }
  }
  const float floor = settings_.floor_gain;
  for (std::size_t k = 0; k < bins_; ++k) {
    const float g = gain_[k];
    clean_[k] *= g * g;
    const float applied = std::max(g, floor);
    if (k == 0) s[0] *= applied;
    else if (k == half) s[1] *= applied;
    else {
      s[2 * k] *= applied;
      s[2 * k + 1] *= applied;
    }
  }
  plan_->Inverse(s, s, work_.get());

  // Overlap-add; the first hop samples are then complete.
  const float scale = 1.0f / (2.0f * static_cast<float>(n_));
  float* const sum = sum_.get();
  for (std::size_t i = 0; i < n_; ++i) sum[i] += s[i] * window_[i] * scale;
  std::memcpy(ready_.get(), sum, hop_ * sizeof(float));
  std::memmove(sum, sum + hop_, (n_ - hop_) * sizeof(float));
  std::fill_n(sum + (n_ - hop_), hop_, 0.0f);
  std::memmove(input_.get(), input_.get() + hop_, (n_ - hop_) * sizeof(float));
}

}  // namespace tidemark::dsp
