#include "effects/dynamics/std_compress.h"

#include <algorithm>
#include <cmath>

#include "dsp/filters/weighting.h"
#include "effects/dynamics/internal/finite.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

// Frames per pass of the detector's weighting filter.
constexpr std::uint32_t kChunk = 1024;
constexpr std::uint32_t kMaxChannels = 32;

}  // namespace

std::uint32_t CStdCompress::WindowFrames(std::uint32_t rate, float window_ms) {
  const double ms = std::clamp(static_cast<double>(window_ms), 0.0, 100.0);
  return std::max<std::uint32_t>(static_cast<std::uint32_t>(ms * rate / 1000.0), 1);
}

std::uint32_t CStdCompress::RecomputeInterval(std::uint32_t rate) {
  const std::uint32_t ring = std::max<std::uint32_t>(rate / 10, 1);
  return std::max<std::uint32_t>((rate / 20 + 256000) / ring, 1);
}

Error CStdCompress::Init(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                         float window_ms, float makeup, char weighting) {
  if (rate == 0 || channels == 0 || channels > kMaxChannels) return err::kSizeLimit;
  const std::uint32_t length = std::max<std::uint32_t>(rate / 10, 1);
  std::unique_ptr<float[]> delay, gains, scratch;
  std::unique_ptr<double[]> powers;
  const std::size_t samples = std::size_t{length} * channels;
  if (const Error rc = MakeNew(&delay, samples)) return rc;
  if (const Error rc = MakeNew(&gains, std::size_t{length})) return rc;
  if (const Error rc = MakeNew(&powers, std::size_t{length})) return rc;
  if (const Error rc = MakeNew(&scratch, std::size_t{kChunk} * channels)) return rc;
  if (!chunk_powers_ && MakeNew(&chunk_powers_, std::size_t{kChunk})) return err::kOutOfMemory;
  if (!chunk_gains_ && MakeNew(&chunk_gains_, std::size_t{kChunk})) return err::kOutOfMemory;
  weighted_ = false;
  weighting_letter_ = weighting;
  if (weighting != 0) {
    SBiQuadFilter curve;
    if (!dsp::DesignWeighting(weighting, rate, &curve)) {
      if (const Error rc = weighting_.Init(curve, channels)) return rc;
      weighting_gain_ = static_cast<float>(curve.gain);
      weighted_ = true;
    }
  }
  delay_ = std::move(delay);
  gains_ = std::move(gains);
  powers_ = std::move(powers);
  scratch_ = std::move(scratch);
  rate_ = rate;
  channels_ = channels;
  length_ = length;
  interval_ = RecomputeInterval(rate);
  SetParameters(inv_ratio, threshold, WindowFrames(rate, window_ms), makeup);
  Restart();
  return err::kOk;
}

void CStdCompress::SetParameters(float inv_ratio, float threshold, std::uint32_t window, float makeup) {
  inv_ratio_ = inv_ratio;
  threshold_ = threshold;
  makeup_ = makeup;
  window_ = std::min(window, length_);
  exponent_ = (static_cast<double>(inv_ratio) - 1.0) * 0.5;
  // g = (S / E)^exponent falls as S grows; S < S_t (1 - 4e-7 / |exponent|)
  // gives g(S) > g(S_t) (1 + 4e-7), above any float rounding of the target
  // set from S_t. Ratio 1 (exponent 0) never skips.
  keep_margin_ = exponent_ < 0.0 ? 1.0 - 4e-7 / -exponent_ : 0.0;
  keep_below_ = 0.0;
  energy_ = static_cast<double>(threshold) * static_cast<double>(threshold) * window_;
}

void CStdCompress::Restart() {
  const float unity = 1.0f / makeup_;
  std::fill_n(delay_.get(), std::size_t{length_} * channels_, 0.0f);
  std::fill_n(gains_.get(), length_, unity);
  std::fill_n(powers_.get(), length_, 0.0);
  sum_ = 0.0;
  target_ = unity;
  current_ = unity;
  increment_ = 0.0;
  ramp_left_ = 0;
  pos_ = 0;
  rings_ = 0;
  count_ = 0;
  ended_ = false;
  keep_below_ = 0.0;
  lag_ = window_;
  smallest_ = 1.0f;
  if (weighted_) weighting_.Reset();
}

void CStdCompress::Reset() {
  if (delay_) Restart();
}

double CStdCompress::ExactSum() const {
  double s = 0.0;
  std::uint32_t i = pos_;
  for (std::uint32_t k = 0; k < window_; ++k) {
    i = i == 0 ? length_ - 1 : i - 1;
    s += powers_[i];
  }
  return s;
}

void CStdCompress::Attack() {
  // (RMS / T)^(1/ratio - 1), from the window's energy against E.
  const double g = std::pow(sum_ / energy_, exponent_);
  if (ramp_left_ == 0 || target_ >= g) {
    target_ = static_cast<float>(g);
    increment_ = (target_ - current_) / window_;
    ramp_left_ = window_;
    keep_below_ = sum_ * keep_margin_;
  }
}

template <int kChannels, bool kWeighted>
void CStdCompress::Run(float* buffer, std::uint32_t frames) {
  const std::uint32_t ch = kChannels > 0 ? static_cast<std::uint32_t>(kChannels) : channels_;
  const double inv_channels = 1.0 / ch;
  const double detector_gain = static_cast<double>(weighting_gain_) * weighting_gain_;
  float weight[kMaxChannels];  // 1 for a masked channel, else 0
  for (std::uint32_t c = 0; c < ch; ++c) weight[c] = (mask_seen_ >> c) & 1u ? 1.0f : 0.0f;
  double* frame_power = chunk_powers_.get();
  float* frame_gain = chunk_gains_.get();

  // The frames' powers (no state involved).
  const float* detector = kWeighted ? scratch_.get() : buffer;
  for (std::uint32_t f = 0; f < frames; ++f) {
    double p = 0.0;
    for (std::uint32_t c = 0; c < ch; ++c) {
      const double v = detector[std::size_t{f} * ch + c];
      p += v * v * weight[c];
    }
    frame_power[f] = p * detector_gain * inv_channels;
  }

  // The running state, frame by frame: the gain ramp and ring, the running
  // sum and the detector's decisions.
  const std::uint32_t first = pos_;
  float smallest = smallest_;
  for (std::uint32_t f = 0; f < frames; ++f) {
    if (ramp_left_ < 2) {
      current_ = target_;
      ramp_left_ = 0;
    } else {
      current_ += increment_;
      --ramp_left_;
    }
    if (lag_ < window_ && (count_ & 1u)) ++lag_;
    std::uint32_t slot = pos_ + (length_ - lag_);  // W frames behind the read position
    if (slot >= length_) slot -= length_;
    gains_[slot] = static_cast<float>(current_);
    const float g = gains_[pos_];
    smallest = std::min(smallest, g);
    frame_gain[f] = makeup_ * g;
    const double p = frame_power[f];
    std::uint32_t leaving = pos_ + (length_ - window_);  // the power W frames before
    if (leaving >= length_) leaving -= length_;
    sum_ += p - powers_[leaving];
    powers_[pos_] = p;
    if (++pos_ == length_) {
      pos_ = 0;
      if (++rings_ >= interval_) {
        sum_ = ExactSum();
        rings_ = 0;
      }
    }
    ++count_;
    if (ended_) continue;
    if (count_ > window_) {
      if (sum_ > energy_) {
        // While a ramp runs, a sum clearly below the one that set the
        // target means a gain above it: the target stays.
        if (ramp_left_ == 0 || sum_ >= keep_below_) Attack();
      } else if (ramp_left_ == 0 && target_ != 1.0f) {
        target_ = 1.0f;
        increment_ = (1.0 - current_) / window_;
        ramp_left_ = window_;
        keep_below_ = 0.0;
      }
    }
    if (count_ == end_ + window_) {
      // Past the selection the gain goes back to unity and stays there.
      target_ = 1.0f / makeup_;
      increment_ = target_ - current_;
      ramp_left_ = 1;
      ended_ = true;
    }
  }
  smallest_ = smallest;

  // The delay line, in its stretches without a wrap: out = delayed x M g
  // on masked channels, the delayed sample elsewhere.
  for (std::uint32_t f = 0, at = first; f < frames;) {
    const std::uint32_t n = std::min(frames - f, length_ - at);
    float* line = delay_.get() + std::size_t{at} * ch;
    float* x = buffer + std::size_t{f} * ch;
    const float* gain = frame_gain + f;
    for (std::uint32_t k = 0; k < n; ++k) {
      for (std::uint32_t c = 0; c < ch; ++c) {
        const std::size_t i = std::size_t{k} * ch + c;
        const float y = line[i];
        line[i] = x[i];
        x[i] = weight[c] != 0.0f ? y * gain[k] : y;
      }
    }
    f += n;
    at = at + n == length_ ? 0 : at + n;
  }
}

Error CStdCompress::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != channels_ || !delay_) return err::kLayoutMismatch;
  mask_seen_ = mask;
  smallest_ = std::numeric_limits<float>::max();
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(kChunk, frames - done);
    float* chunk = buffer + std::size_t{done} * channels;
    const std::size_t samples = std::size_t{n} * channels;
    if (weighted_) {
      // The filter must never see a non-finite sample: its state would
      // keep it.
      for (std::size_t i = 0; i < samples; ++i) scratch_[i] = chunk[i] = dynamics::FiniteOrZero(chunk[i]);
      weighting_.Process(scratch_.get(), n, mask);
      switch (channels) {
        case 1: Run<1, true>(chunk, n); break;
        case 2: Run<2, true>(chunk, n); break;
        default: Run<0, true>(chunk, n); break;
      }
    } else {
      dynamics::ZeroNonFinite(chunk, samples);
      switch (channels) {
        case 1: Run<1, false>(chunk, n); break;
        case 2: Run<2, false>(chunk, n); break;
        default: Run<0, false>(chunk, n); break;
      }
    }
    done += n;
  }
  if (frames == 0) smallest_ = 1.0f / makeup_;
  smallest_ *= makeup_;
  if (meter_) meter_->ShowGain(smallest_);
  return err::kOk;
}

Error CStdCompress::Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                                float window_ms, float makeup) {
  if (rate != rate_ || channels != channels_ || !delay_) {
    return Init(rate, channels, inv_ratio, threshold, window_ms, makeup, weighting_letter_);
  }
  const std::uint32_t old_window = window_;
  const float old_makeup = makeup_;
  SetParameters(inv_ratio, threshold, WindowFrames(rate, window_ms), makeup);
  if (old_makeup != makeup) {
    // The overall gain M x g stays where it is and drifts to the new
    // makeup over half a second.
    const double scale = static_cast<double>(old_makeup) / makeup;
    for (std::uint32_t i = 0; i < length_; ++i) gains_[i] = static_cast<float>(gains_[i] * scale);
    current_ *= scale;
    target_ = 1.0f;
    keep_below_ = 0.0;
    ramp_left_ = std::max<std::uint32_t>(rate_ / 2, 1);
    increment_ = (1.0 - current_) / ramp_left_;
  }
  if (window_ < lag_) {
    // The write slot moves towards the read position: the slots it skips
    // would still be read, so they hold the current gain.
    const auto last = static_cast<float>(current_);
    for (std::uint32_t k = length_ - lag_; k < length_ - window_; ++k) gains_[(pos_ + k) % length_] = last;
    lag_ = window_;
  }
  // A longer window moves the write slot back one frame every second frame
  // (Run): the gains already queued are read in order, then the new ones at
  // half their pace until the slot is W behind, so the applied gain keeps
  // moving smoothly.
  if (window_ != old_window) {
    sum_ = ExactSum();
    if (ramp_left_ > window_) {
      increment_ = (target_ - current_) / window_;
      ramp_left_ = window_;
    }
  }
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
