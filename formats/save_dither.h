// The dither applied when a save narrows wider or scaled material to 16
// bits: triangular (TPDF) noise of one 16-bit step peak on each side, added
// before the rounding conversion, so that the rounding error becomes
// signal-independent noise instead of distortion that follows the signal.
#pragma once

#include <cstdint>

#include "core/document/segment_cursor.h"

namespace tidemark {

class TpdfDither16 final : public DitherHook {
 public:
  // The noise sequence depends only on `seed`, so a save is reproducible.
  explicit TpdfDither16(std::uint64_t seed = 0x9E3779B97F4A7C15ull) : state_(seed ? seed : 1) {}

  void Apply(float* block, std::uint32_t frames, std::uint16_t channels) override;

 private:
  // Uniform in [0, 1) from the top 24 bits of a xorshift64* draw.
  float NextUniform();

  std::uint64_t state_;
};

}  // namespace tidemark
