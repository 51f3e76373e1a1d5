#include "effects/filters/weighting_filter.h"

#include <vector>

#include "dsp/filters/biquad.h"
#include "dsp/filters/weighting.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

// One sample at a time through the cascade's kernel: a frame with only the
// sample's channel processed, so every channel keeps its own state.
class CurveWeighting final : public StatisWeighting {
 public:
  [[nodiscard]] Error Init(const SBiQuadFilter& filter, std::uint16_t channels) {
    gain_ = static_cast<float>(filter.gain);
    if (const Error rc = TryAlloc([&] { frame_.assign(channels, 0.0f); })) return rc;
    return kernel_.Init(filter, channels);
  }
  float Filter(std::uint16_t channel, float x) override {
    if (channel >= frame_.size()) return x;
    frame_[channel] = x;
    kernel_.Process(frame_.data(), 1, 1u << channel);
    return frame_[channel] * gain_;
  }
  void Reset() override { kernel_.Reset(); }

 private:
  dsp::BiquadKernel kernel_;
  std::vector<float> frame_;
  float gain_ = 1.0f;
};

}  // namespace

Error MakeWeightingCurve(char letter, std::uint32_t rate, std::uint16_t channels, StatisWeightingPtr* filter) {
  SBiQuadFilter curve;
  if (const Error rc = dsp::DesignWeighting(letter, rate, &curve)) return rc;
  std::unique_ptr<CurveWeighting> made;
  if (const Error rc = MakeNew(&made)) return rc;
  if (const Error rc = made->Init(curve, channels)) return rc;
  *filter = std::move(made);
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
