#include "dsp/stretch/time_stretcher.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "platform/error_numbers.h"

namespace tidemark::dsp {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double Wrap(double phase) { return phase - kTwoPi * std::floor((phase + std::numbers::pi) / kTwoPi); }

std::size_t PowerOfTwoNear(double frames) {
  std::size_t n = 256;
  while (static_cast<double>(n) * 1.5 < frames) n *= 2;
  return n;
}

}  // namespace

Error TimeStretcher::Init(std::uint16_t channels, std::uint32_t rate, const StretchOptions& options) {
  if (channels < 1 || channels > 2 || rate < 1000 || rate > 384000) return err::kSizeLimit;
  if (!(options.speed >= kMinSpeed && options.speed <= kMaxSpeed)) return err::kSizeLimit;
  if (!(options.envelope_shift >= 0.25 && options.envelope_shift <= 4)) return err::kSizeLimit;
  channels_ = channels;
  options_ = options;
  const bool vocoder = options.method == StretchMethod::kPhaseVocoder;
  if (vocoder) {
    n_ = PowerOfTwoNear(rate * 0.093);
    hop_ = n_ / 4;
    tolerance_ = 0;
    lifter_ = std::max<std::size_t>(8, static_cast<std::size_t>(rate * 0.0027));
  } else {
    n_ = 2 * static_cast<std::size_t>(std::lround(rate * (options.smoothing ? 0.060 : 0.030) / 2));
    hop_ = n_ / 2;
    tolerance_ = static_cast<std::int64_t>(n_ / 8);
  }
  const auto reach = static_cast<std::size_t>(std::ceil(static_cast<double>(hop_) * (options.speed + 1)));
  in_capacity_ = 2 * n_ + 3 * static_cast<std::size_t>(tolerance_) + reach + 16;
  try {
    window_.resize(n_);
    for (std::size_t j = 0; j < n_; ++j)
      window_[j] = static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * static_cast<double>(j) / static_cast<double>(n_)));
    in_.assign(channels, std::vector<float>(in_capacity_));
    acc_.assign(channels, std::vector<float>(n_));
    ready_.assign(channels, std::vector<float>(hop_));
    if (vocoder) {
      if (const Error rc = fft_.Init(n_)) return rc;
      spec_.resize(n_);
      work_.resize(fft_.work_size());
      mag_.resize(n_ / 2 + 1);
      phase_.resize(n_ / 2 + 1);
      env_.resize(n_ / 2 + 1);
      log_.resize(n_ / 2 + 1);
      raised_.resize(n_ / 2 + 1);
      cep_.resize(n_);
      peak_of_.resize(n_ / 2 + 1);
      prev_phase_.assign(channels, std::vector<float>(n_ / 2 + 1));
      prev_synth_.assign(channels, std::vector<float>(n_ / 2 + 1));
    } else {
      mix_.resize(n_ + 2 * static_cast<std::size_t>(tolerance_) + 1);
      target_.resize(n_);
    }
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
  Reset();
  return err::kOk;
}

void TimeStretcher::Reset() {
  in_count_ = 0;
  in_base_ = 0;
  finished_ = false;
  for (auto& a : acc_) std::fill(a.begin(), a.end(), 0.0f);
  ready_at_ = ready_count_ = 0;
  drop_ = n_ / 2;  // frame 0 starts half a frame before output frame 0
  k_ = 0;
  prev_centre_ = 0;
}

std::size_t TimeStretcher::InputSpace() const { return finished_ ? 0 : in_capacity_ - in_count_; }

std::size_t TimeStretcher::Push(const float* in, std::size_t frames) {
  const std::size_t take = std::min(frames, InputSpace());
  for (std::size_t c = 0; c < channels_; ++c) {
    float* dst = in_[c].data() + in_count_;
    for (std::size_t i = 0; i < take; ++i) {
      const float v = in[i * channels_ + c];
      dst[i] = std::isfinite(v) ? v : 0.0f;  // one bad sample must not spread through the overlap
    }
  }
  in_count_ += take;
  return take;
}

float TimeStretcher::InputAt(std::size_t c, std::int64_t i) const {
  if (i < in_base_) return 0.0f;  // before the start (discarded frames are never asked for again)
  const auto at = static_cast<std::size_t>(i - in_base_);
  return at < in_count_ ? in_[c][at] : 0.0f;
}

std::int64_t TimeStretcher::Nominal(std::int64_t k) const {
  return std::llround(static_cast<double>(k) * static_cast<double>(hop_) * options_.speed);
}

bool TimeStretcher::CanMakeFrame() const {
  if (finished_) return true;
  const auto half = static_cast<std::int64_t>(n_ / 2);
  std::int64_t need = Nominal(k_) + tolerance_ + half;
  if (tolerance_ > 0 && k_ > 0) need = std::max(need, prev_centre_ + static_cast<std::int64_t>(hop_) + half);
  return need <= in_base_ + static_cast<std::int64_t>(in_count_);
}

std::int64_t TimeStretcher::BestWsolaCentre(std::int64_t nominal) {
  if (k_ == 0) return nominal;
  const auto half = static_cast<std::int64_t>(n_ / 2);
  const std::int64_t natural = prev_centre_ + static_cast<std::int64_t>(hop_);
  const auto mixed = [&](std::int64_t i) {
    float v = 0;
    for (std::size_t c = 0; c < channels_; ++c) v += InputAt(c, i);
    return v;
  };
  for (std::size_t j = 0; j < n_; ++j) target_[j] = mixed(natural - half + static_cast<std::int64_t>(j));
  const std::int64_t lo = nominal - tolerance_ - half;
  for (std::size_t j = 0; j < mix_.size(); ++j) mix_[j] = mixed(lo + static_cast<std::int64_t>(j));
  // Coarse lags every 4 frames with the correlation on every 4th sample,
  // then the lags around the best one: enough to find the best lag.
  constexpr std::size_t kStride = 4;
  const auto score = [&](std::int64_t offset) {  // offset from nominal - tolerance
    float xy = 0, yy = 1e-12f;
    const float* y = mix_.data() + offset;
    for (std::size_t j = 0; j < n_; j += kStride) {
      xy += target_[j] * y[j];
      yy += y[j] * y[j];
    }
    return xy / std::sqrt(yy);
  };
  std::int64_t best = tolerance_;
  float best_score = -1e30f;
  for (std::int64_t o = 0; o <= 2 * tolerance_; o += 4) {
    const float s = score(o);
    if (s > best_score) best_score = s, best = o;
  }
  const std::int64_t coarse = best;
  for (std::int64_t o = coarse - 3; o <= coarse + 3; ++o) {
    if (o < 0 || o > 2 * tolerance_ || o == coarse) continue;
    const float s = score(o);
    if (s > best_score) best_score = s, best = o;
  }
  return nominal - tolerance_ + best;
}

void TimeStretcher::SmoothLog(const float* log_mag, float* smooth) {
  const std::size_t bins = n_ / 2 + 1;
  cep_[0] = log_mag[0];
  cep_[1] = log_mag[bins - 1];
  for (std::size_t b = 1; b + 1 < bins; ++b) {
    cep_[2 * b] = log_mag[b];
    cep_[2 * b + 1] = 0;
  }
  fft_.Inverse(cep_.data(), cep_.data(), work_.data());
  for (std::size_t i = lifter_; i + lifter_ <= n_; ++i) cep_[i] = 0;
  fft_.Forward(cep_.data(), cep_.data(), work_.data());
  const float scale = 1.0f / static_cast<float>(n_);
  smooth[0] = cep_[0] * scale;
  smooth[bins - 1] = cep_[1] * scale;
  for (std::size_t b = 1; b + 1 < bins; ++b) smooth[b] = cep_[2 * b] * scale;
}

void TimeStretcher::WarpEnvelope(float* mag) {
  const std::size_t bins = n_ / 2 + 1;
  // The true envelope: the liftered cepstrum raised, step by step, until it
  // rides on the harmonics instead of averaging them with the valleys.
  for (std::size_t b = 0; b < bins; ++b) log_[b] = std::log(mag[b] + 1e-6f);
  std::copy(log_.begin(), log_.end(), raised_.begin());
  for (int pass = 0; pass < kEnvelopePasses; ++pass) {
    SmoothLog(raised_.data(), env_.data());
    for (std::size_t b = 0; b < bins; ++b) raised_[b] = std::max(log_[b], env_[b]);
  }
  const double inverse = 1.0 / options_.envelope_shift;
  for (std::size_t b = 0; b < bins; ++b) {
    const double from = std::min(static_cast<double>(b) * inverse, static_cast<double>(bins - 1));
    const auto i = static_cast<std::size_t>(from);
    const double f = from - static_cast<double>(i);
    const double moved = i + 1 < bins ? env_[i] + f * (env_[i + 1] - env_[i]) : env_[i];
    mag[b] *= static_cast<float>(std::exp(moved - env_[b]));
  }
}

void TimeStretcher::VocoderFrame(std::int64_t centre) {
  const std::size_t bins = n_ / 2 + 1;
  const auto half = static_cast<std::int64_t>(n_ / 2);
  const double analysis_hop = k_ == 0 ? 0.0 : static_cast<double>(centre - prev_centre_);
  const float out_scale = 1.0f / (static_cast<float>(n_) * 1.5f);  // Hann squared at a quarter hop sums to 1.5
  for (std::size_t c = 0; c < channels_; ++c) {
    for (std::size_t j = 0; j < n_; ++j)
      spec_[j] = window_[j] * InputAt(c, centre - half + static_cast<std::int64_t>(j));
    fft_.Forward(spec_.data(), spec_.data(), work_.data());
    for (std::size_t b = 0; b < bins; ++b) {
      float re, im;
      if (b == 0) re = spec_[0], im = 0;
      else if (b == bins - 1) re = spec_[1], im = 0;
      else re = spec_[2 * b], im = spec_[2 * b + 1];
      mag_[b] = std::hypot(re, im);
      phase_[b] = std::atan2(im, re);
    }
    // Each bin belongs to its nearest peak.
    std::size_t last_peak = 0;
    bool any = false;
    for (std::size_t b = 0; b < bins; ++b) {
      const float m = mag_[b];
      const bool peak = (b < 1 || m > mag_[b - 1]) && (b < 2 || m > mag_[b - 2]) &&
                        (b + 1 >= bins || m >= mag_[b + 1]) && (b + 2 >= bins || m >= mag_[b + 2]);
      if (!peak) continue;
      if (!any) {
        for (std::size_t i = 0; i < b; ++i) peak_of_[i] = static_cast<std::uint32_t>(b);
      } else {
        const std::size_t mid = (last_peak + b) / 2;
        for (std::size_t i = last_peak; i <= mid; ++i) peak_of_[i] = static_cast<std::uint32_t>(last_peak);
        for (std::size_t i = mid + 1; i < b; ++i) peak_of_[i] = static_cast<std::uint32_t>(b);
      }
      peak_of_[b] = static_cast<std::uint32_t>(b);
      last_peak = b;
      any = true;
    }
    for (std::size_t i = any ? last_peak : 0; i < bins; ++i) peak_of_[i] = static_cast<std::uint32_t>(last_peak);
    std::vector<float>& synth = prev_synth_[c];
    std::vector<float>& before = prev_phase_[c];
    // Peaks first: their phases advance by the measured frequency.
    for (std::size_t b = 0; b < bins; ++b) {
      if (peak_of_[b] != b) continue;
      if (k_ == 0) {
        synth[b] = phase_[b];
        continue;
      }
      const double omega = kTwoPi * static_cast<double>(b) / static_cast<double>(n_);
      const double deviation = Wrap(phase_[b] - before[b] - omega * analysis_hop);
      const double advance = (omega + deviation / analysis_hop) * static_cast<double>(hop_);
      synth[b] = static_cast<float>(Wrap(synth[b] + advance));
    }
    for (std::size_t b = 0; b < bins; ++b) {
      const std::size_t p = peak_of_[b];
      if (p != b) synth[b] = static_cast<float>(Wrap(double{synth[p]} + phase_[b] - phase_[p]));
    }
    std::copy(phase_.begin(), phase_.end(), before.begin());
    if (options_.envelope_shift != 1.0) WarpEnvelope(mag_.data());
    spec_[0] = mag_[0] * std::cos(synth[0]);
    spec_[1] = mag_[bins - 1] * std::cos(synth[bins - 1]);
    for (std::size_t b = 1; b + 1 < bins; ++b) {
      spec_[2 * b] = mag_[b] * std::cos(synth[b]);
      spec_[2 * b + 1] = mag_[b] * std::sin(synth[b]);
    }
    fft_.Inverse(spec_.data(), spec_.data(), work_.data());
    float* acc = acc_[c].data();
    for (std::size_t j = 0; j < n_; ++j) acc[j] += spec_[j] * window_[j] * out_scale;
  }
}

void TimeStretcher::MakeFrame() {
  const std::int64_t nominal = Nominal(k_);
  const auto half = static_cast<std::int64_t>(n_ / 2);
  std::int64_t centre = nominal;
  if (options_.method == StretchMethod::kPhaseVocoder) {
    VocoderFrame(centre);
  } else {
    centre = BestWsolaCentre(nominal);
    for (std::size_t c = 0; c < channels_; ++c) {
      float* acc = acc_[c].data();
      for (std::size_t j = 0; j < n_; ++j) acc[j] += window_[j] * InputAt(c, centre - half + static_cast<std::int64_t>(j));
    }
  }
  prev_centre_ = centre;
  ++k_;
  // The first hop of the accumulator is complete: no later frame reaches it.
  for (std::size_t c = 0; c < channels_; ++c) {
    std::vector<float>& acc = acc_[c];
    std::copy(acc.begin(), acc.begin() + static_cast<std::ptrdiff_t>(hop_), ready_[c].begin());
    std::copy(acc.begin() + static_cast<std::ptrdiff_t>(hop_), acc.end(), acc.begin());
    std::fill(acc.end() - static_cast<std::ptrdiff_t>(hop_), acc.end(), 0.0f);
  }
  ready_at_ = 0;
  ready_count_ = hop_;
  const std::size_t dropped = std::min(drop_, ready_count_);
  ready_at_ += dropped;
  ready_count_ -= dropped;
  drop_ -= dropped;
  Discard();
}

void TimeStretcher::Discard() {
  const auto half = static_cast<std::int64_t>(n_ / 2);
  std::int64_t keep = Nominal(k_) - tolerance_ - half;
  if (tolerance_ > 0) keep = std::min(keep, prev_centre_ + static_cast<std::int64_t>(hop_) - half);
  if (keep <= in_base_) return;
  const auto drop = static_cast<std::size_t>(std::min<std::int64_t>(keep - in_base_, static_cast<std::int64_t>(in_count_)));
  for (auto& channel : in_)
    std::copy(channel.begin() + static_cast<std::ptrdiff_t>(drop),
              channel.begin() + static_cast<std::ptrdiff_t>(in_count_), channel.begin());
  in_count_ -= drop;
  in_base_ += static_cast<std::int64_t>(drop);
}

std::size_t TimeStretcher::Pull(float* out, std::size_t frames) {
  std::size_t done = 0;
  while (done < frames) {
    if (ready_count_ == 0) {
      if (!CanMakeFrame()) break;
      MakeFrame();
      continue;
    }
    const std::size_t n = std::min(frames - done, ready_count_);
    for (std::size_t c = 0; c < channels_; ++c) {
      const float* src = ready_[c].data() + ready_at_;
      for (std::size_t i = 0; i < n; ++i) out[(done + i) * channels_ + c] = src[i];
    }
    ready_at_ += n;
    ready_count_ -= n;
    done += n;
  }
  return done;
}

}  // namespace tidemark::dsp
