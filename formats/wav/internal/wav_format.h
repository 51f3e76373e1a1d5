// The parts of the WAV format block that the probe, the clipboard image and
// the rate patch share: the format tags and the sub-format GUIDs of the
// extensible form.
#pragma once

#include <cstdint>
#include <cstring>

#include "formats/chunks/byte_order.h"

namespace tidemark::wav {

inline constexpr std::uint16_t kTagPcm = 1;
inline constexpr std::uint16_t kTagFloat = 3;
inline constexpr std::uint16_t kTagExtensible = 0xFFFE;

// Body sizes of the three format blocks the system accepts.
inline constexpr std::uint32_t kPlainFormatBytes = 16;
inline constexpr std::uint32_t kFloatFormatBytes = 18;
inline constexpr std::uint32_t kExtensibleFormatBytes = 40;
// Offset of the sub-format GUID inside an extensible format body.
inline constexpr std::uint32_t kSubFormatOffset = 24;

// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT in their stored byte layout.
inline constexpr std::uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
inline constexpr std::uint8_t kFloatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

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
