// How a 1-bit file lays out its data bytes: the converter reads the data
// area through the matching input expander.
#pragma once

#include <cstdint>

namespace tidemark::NS_1BIT {

enum class OneBitLayout : std::uint8_t {
  // Channels interleaved byte by byte, most significant bit first (DSDIFF, WSD).
  kByteInterleaved,
  // 4096-byte blocks per channel, least significant bit first (DSF, 1 bit per sample).
  kDsfLsbFirst,
  // 4096-byte blocks per channel, most significant bit first (DSF, 8 bits per sample).
  kDsfMsbFirst,
};

// Bytes per channel in one DSF block.
inline constexpr std::uint32_t kDsfBlockBytes = 4096;

}  // namespace tidemark::NS_1BIT
