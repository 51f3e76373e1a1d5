#include "dsp/stretch/sinc_kernel.h"

#include <cmath>
#include <new>

#include "dsp/fir/kaiser_lowpass.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {

Error SincKernel::Init(double cutoff, int zero_crossings) {
  if (!(cutoff > 0 && cutoff <= 0.5) || zero_crossings < 1 || zero_crossings > 64) return err::kSizeLimit;
  const int reach = static_cast<int>(std::ceil(zero_crossings * 0.5 / cutoff));
  const std::size_t order = std::size_t{2} * static_cast<std::size_t>(reach) * kPhases;
  std::vector<double> taps;
  try {
    taps.resize(order + 1);
    table_.assign(order + 2, 0.0f);  // one guard point for the interpolation at x = reach
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
  // The low-pass at kPhases times the rate is the continuous kernel sampled
  // kPhases times per input sample.
  DesignKaiserLowpass(order, cutoff / kPhases, kAttenuationDb, taps.data());
  for (std::size_t i = 0; i <= order; ++i) table_[i] = static_cast<float>(taps[i] * kPhases);
  reach_ = reach;
  return err::kOk;
}

void SincKernel::Weights(double frac, float* w) const {
  const int n = taps();
  double sum = 0;
  // Tap j sits at x = (j - reach + 1) - frac; its table index is (x + reach) * kPhases.
  const double base = (1.0 - frac) * kPhases;
  const auto whole = static_cast<std::size_t>(base);
  const auto part = static_cast<float>(base - static_cast<double>(whole));
  for (int j = 0; j < n; ++j) {
    const std::size_t at = whole + static_cast<std::size_t>(j) * kPhases;
    const float v = table_[at] + part * (table_[at + 1] - table_[at]);
    w[j] = v;
    sum += v;
  }
  const auto scale = static_cast<float>(1.0 / sum);
  for (int j = 0; j < n; ++j) w[j] *= scale;
}

}  // namespace tidemark::dsp
