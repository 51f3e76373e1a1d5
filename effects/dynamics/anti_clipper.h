// The clip guard that follows another run (the convolution's output): the
// inner run's output is delayed by D frames, and wherever a sample would
// exceed full scale a ramp over D frames brings the gain down to 1 / |x|
// just as that sample leaves; the gain then rises back to exactly 1.0 over
// D frames. It uses the limiter's gain machinery with lookahead and ramp
// both D, ceiling 1.0 and no makeup, channels unlinked.
#pragma once

#include <cstdint>
#include <string>

#include "effects/dynamics/limiter.h"
#include "effects/framework/effect_run.h"

namespace tidemark::NS_EFFECT {

class CAntiClipper : public CEffRun {
 public:
  // Wraps `inner` (which must not be null) with a lookahead of `delay`
  // frames (at least 1). 2 when memory runs out.
  [[nodiscard]] Error Init(EffRunPtr inner, std::uint16_t channels, std::uint32_t delay);

  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override { return inner_->GetLatency() + guard_.GetLatency(); }
  std::string GetName() const override { return inner_->GetName(); }
  std::uint32_t GetExtra() const override { return inner_->GetExtra(); }

 private:
  EffRunPtr inner_;
  CLimiter guard_;
};

}  // namespace tidemark::NS_EFFECT
