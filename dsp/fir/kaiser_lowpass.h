// Linear-phase low-pass FIR filters: a windowed sinc under a Kaiser window.
#pragma once

#include <cstddef>

namespace tidemark::dsp {

// Writes the `order` + 1 taps (`order` even, at least 2) of a low-pass with
// its cut-off at `cutoff` cycles per sample, the sinc windowed by a Kaiser
// window for `attenuation_db` of stop-band attenuation, scaled to unit gain
// at DC. Symmetric about tap order / 2. A cut-off at or above 0.5 passes
// everything: a unit impulse at the centre.
void DesignKaiserLowpass(std::size_t order, double cutoff, double attenuation_db, double* taps);

}  // namespace tidemark::dsp
