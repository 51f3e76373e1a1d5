#include "effects/dynamics/anti_clipper.h"

#include <algorithm>

#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

Error CAntiClipper::Init(EffRunPtr inner, std::uint16_t channels, std::uint32_t delay) {
  if (!inner) return err::kSizeLimit;
  const std::uint32_t d = std::max<std::uint32_t>(delay, 1);
  if (const Error rc = guard_.InitFrames(channels, d, d, 1.0f, 1.0f, false)) return rc;
  inner_ = std::move(inner);
  return err::kOk;
}

Error CAntiClipper::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (!inner_) return err::kLayoutMismatch;
  if (const Error rc = inner_->Process(buffer, frames, channels, mask)) return rc;
  return guard_.Process(buffer, frames, channels, mask);
}

void CAntiClipper::Reset() {
  if (inner_) inner_->Reset();
  guard_.Reset();
}

}  // namespace tidemark::NS_EFFECT
