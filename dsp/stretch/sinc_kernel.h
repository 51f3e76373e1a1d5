// The interpolation kernel for reading a signal at fractional positions: a
// low-pass windowed sinc (Kaiser window) tabulated at kPhases points per
// sample, read between table points by linear interpolation.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/error.h"

namespace tidemark::dsp {

class SincKernel {
 public:
  static constexpr int kPhases = 512;
  static constexpr double kAttenuationDb = 100.0;

  // `cutoff` in cycles per input sample (0 < cutoff <= 0.5); `zero_crossings`
  // sinc lobes on each side at cut-off 0.5, so the reach grows as the
  // cut-off falls. err::kSizeLimit for a cut-off outside the range,
  // err::kOutOfMemory when the table cannot be made.
  [[nodiscard]] Error Init(double cutoff, int zero_crossings = 8);

  // Taps on each side: the value at position i + frac (0 <= frac < 1) is
  // the sum of x[i + k] * w[k + reach - 1] for k = 1 - reach .. reach.
  int reach() const { return reach_; }
  int taps() const { return 2 * reach_; }
  // The 2 x reach weights for `frac`, normalised to unit sum (so DC passes
  // exactly whatever the fraction).
  void Weights(double frac, float* w) const;

 private:
  int reach_ = 0;
  std::vector<float> table_;  // the kernel at x = -reach .. reach, kPhases per unit
};

}  // namespace tidemark::dsp
