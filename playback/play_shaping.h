// The per-buffer passes of playback: the linear fades at both ends of a
// range, and the peak level of each channel.
#pragma once

#include <cstdint>

#include "core/samples/sample_format.h"

namespace tidemark::playback {

// Fades `frames` interleaved frames of an output code (kS16, kS24, kFloat)
// that start at range position `position`, in place. F = min(fade, total):
// positions i < F are scaled by i / F, positions i >= total - F by
// (total - i) / F, one after the other where both hold; integer results are
// truncated toward zero. Non-finite float samples pass unchanged.
void ApplyFades(std::uint8_t* data, SampleCode code, std::uint16_t channels, std::uint32_t frames,
                std::uint64_t position, std::uint64_t total, std::uint64_t fade);

// The peak of each channel on the 16-bit scale (0 to 32768): 16-bit, the
// largest absolute value (-32768 counts as 32768); 24-bit, that of the upper
// two bytes; float, floor(32768 v + 0.5) for v < 1 and 32768 above. A NaN
// counts as 0 and an infinity as full scale.
void MeasurePeaks(const std::uint8_t* data, SampleCode code, std::uint16_t channels, std::uint32_t frames,
                  std::uint32_t* peaks);

}  // namespace tidemark::playback
