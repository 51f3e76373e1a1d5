// The path every filter design of this folder takes from an analog
// prototype to z: the prototype's edge at 1 rad/s, the bilinear transform
// s = cot(0.5) (z - 1) / (z + 1) that puts that edge at 1 rad/sample, then
// the first-order all-pass substitution that moves it to the wanted edge,
// keeping a low-pass a low-pass or turning it into a high-pass.
#pragma once

#include <complex>

#include "dsp/filters/biquad.h"

namespace tidemark::dsp::filters_internal {

using Complex = std::complex<double>;

// cot(0.5) and tan(0.5): the bilinear constant and its inverse.
inline constexpr double kCotHalf = 1.830487721712452;
inline constexpr double kTanHalf = 0.5463024898437905;

class ZMap {
 public:
  // `edge` in radians per sample, 0 < edge < pi.
  ZMap(double edge, bool highpass);
  // Where the analog root `s` lands in z.
  Complex Root(Complex s) const;
  // Where the roots at s = infinity land: -1 for a low-pass, +1 for a high-pass.
  double Infinity() const { return highpass_ ? 1.0 : -1.0; }
  // The analog frequency (rad/s) that lands on `omega` (rad/sample) of a
  // low-pass map: the prototype frequency a design must use to hit omega.
  double AnalogFrequency(double omega) const;

 private:
  double alpha_;
  bool highpass_;
};

// The section with zeros z1, z2 and poles p1, p2 (each pair conjugate, or
// two real roots; a root at 0 drops that factor), b0 = 1.
NS_EFFECT::SBiQuadSection SectionFromRoots(Complex z1, Complex z2, Complex p1, Complex p2);

// |H(e^{j omega})| of one section.
double SectionMagnitude(const NS_EFFECT::SBiQuadSection& s, double omega);

// Scales the numerator so that the section has unity gain at DC (or at the
// Nyquist frequency when `at_nyquist`).
void NormaliseSection(NS_EFFECT::SBiQuadSection* s, bool at_nyquist);

}  // namespace tidemark::dsp::filters_internal
