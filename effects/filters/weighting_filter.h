// The weighting curves behind the program-wide weighting option: the
// statistics (RMS and short-term RMS) pass their samples through the
// cascade of the chosen curve, designed for the document's rate.
#pragma once

#include <cstdint>

#include "effects/analysis/weighting.h"

namespace tidemark::NS_EFFECT {

// The factory SetWeightingFactory takes: 'A'..'D' for `rate` and `channels`
// (77 for another letter or a rate too low for the curve).
[[nodiscard]] Error MakeWeightingCurve(char letter, std::uint32_t rate, std::uint16_t channels,
                                       StatisWeightingPtr* filter);

}  // namespace tidemark::NS_EFFECT
