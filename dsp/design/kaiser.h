// The Kaiser window's pieces shared by the filter designs: the Bessel
// function I0 and the window parameter for a stop-band attenuation.
#pragma once

namespace tidemark::dsp {

// The zeroth-order modified Bessel function of the first kind, summed as its
// power series in double precision.
double BesselI0(double x);

// The Kaiser window parameter for a stop-band attenuation of `db` decibels:
// 0.1102 x (db - 8.7).
inline double KaiserBeta(double db) { return 0.1102 * (db - 8.7); }

}  // namespace tidemark::dsp
