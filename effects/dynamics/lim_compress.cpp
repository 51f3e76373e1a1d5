#include "effects/dynamics/lim_compress.h"

#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

Error CLimCompress::Init(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                         float window_ms, float makeup, char weighting) {
  if (const Error rc = compress_.Init(rate, channels, inv_ratio, threshold, window_ms, makeup, weighting)) return rc;
  if (const Error rc = limiter_.Init(rate, channels, kSafetyCeiling, kSafetyWindowMs, 1.0f, true)) return rc;
  rate_ = rate;
  channels_ = channels;
  return err::kOk;
}

Error CLimCompress::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (const Error rc = compress_.Process(buffer, frames, channels, mask)) return rc;
  if (const Error rc = limiter_.Process(buffer, frames, channels, mask)) return rc;
  if (meter_) meter_->ShowGain(SmallestGain());
  return err::kOk;
}

void CLimCompress::Reset() {
  compress_.Reset();
  limiter_.Reset();
}

Error CLimCompress::Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                                float window_ms, float makeup) {
  if (const Error rc = compress_.Reconfigure(rate, channels, inv_ratio, threshold, window_ms, makeup)) return rc;
  if (rate == rate_ && channels == channels_) return err::kOk;
  if (const Error rc = limiter_.Init(rate, channels, kSafetyCeiling, kSafetyWindowMs, 1.0f, true)) return rc;
  rate_ = rate;
  channels_ = channels;
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
