#include "dsp/filters/equaliser.h"

#include <algorithm>
#include <cmath>

#include "dsp/filters/internal/z_map.h"
#include "dsp/filters/lowpass_highpass.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {

namespace {

using filters_internal::Complex;

// The roots of a s^2 + b s + c (a > 0).
void QuadraticRoots(double a, double b, double c, Complex* r1, Complex* r2) {
  const Complex root = std::sqrt(Complex{b * b - 4.0 * a * c, 0.0});
  // The root of larger magnitude first, the other from the product: no cancellation.
  const Complex big = (b >= 0 ? -(b + root) : (root - b)) / (2.0 * a);
  *r1 = big;
  *r2 = (c / a) / big;
}

}  // namespace

Error DesignEqBand(EqBand band, double f_over_rate, double gain, double width_octaves,
                   NS_EFFECT::SBiQuadSection* out) {
  if (!(f_over_rate > 0.0) || !(gain > 0.0) || !std::isfinite(gain) || !(width_octaves > 0.0) ||
      !std::isfinite(width_octaves)) {
    return err::kSizeLimit;
  }
  if (band != EqBand::kHighShelf && band != EqBand::kLowShelf && band != EqBand::kPeaking) return err::kSizeLimit;
  if (gain == 1.0) {
    *out = NS_EFFECT::SBiQuadSection{};
    return err::kOk;
  }
  const double centre = 2.0 * M_PI * ClampRelativeFrequency(f_over_rate);
  const double edge = centre / std::exp2(width_octaves / 2);
  const filters_internal::ZMap map(edge, false);
  const double w0 = map.AnalogFrequency(centre);
  // A shelf's Q stops at 1/sqrt(2), the steepest that never overshoots.
  const double band_q = w0 / (w0 * w0 - 1.0);
  const double q = band == EqBand::kPeaking ? band_q : std::min(band_q, M_SQRT1_2);
  const double a = std::sqrt(gain);
  const double sa = std::sqrt(a);
  // Numerator and denominator of the prototype as (s^2, s, 1) coefficients;
  // constant factors go, the normalisation restores them.
  double num[3];
  double den[3];
  switch (band) {
    case EqBand::kPeaking:
      num[0] = 1.0, num[1] = a * w0 / q, num[2] = w0 * w0;
      den[0] = 1.0, den[1] = w0 / (a * q), den[2] = w0 * w0;
      break;
    case EqBand::kHighShelf:
      num[0] = a, num[1] = sa * w0 / q, num[2] = w0 * w0;
      den[0] = 1.0, den[1] = sa * w0 / q, den[2] = a * w0 * w0;
      break;
    default:  // low shelf
      num[0] = 1.0, num[1] = sa * w0 / q, num[2] = a * w0 * w0;
      den[0] = a, den[1] = sa * w0 / q, den[2] = w0 * w0;
      break;
  }
  Complex z1, z2, p1, p2;
  QuadraticRoots(num[0], num[1], num[2], &z1, &z2);
  QuadraticRoots(den[0], den[1], den[2], &p1, &p2);
  NS_EFFECT::SBiQuadSection s =
      filters_internal::SectionFromRoots(map.Root(z1), map.Root(z2), map.Root(p1), map.Root(p2));
  filters_internal::NormaliseSection(&s, band == EqBand::kLowShelf);
  *out = s;
  return err::kOk;
}

Error DesignParametricEq(const ParametricBand* bands, NS_EFFECT::SBiQuadFilter* out) {
  NS_EFFECT::SBiQuadFilter made;
  for (int i = 0; i < kParametricEqBands; ++i) {
    const ParametricBand& b = bands[i];
    if (b.gain_db == 0.0) continue;
    const Error rc = DesignEqBand(static_cast<EqBand>(i + 1), b.f_over_rate, std::pow(10.0, b.gain_db / 20.0),
                                  b.width_octaves, &made.sections[made.count]);
    if (rc) return rc;
    ++made.count;
  }
  *out = made;
  return err::kOk;
}

int GraphicEqBandCount(double rate) {
  int count = 0;
  while (count < kGraphicEqBands && kGraphicEqFirstCentre * std::exp2(count) / rate <= 0.5) ++count;
  return count;
}

Error DesignGraphicEq(const double* gains_db, double rate, NS_EFFECT::SBiQuadFilter* out) {
  if (!(rate > 0.0)) return err::kSizeLimit;
  NS_EFFECT::SBiQuadFilter made;
  const int bands = GraphicEqBandCount(rate);
  for (int k = 0; k < bands; ++k) {
    if (gains_db[k] == 0.0) continue;
    const Error rc = DesignEqBand(EqBand::kPeaking, kGraphicEqFirstCentre * std::exp2(k) / rate,
                                  std::pow(10.0, gains_db[k] / 20.0), 1.0, &made.sections[made.count]);
    if (rc) return rc;
    ++made.count;
  }
  *out = made;
  return err::kOk;
}

}  // namespace tidemark::dsp
