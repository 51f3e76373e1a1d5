// The lattice-ladder filter as a block run (the user IIR filter).
#pragma once

#include <string>

#include "dsp/filters/lattice.h"
#include "effects/framework/effect_run.h"

namespace tidemark::NS_EFFECT {

class CLatticeIIR : public CEffRun {
 public:
  explicit CLatticeIIR(std::string name) : name_(std::move(name)) {}
  // Takes `filter` for `channels` channels with cleared state.
  [[nodiscard]] Error Configure(const SLatticeIIR& filter, std::uint16_t channels) {
    return kernel_.Init(filter, channels);
  }
  const SLatticeIIR& filter() const { return kernel_.filter(); }

  // `channels` must be the configured count (err::kLayoutMismatch else).
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override { kernel_.Reset(); }
  std::string GetName() const override { return name_; }

 private:
  std::string name_;
  dsp::LatticeKernel kernel_;
};

}  // namespace tidemark::NS_EFFECT
