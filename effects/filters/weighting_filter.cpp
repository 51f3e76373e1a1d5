#include "effects/filters/weighting_filter.h"

#include <vector>

#include "dsp/filters/biquad.h"
#include "dsp/filters/weighting.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

// The cascade's kernel for each channel count up to the one the filter was
// made for, so that a mono run and a stereo run both filter whole blocks; a
// run uses only the kernel of its own count, which keeps its state.
class CurveWeighting final : public StatisWeighting {
 public:
  [[nodiscard]] Error Init(const SBiQuadFilter& filter, std::uint16_t channels) {
    gain_ = static_cast<float>(filter.gain);
    if (const Error rc = TryAlloc([&] { kernels_ = std::vector<dsp::BiquadKernel>(channels); })) return rc;
    for (std::uint16_t c = 0; c < channels; ++c)
      if (const Error rc = kernels_[c].Init(filter, static_cast<std::uint16_t>(c + 1))) return rc;
    return err::kOk;
  }
  void Filter(float* frames, std::size_t count, std::uint16_t channels) override {
    if (channels == 0 || channels > kernels_.size()) return;
    kernels_[channels - 1u].Process(frames, count, 0xFFFFFFFFu);
    const std::size_t samples = count * channels;
    for (std::size_t i = 0; i < samples; ++i) frames[i] *= gain_;
  }
  void Reset() override {
    for (dsp::BiquadKernel& k : kernels_) k.Reset();
  }

 private:
  std::vector<dsp::BiquadKernel> kernels_;
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
