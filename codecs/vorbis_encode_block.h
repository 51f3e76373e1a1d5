// The Ogg Vorbis encoder settings and their stored block
// ("OggVorbisEncode", kind 0x8000, 16 bytes, little-endian):
//   0  i8   quality -1...10 (tenths of libvorbis's -0.1...1.0 scale, as
//           oggenc's -q), used when no bitrate below is set
//   1  u8[3] reserved, 0
//   4  u32  nominal bitrate in bit/s (0: none)
//   8  u32  lowest bitrate in bit/s (0: none)
//   12 u32  highest bitrate in bit/s (0: none)
// Any bitrate set selects the managed (bitrate) mode with those bounds;
// a bitrate set must lie in 8000...500000 and the lowest may not pass the
// highest. Anything else is refused (15).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/error.h"

namespace tidemark {

inline constexpr std::size_t kVorbisEncodeBlockSize = 16;

struct VorbisEncodeSettings {
  std::int8_t quality = 5;
  std::uint32_t nominal_bitrate = 0;
  std::uint32_t min_bitrate = 0;
  std::uint32_t max_bitrate = 0;

  bool managed() const { return nominal_bitrate || min_bitrate || max_bitrate; }
};

std::array<std::uint8_t, kVorbisEncodeBlockSize> EncodeVorbisBlock(const VorbisEncodeSettings& settings);
[[nodiscard]] Error DecodeVorbisBlock(std::span<const std::uint8_t> block, VorbisEncodeSettings* settings);

}  // namespace tidemark
