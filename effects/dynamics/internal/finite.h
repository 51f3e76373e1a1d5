// Non-finite samples (NaN, infinities) enter the dynamics runs as silence:
// neither the delay lines, the detectors' running sums nor the weighting
// filters ever hold one, so a single bad sample cannot spread.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tidemark::NS_EFFECT::dynamics {

inline float FiniteOrZero(float x) {
  return (std::bit_cast<std::uint32_t>(x) & 0x7f800000u) == 0x7f800000u ? 0.0f : x;
}

inline void ZeroNonFinite(float* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) samples[i] = FiniteOrZero(samples[i]);
}

}  // namespace tidemark::NS_EFFECT::dynamics
