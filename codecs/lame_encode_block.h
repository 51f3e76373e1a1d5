// The LAME MP3 encoder settings and their stored block ("LAMEEncode", kind
// 0x8000, 12 bytes, little-endian):
//   0  u8   mode: 0 CBR, 1 ABR, 2 VBR
//   1  i8   algorithm quality -1...9 (0 best, 9 fastest; -1 the encoder's default)
//   2  u8   VBR level 0...9 (0 the largest files; LAME's -V)
//   3  u8   channel mode: 0 joint stereo, 1 stereo, 2 mono (a stereo
//           document is mixed down); a mono document is always mono
//   4  u16  bitrate in kbit/s for CBR and ABR (8...320)
//   6  u16  upper bitrate bound in kbit/s for VBR and ABR (0: none, else 8...320)
//   8  u8   flags: bit 0 CRC, 1 copyright, 2 original, 3 private,
//           4 ID3v2 texts in Unicode, 5 ID3v2.4 (else 2.3), 6 no ID3v1 tag;
//           bit 7 reserved, 0
//   9  u8[3] reserved, 0
// A block with a value out of range or a reserved bit set is refused (15).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/error.h"

namespace tidemark {

inline constexpr std::size_t kLameEncodeBlockSize = 12;

enum class LameMode : std::uint8_t { kCbr = 0, kAbr = 1, kVbr = 2 };
enum class LameChannels : std::uint8_t { kJointStereo = 0, kStereo = 1, kMono = 2 };

struct LameEncodeSettings {
  LameMode mode = LameMode::kCbr;
  std::int8_t quality = -1;
  std::uint8_t vbr_level = 2;
  LameChannels channels = LameChannels::kJointStereo;
  std::uint16_t bitrate = 192;
  std::uint16_t max_bitrate = 0;
  bool crc = false;
  bool copyright = false;
  bool original = true;
  bool private_bit = false;
  bool unicode = true;
  bool id3v24 = false;
  bool id3v1 = true;
};

std::array<std::uint8_t, kLameEncodeBlockSize> EncodeLameBlock(const LameEncodeSettings& settings);
[[nodiscard]] Error DecodeLameBlock(std::span<const std::uint8_t> block, LameEncodeSettings* settings);

}  // namespace tidemark
