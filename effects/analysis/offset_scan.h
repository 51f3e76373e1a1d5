// The offset scan: a double-precision sum of each masked channel's samples
// over a stretch, from which the Offset effect takes the DC offsets.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "effects/framework/effect_run.h"
#include "platform/error.h"

namespace tidemark::NS_EFFECT {

class COffsetScan : public CEffRun {
 public:
  static constexpr std::uint16_t kMaxChannels = 2;

  // Adds up the channels of `mask` (77 for more than two channels); the
  // buffer is left as it is.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::string GetName() const override;

  // 0 for a channel outside every mask seen.
  double sum(std::uint16_t channel) const { return sums_[channel]; }
  std::uint32_t frames() const { return frames_; }

 private:
  std::array<double, kMaxChannels> sums_{};
  std::uint32_t frames_ = 0;
};

}  // namespace tidemark::NS_EFFECT
