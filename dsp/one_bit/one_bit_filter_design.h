// Kaiser-windowed low-pass designs of the two decimation stages of the 1-bit
// converter.
#pragma once

#include <cstdint>
#include <vector>

namespace tidemark::NS_1BIT {

// The half of a symmetric odd-length low-pass: h[0] is the centre tap, h[n]
// for n = 1 .. half the taps on either side. hn = sin(wc n) / n (h0 = wc),
// windowed by I0(beta sqrt(1 - (n / m)^2)) / I0(beta) and normalised to unit
// DC gain (h0 + 2 sum hn = 1).
std::vector<double> KaiserLowPassHalf(std::uint32_t half, double omega_c, double beta, double m);

// An even-length kernel of 2 x half + 2 taps in single precision: one leading
// zero, then the odd-length filter of `h`. Its centre sits at index half + 1.
std::vector<float> EvenKernel(const std::vector<double>& h);

// The first stage for a decimation by `ratio` with `length` (= 16 x ratio)
// taps: length - 1 designed taps, cut-off at half the stage's output rate
// (wc = 2 pi x 0.5 / ratio), Kaiser beta for `attenuation_db`,
// m = (length - 2) / 2 + 1. Empty for a length below 4 or odd.
std::vector<double> DesignFirstStageHalf(std::uint32_t length, std::uint32_t ratio, double attenuation_db);

// The half-band second stage of `length` (512) taps: length - 1 designed
// taps, wc = 2 pi (0.25 - delta) with delta = min(D x 0.5 / (length - 1),
// 0.125) and D the transition term of `attenuation_db` ((A - 80) x 0.06 +
// 5.01741 above 80 dB, else A / 14.36 - 0.5536), m = half + 1.
std::vector<double> DesignSecondStageHalf(std::uint32_t length, double attenuation_db);

}  // namespace tidemark::NS_1BIT
