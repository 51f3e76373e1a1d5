#include "dsp/fir/kaiser_lowpass.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/design/kaiser.h"

namespace tidemark::dsp {

void DesignKaiserLowpass(std::size_t order, double cutoff, double attenuation_db, double* taps) {
  const std::size_t half = order / 2;
  if (cutoff >= 0.5) {
    std::fill_n(taps, order + 1, 0.0);
    taps[half] = 1.0;
    return;
  }
  const double beta = KaiserBeta(attenuation_db);
  const double norm = 1.0 / BesselI0(beta);
  double sum = 0.0;
  for (std::size_t k = 0; k <= order; ++k) {
    const double t = static_cast<double>(k) - static_cast<double>(half);
    const double arg = std::numbers::pi * 2.0 * cutoff * t;
    const double sinc = k == half ? 2.0 * cutoff : std::sin(arg) / (std::numbers::pi * t);
    const double r = t / static_cast<double>(half);
    const double window = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) * norm;
    taps[k] = sinc * window;
    sum += taps[k];
  }
  for (std::size_t k = 0; k <= order; ++k) taps[k] /= sum;
}

}  // namespace tidemark::dsp
