#include "formats/save_dither.h"

#include <cstddef>

namespace tidemark {

float TpdfDither16::NextUniform() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  const std::uint64_t r = state_ * 0x2545F4914F6CDD1Dull;
  return static_cast<float>(r >> 40) * (1.0f / 16777216.0f);
}

void TpdfDither16::Apply(float* block, std::uint32_t frames, std::uint16_t channels) {
  // The difference of two uniform draws is triangular on (-1, 1) steps.
  constexpr float kStep = 1.0f / 32768.0f;
  const std::size_t n = std::size_t{frames} * channels;
  for (std::size_t i = 0; i < n; ++i) block[i] += (NextUniform() - NextUniform()) * kStep;
}

}  // namespace tidemark
