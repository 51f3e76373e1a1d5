// The equaliser sections: high shelf, low shelf and peaking, each an analog
// second-order prototype taken to z the same way as the low-pass/high-pass
// designs, and the band lists of the parametric and graphic equalisers.
//
// A band (f / rate, linear gain g, width w octaves) covers f / 2^(w/2) to
// f x 2^(w/2); the prototype's edge (1 rad/s) goes to the lower end
// f / 2^(w/2), its centre to the analog frequency that lands exactly on f,
// and its Q = centre / (centre^2 - 1) (in the analog plane the band runs
// from the edge to centre^2); a shelf's Q is held at 1/sqrt(2) at most, the
// steepest slope without overshoot, so widths under about 1.9 octaves all
// give that slope. So:
//   peaking     gain g at f, sqrt(g) at the lower band edge, unity at DC and
//               at the Nyquist frequency;
//   high shelf  unity at DC, sqrt(g) at f, g at the Nyquist frequency;
//   low shelf   g at DC, sqrt(g) at f, unity at the Nyquist frequency.
// Each section is normalised at DC (peaking, high shelf) or at the Nyquist
// frequency (low shelf). Frequencies above 0.4995 x rate are treated as it.
#pragma once

#include "dsp/filters/biquad.h"
#include "platform/error.h"

namespace tidemark::dsp {

enum class EqBand { kHighShelf = 1, kLowShelf = 2, kPeaking = 3 };

// One band's section. A gain of exactly 1 gives the pass-through section.
// err::kSizeLimit, `out` untouched, for a frequency, gain or width that is
// not a positive number, or a band kind not listed.
[[nodiscard]] Error DesignEqBand(EqBand band, double f_over_rate, double gain, double width_octaves,
                                 NS_EFFECT::SBiQuadSection* out);

// The three bands of the parametric equaliser, band i of kind i + 1.
struct ParametricBand {
  double f_over_rate = 0.0;
  double gain_db = 0.0;
  double width_octaves = 1.0;
};
inline constexpr int kParametricEqBands = 3;

// One section per band whose gain is not 0 dB, in band order; none at all
// (count 0, the pass-through filter) when every gain is 0.
[[nodiscard]] Error DesignParametricEq(const ParametricBand* bands, NS_EFFECT::SBiQuadFilter* out);

// The graphic equaliser: band k at 31.25 x 2^k Hz, 1 octave wide.
inline constexpr int kGraphicEqBands = 10;
inline constexpr double kGraphicEqFirstCentre = 31.25;

// How many bands a document of `rate` Hz has: they are taken in order while
// centre / rate <= 0.5 (a band at exactly half the rate is kept and runs at
// 0.4995 x rate).
int GraphicEqBandCount(double rate);

// One peaking section per band in use whose gain (dB, 10 values) is not 0.
[[nodiscard]] Error DesignGraphicEq(const double* gains_db, double rate, NS_EFFECT::SBiQuadFilter* out);

}  // namespace tidemark::dsp
