// The parts of the WAV format block that the probe, the header sniff, the
// clipboard image and the rate patch share. The format tags, block sizes and
// sub-format GUIDs are those of the header writer (core/io/wave_header.h).
#pragma once

#include <cstdint>
#include <cstring>

#include "core/io/wave_header.h"
#include "formats/chunks/byte_order.h"

namespace tidemark::wav {

inline bool IsSubFormat(const std::uint8_t* guid, const std::uint8_t (&wanted)[16]) {
  return std::memcmp(guid, wanted, sizeof wanted) == 0;
}

// The first 16 bytes of every format body.
struct FormatBlock {
  std::uint16_t tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint32_t byte_rate = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits = 0;
};

inline FormatBlock ParseFormatBlock(const std::uint8_t* body) {
  FormatBlock f;
  f.tag = LoadLe16(body);
  f.channels = LoadLe16(body + 2);
  f.rate = LoadLe32(body + 4);
  f.byte_rate = LoadLe32(body + 8);
  f.block_align = LoadLe16(body + 12);
  f.bits = LoadLe16(body + 14);
  return f;
}

}  // namespace tidemark::wav
