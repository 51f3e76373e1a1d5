#include "dsp/one_bit/one_bit_filter_design.h"

#include <cmath>
#include <numbers>

#include "dsp/design/kaiser.h"

namespace tidemark::NS_1BIT {

std::vector<double> KaiserLowPassHalf(std::uint32_t half, double omega_c, double beta, double m) {
  std::vector<double> h(std::size_t{half} + 1);
  const double i0_beta = dsp::BesselI0(beta);
  h[0] = omega_c;
  for (std::uint32_t n = 1; n <= half; ++n) {
    const double x = static_cast<double>(n);
    const double r = x / m;
    const double w = dsp::BesselI0(beta * std::sqrt(1.0 - r * r)) / i0_beta;
    h[n] = std::sin(omega_c * x) / x * w;
  }
  double sum = h[0];
  for (std::uint32_t n = 1; n <= half; ++n) sum += 2.0 * h[n];
  for (double& v : h) v /= sum;
  return h;
}

std::vector<float> EvenKernel(const std::vector<double>& h) {
  if (h.empty()) return {};
  const std::size_t half = h.size() - 1;
  std::vector<float> k(2 * half + 2, 0.0f);
  const std::size_t centre = half + 1;
  for (std::size_t i = 1; i < k.size(); ++i) {
    const std::size_t d = i > centre ? i - centre : centre - i;
    k[i] = static_cast<float>(h[d]);
  }
  return k;
}

std::vector<double> DesignFirstStageHalf(std::uint32_t length, std::uint32_t ratio, double attenuation_db) {
  if (length < 4 || length % 2 != 0 || ratio == 0) return {};
  const std::uint32_t half = (length - 2) / 2;
  const double omega_c = 2.0 * std::numbers::pi * 0.5 / ratio;
  return KaiserLowPassHalf(half, omega_c, dsp::KaiserBeta(attenuation_db), static_cast<double>(half) + 1.0);
}

std::vector<double> DesignSecondStageHalf(std::uint32_t length, double attenuation_db) {
  if (length < 4 || length % 2 != 0) return {};
  const std::uint32_t taps = length - 1;
  const std::uint32_t half = (taps - 1) / 2;
  const double a = attenuation_db;
  const double d = a > 80.0 ? (a - 80.0) * 0.06 + 5.01741 : a / 14.36 - 0.5536;
  const double delta = std::fmin(d * 0.5 / taps, 0.125);
  const double omega_c = 2.0 * std::numbers::pi * (0.25 - delta);
  return KaiserLowPassHalf(half, omega_c, dsp::KaiserBeta(a), static_cast<double>(half) + 1.0);
}

}  // namespace tidemark::NS_1BIT
