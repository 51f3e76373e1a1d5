// Low-pass and high-pass designs of order 2m (m = 1..15 biquad sections):
// Butterworth, Chebyshev type I, Chebyshev type II and elliptic.
//
// Each design starts from an analog prototype whose edge is at 1 rad/s,
// maps it to z by the bilinear transform with cot(0.5) (edge at 1
// rad/sample) and moves it to the cutoff by the first-order all-pass
// substitution (low-pass to low-pass or to high-pass). Every section is
// scaled to unity gain at DC (low-pass) or at the Nyquist frequency
// (high-pass), so a Chebyshev I or elliptic passband lies between 0 and
// +ripple dB, and an elliptic stopband at the stopband level + ripple.
//
// What the cutoff means:
//   Butterworth   the -3 dB point;
//   Chebyshev I   the ripple edge (the end of the 0.10 dB passband);
//   Chebyshev II  the stopband edge (where the stopband level is reached);
//   elliptic      the ripple edge.
//
// The elliptic design settles on the lowest even order that puts the start
// of its stopband within 1.001 x the cutoff (a transition band at most 0.1 %
// of the cutoff wide: higher orders would only narrow a transition nobody
// hears, with poles ever closer to the unit circle), or on 2m when no lower
// order gets there; the sections it does not need are pass-through sections.
#pragma once

#include "dsp/filters/biquad.h"
#include "platform/error.h"

namespace tidemark::dsp {

enum class FilterDesign { kButterworth = 0, kChebyshev1 = 1, kChebyshev2 = 2, kElliptic = 3 };

// Frequencies above this fraction of the sample rate are treated as it.
inline constexpr double kMaxRelativeFrequency = 0.4995;
// The Chebyshev I and elliptic passband ripple.
inline constexpr double kPassbandRippleDb = 0.10;
inline constexpr int kMaxLowpassHighpassSections = 15;
// Where the elliptic design may stop raising its order: the stopband edge
// over the cutoff.
inline constexpr double kEllipticTransitionRatio = 1.001;

// f / rate limited to kMaxRelativeFrequency.
double ClampRelativeFrequency(double f_over_rate);

struct LowpassHighpassParams {
  FilterDesign design = FilterDesign::kButterworth;
  bool highpass = false;
  int sections = 5;             // m, the order is 2m
  double cutoff = 2000.0 / 44100.0;  // f / rate, clamped
  double stopband_db = -40.0;   // stopband level (Chebyshev II, elliptic), negative
};

// The order (even, 2..2m) the elliptic design uses for m sections and the
// stopband level `stopband_db` (negative dB).
int EllipticOrder(int sections, double stopband_db);

// Designs the m = params.sections sections into `out` (gain 1.0).
// err::kSizeLimit, `out` untouched, for m outside 1..15, a cutoff that is
// not a positive number or a stopband level not below -ripple dB.
[[nodiscard]] Error DesignLowpassHighpass(const LowpassHighpassParams& params, NS_EFFECT::SBiQuadFilter* out);

}  // namespace tidemark::dsp
