#include "dsp/filters/internal/z_map.h"

#include <cmath>

namespace tidemark::dsp::filters_internal {

ZMap::ZMap(double edge, bool highpass) : highpass_(highpass) {
  // The bilinear step leaves the prototype's edge at 1 rad/sample.
  alpha_ = highpass ? -std::cos((1.0 + edge) / 2) / std::cos((1.0 - edge) / 2)
                    : std::sin((1.0 - edge) / 2) / std::sin((1.0 + edge) / 2);
}

Complex ZMap::Root(Complex s) const {
  const Complex z = (kCotHalf + s) / (kCotHalf - s);
  const Complex moved = (z + alpha_) / (1.0 + alpha_ * z);
  return highpass_ ? -moved : moved;
}

double ZMap::AnalogFrequency(double omega) const {
  // Undo the all-pass step (its inverse uses -alpha), then the bilinear one.
  const Complex e = std::polar(1.0, omega);
  const double warped = std::arg((e - alpha_) / (1.0 - alpha_ * e));
  return kCotHalf * std::tan(warped / 2);
}

NS_EFFECT::SBiQuadSection SectionFromRoots(Complex z1, Complex z2, Complex p1, Complex p2) {
  NS_EFFECT::SBiQuadSection s;
  s.b0 = 1.0;
  s.b1 = -(z1 + z2).real();
  s.b2 = (z1 * z2).real();
  s.a1 = -(p1 + p2).real();
  s.a2 = (p1 * p2).real();
  return s;
}

double SectionMagnitude(const NS_EFFECT::SBiQuadSection& s, double omega) {
  const Complex e = std::polar(1.0, -omega);
  const Complex num = s.b0 + e * (s.b1 + e * s.b2);
  const Complex den = 1.0 + e * (s.a1 + e * s.a2);
  return std::abs(num) / std::abs(den);
}

void NormaliseSection(NS_EFFECT::SBiQuadSection* s, bool at_nyquist) {
  const double sign = at_nyquist ? -1.0 : 1.0;
  const double num = s->b0 + sign * s->b1 + s->b2;
  const double den = 1.0 + sign * s->a1 + s->a2;
  const double scale = den / num;
  s->b0 *= scale;
  s->b1 *= scale;
  s->b2 *= scale;
}

}  // namespace tidemark::dsp::filters_internal
