// Noise-transfer function and loop coefficients of the 1-bit delta-sigma
// modulator.
//
// The noise-transfer function (NTF) is a Chebyshev type II high-pass of the
// mode's order whose pass band begins (-3 dB) at the mode's band edge, with
// the mode's stop-band factor below it: its zeros sit on the unit circle at
// the inverse-Chebyshev positions spread over the stop band
// [0, band edge / cosh(acosh(1 / factor) / order)], holding the quantisation
// noise down evenly there, and NTF(infinity) = 1. For both modes this design
// has an out-of-band gain below 1.5 (1.43 and 1.47), which a two-level
// quantiser tolerates. Should a shape ask for more than its gain limit, the
// zeros are kept and the poles are taken from the Chebyshev type II design
// whose stop-band factor is relaxed until the gain has fallen to the limit.
//
// The loop is a cascade of resonators with feed-forward (every state feeds
// the quantiser, the input enters the first resonator as u - v and the
// quantiser directly), so the signal transfer is exactly 1 and the states
// carry shaped noise only. Section i holds the states a_i and b_i:
//   a_i += in_gain[i] * w_i - fb_gain[i] * b_i
//   b_i += link_gain[i] * a_i          (with the new a_i)
// where w_0 = u - v and w_i is b_{i-1} before this sample's update. The
// quantiser sees u + sum(out_gain[k] * state[k]) with states ordered
// a_0, b_0, a_1, b_1, ... Each resonator's poles lie on the unit circle at
// one NTF zero pair (fb_gain * link_gain = 2 - 2 cos theta). The states are
// scaled so that each has unit RMS per unit RMS of white quantisation error
// in the linear model.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>

#include "platform/error.h"

namespace tidemark::dsp {

// Which loop filter: five sections from a tenth-order design, or three from a
// sixth-order one.
enum class DeltaSigmaMode : std::uint8_t { kTenthOrder, kSixthOrder };

inline constexpr int kMaxDeltaSigmaSections = 5;
inline constexpr int kMaxDeltaSigmaOrder = 2 * kMaxDeltaSigmaSections;

// What a mode's design starts from. Frequencies are fractions of the 1-bit
// rate.
struct NtfShape {
  int order = 0;             // even, 2 .. kMaxDeltaSigmaOrder
  double band_edge = 0;      // where the pass band begins (-3 dB)
  double stop_factor = 0;    // stop-band gain relative to the pass band
  double max_gain = 0;       // the largest out-of-band gain allowed
};

NtfShape DeltaSigmaNtfShape(DeltaSigmaMode mode);

// Zeros and poles of a noise-transfer function with NTF(infinity) = 1.
struct Ntf {
  int order = 0;
  std::complex<double> zeros[kMaxDeltaSigmaOrder];
  std::complex<double> poles[kMaxDeltaSigmaOrder];
  double stop_factor = 0;  // the stop-band factor of the Chebyshev poles used
};

// |NTF| at frequency f (fraction of the rate).
double NtfGain(const Ntf& ntf, double f);
// The largest |NTF| on the unit circle.
double NtfMaxGain(const Ntf& ntf);
// The first `count` samples of the NTF's impulse response.
void NtfImpulse(const Ntf& ntf, double* out, std::size_t count);

// Designs the NTF for `shape`. Returns err::kUnsupportedFormat when the shape is
// out of range (odd or too high an order, band edge outside (0, 0.25),
// stop factor outside (0, 1), max gain not above 1).
[[nodiscard]] Error DesignNtf(const NtfShape& shape, Ntf* out);

struct DeltaSigmaLoop {
  int sections = 0;
  double in_gain[kMaxDeltaSigmaSections] = {};
  double fb_gain[kMaxDeltaSigmaSections] = {};
  double link_gain[kMaxDeltaSigmaSections] = {};
  double out_gain[kMaxDeltaSigmaOrder] = {};
  Ntf ntf;
};

// Realises `ntf` as the resonator cascade above. Returns
// err::kUnsupportedFormat when the NTF's zeros are not conjugate pairs on the
// unit circle or the coefficients cannot be solved for.
[[nodiscard]] Error RealiseDeltaSigmaLoop(const Ntf& ntf, DeltaSigmaLoop* out);

// DesignNtf and RealiseDeltaSigmaLoop for a mode.
[[nodiscard]] Error DesignDeltaSigmaLoop(DeltaSigmaMode mode, DeltaSigmaLoop* out);

// Runs the loop as a linear system (the quantiser replaced by adding an
// error sequence) from zero states with no input and returns in `out` the
// quantiser output for the error `error[0..count)`; with a unit impulse this
// is the realised NTF's impulse response. `states` (count × order values,
// optional) receives the states seen by each sample.
void RunLinearLoop(const DeltaSigmaLoop& loop, const double* error, std::size_t count, double* out,
                   double* states);

}  // namespace tidemark::dsp
