// The FLAC encoder settings and their stored block ("FLACEncode", kind
// 0x8000, 16 bytes, little-endian):
//   0  u8   compression level 0-8
//   1  u8   bits per sample: 0 = the document's width (8, 16 or 24), else 8/16/24
//   2  u8   flags: bit 0 verify (decode what was encoded and compare);
//           bit 1 leave out the WAV metadata (markers and tags as "riff"
//           APPLICATION blocks, kept by default); bit 2 write ReplayGain
//           tags (replaygain_analysis.h); the other bits are reserved, 0
//   3  u8   reserved, 0
//   4  u32  reserved, 0
//   8  u64  reserved, 0
// A block with a level above 8, another width or a reserved byte set is
// refused (15).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/error.h"

namespace tidemark {

inline constexpr std::size_t kFlacEncodeBlockSize = 16;

struct FlacEncodeSettings {
  std::uint8_t level = 5;
  std::uint8_t bits = 0;  // 0: the document's width
  bool verify = false;
  bool keep_wav_metadata = true;  // markers and tags also as "riff" blocks
  bool replay_gain = false;        // REPLAYGAIN_* comments from a loudness pass
};

std::array<std::uint8_t, kFlacEncodeBlockSize> EncodeFlacBlock(const FlacEncodeSettings& settings);
[[nodiscard]] Error DecodeFlacBlock(std::span<const std::uint8_t> block, FlacEncodeSettings* settings);

}  // namespace tidemark
