// The biquad cascade as a block run: the low-pass/high-pass filter, the
// equalisers, and the weighting of the statistics build on it.
#pragma once

#include <string>

#include "dsp/filters/biquad.h"
#include "effects/framework/effect_run.h"

namespace tidemark::NS_EFFECT {

class CBiQuadFilter : public CEffRun {
 public:
  // `name` is the display name of the effect that made it.
  explicit CBiQuadFilter(std::string name = "IIR Filter") : name_(std::move(name)) {}
  // Takes `filter`'s sections (0 sections: one pass-through section) for
  // `channels` channels; used again, it reconfigures and clears the state.
  [[nodiscard]] Error Configure(const SBiQuadFilter& filter, std::uint16_t channels);
  const SBiQuadFilter& filter() const { return filter_; }

  // `channels` must be the configured count (err::kLayoutMismatch else).
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override { kernel_.Reset(); }
  std::string GetName() const override { return name_; }

 private:
  std::string name_;
  SBiQuadFilter filter_;
  dsp::BiquadKernel kernel_;
};

}  // namespace tidemark::NS_EFFECT
