// Measurement of a single tone's signal-to-noise-and-distortion ratio.
#pragma once

#include <cstddef>

namespace tidemark::dsp {

// SINAD in dB of `samples` (at `rate` Hz) holding one tone at `tone_hz`,
// counting noise and distortion over [band_lo, band_hi] Hz. The largest
// power of two of samples not above `count` (at most 2^24), taken from the
// middle of the buffer, is mean-removed, windowed with a 7-term
// Blackman-Harris window (side lobes about 180 dB down) and transformed; the
// bins within 8 of the tone are the signal, every other bin in the band is
// noise and distortion. Returns NaN for fewer than 64 samples, a rate or
// band that is not positive, a tone outside the band, or a result that cannot
// be formed (no signal); +infinity when the band holds no noise at all.
double MeasureSinadDb(const float* samples, std::size_t count, double rate, double tone_hz, double band_lo,
                      double band_hi);

}  // namespace tidemark::dsp
