// The A, B, C and D frequency weightings as biquad cascades for a sample
// rate.
//
// Every pole and zero of the analog curve below 5 kHz goes to z by the
// matched z-transform (z = e^{sT}); there the curve's zeros at DC and its
// low poles roll off alike, so their digital images keep the analog shape
// up to the Nyquist frequency. What remains (the double pole at 12194 Hz of
// A, B and C; the net high-frequency roll-off of D and the small errors of
// the matched transform) is a fitted correction section: its magnitude
// squared, a ratio of cosine polynomials, is fitted to the remaining ratio
// analog / digital over 5 Hz .. min(0.45 x rate, 22 kHz) by iterated
// weighted least squares (Sanathanan-Koerner, relative error), then split
// into its minimum-phase factors. For A, B and C the fit is first order and
// the section its square (one real zero and one real pole, each double); for
// D it is second order. Every section is scaled to unit gain at 1 kHz, so
// the cascade is 0 dB there and its overall gain is 1.
//
// The result keeps within 0.3 dB of the standard curves from 20 Hz to
// 10 kHz (or 0.45 x rate), and within the IEC 61672 class 1 tolerances up to
// min(20 kHz, 0.45 x rate).
#pragma once

#include "dsp/filters/biquad.h"
#include "platform/error.h"

namespace tidemark::dsp {

// Rates below this have no room for the 1 kHz reference.
inline constexpr double kMinWeightingRate = 2400.0;

// The cascade of weighting `letter` ('A' to 'D', upper case) for `rate` Hz.
// err::kSizeLimit, `out` untouched, for another letter or a rate below
// kMinWeightingRate (or not a number).
[[nodiscard]] Error DesignWeighting(char letter, double rate, NS_EFFECT::SBiQuadFilter* out);

// The analog curve of `letter` at `f` Hz, in dB re its value at 1 kHz.
double WeightingCurveDb(char letter, double f);

}  // namespace tidemark::dsp
