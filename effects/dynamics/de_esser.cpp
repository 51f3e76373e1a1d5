#include "effects/dynamics/de_esser.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "dsp/fir/kaiser_lowpass.h"
#include "effects/dynamics/internal/finite.h"
#include "effects/dynamics/lim_compress.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr float kLowBandWindowMs = 50.0f;

}  // namespace

std::uint32_t CDeEsser::SplitOrder(std::uint32_t rate) {
  const auto n = static_cast<std::uint32_t>(rate * 0.003 + 0.5) & ~1u;
  return std::max<std::uint32_t>(n, 2);
}

Error CDeEsser::Init(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold, float window_ms,
                     float makeup, float frequency, char weighting, double split_attenuation_db) {
  if (rate == 0 || channels == 0) return err::kSizeLimit;
  const std::uint32_t order = SplitOrder(rate);
  std::vector<double> taps;
  if (const Error rc = TryAlloc([&] { taps.resize(order + 1); })) return rc;
  const double cutoff = std::min(static_cast<double>(frequency) / rate, 0.5);
  dsp::DesignKaiserLowpass(order, cutoff, split_attenuation_db, taps.data());
  if (const Error rc = split_.Init(taps.data(), taps.size(), channels)) return rc;
  if (const Error rc = low_.Init(rate, channels, 1.0f, 1.0f, kLowBandWindowMs, makeup)) return rc;
  if (const Error rc = high_.Init(rate, channels, inv_ratio, threshold, window_ms, makeup, weighting)) return rc;
  if (const Error rc = limiter_.Init(rate, channels, kSafetyCeiling, kSafetyWindowMs, 1.0f, true)) return rc;
  const std::size_t samples = split_.block() * channels;
  for (auto* buffer : {&input_, &output_, &low_band_, &high_band_}) {
    if (const Error rc = MakeNew(buffer, samples)) return rc;
    std::fill_n(buffer->get(), samples, 0.0f);
  }
  if (const Error rc = MakeNew(&lane_, 2 * split_.block())) return rc;
  rate_ = rate;
  channels_ = channels;
  frequency_ = frequency;
  weighting_ = weighting;
  attenuation_db_ = split_attenuation_db;
  order_ = order;
  fill_ = 0;
  return err::kOk;
}

std::uint32_t CDeEsser::GetLatency() const {
  return order_ / 2 + split_block() + high_.GetLatency() + limiter_.GetLatency();
}

void CDeEsser::SetEnd(std::uint64_t length) {
  // The compressors see the input after the split's delay.
  const std::uint64_t delayed = length + order_ / 2 + split_block();
  low_.SetEnd(delayed);
  high_.SetEnd(delayed);
}

void CDeEsser::Reset() {
  if (!input_) return;
  split_.Reset();
  low_.Reset();
  high_.Reset();
  limiter_.Reset();
  const std::size_t samples = split_.block() * channels_;
  std::fill_n(input_.get(), samples, 0.0f);
  std::fill_n(output_.get(), samples, 0.0f);
  fill_ = 0;
}

void CDeEsser::RunBlock() {
  const std::size_t block = split_.block();
  const std::size_t ch = channels_;
  dynamics::ZeroNonFinite(input_.get(), block * ch);
  float* in = lane_.get();
  float* low = lane_.get() + block;
  for (std::uint16_t c = 0; c < channels_; ++c) {
    for (std::size_t j = 0; j < block; ++j) in[j] = input_[j * ch + c];
    split_.Filter(c, in, low);
    // The input at the filter's centre tap, in step with the low band.
    const float* centre = split_.Window(c) + order_ / 2;
    for (std::size_t j = 0; j < block; ++j) {
      low_band_[j * ch + c] = low[j];
      high_band_[j * ch + c] = centre[j] - low[j];
    }
  }
  const auto frames = static_cast<std::uint32_t>(block);
  // Both runs are configured for these channels: neither can fail here.
  (void)low_.Process(low_band_.get(), frames, channels_, mask_);
  (void)high_.Process(high_band_.get(), frames, channels_, mask_);
  for (std::size_t i = 0; i < block * ch; ++i) output_[i] = low_band_[i] + high_band_[i];
  (void)limiter_.Process(output_.get(), frames, channels_, mask_);
}

Error CDeEsser::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != channels_ || !input_) return err::kLayoutMismatch;
  mask_ = mask;
  const auto block = static_cast<std::uint32_t>(split_.block());
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(frames - done, block - fill_);
    const std::size_t at = std::size_t{fill_} * channels;
    const std::size_t samples = std::size_t{n} * channels;
    float* piece = buffer + std::size_t{done} * channels;
    std::memcpy(input_.get() + at, piece, samples * sizeof(float));
    std::memcpy(piece, output_.get() + at, samples * sizeof(float));
    fill_ += n;
    done += n;
    if (fill_ == block) {
      RunBlock();
      fill_ = 0;
    }
  }
  if (meter_) meter_->ShowGain(SmallestGain());
  return err::kOk;
}

Error CDeEsser::Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                            float window_ms, float makeup) {
  if (rate != rate_ || channels != channels_ || !input_) {
    return Init(rate, channels, inv_ratio, threshold, window_ms, makeup, frequency_, weighting_, attenuation_db_);
  }
  if (const Error rc = low_.Reconfigure(rate, channels, 1.0f, 1.0f, kLowBandWindowMs, makeup)) return rc;
  return high_.Reconfigure(rate, channels, inv_ratio, threshold, window_ms, makeup);
}

}  // namespace tidemark::NS_EFFECT
