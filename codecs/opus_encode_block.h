// The Opus encoder settings and their stored block ("OpusEncode", kind
// 0x8000, 12 bytes, little-endian):
//   0  u32  bitrate in bit/s: 0 the encoder's default (which depends on the
//           channels), any other value clamped to 6000...512000
//   4  u8   rate control: 0 VBR, 1 constrained VBR, 2 CBR
//   5  u8   signal type: 0 automatic, 1 music, 2 voice
//   6  u8   complexity 0...10 (10 the slowest and best)
//   7  u8   reserved, 0
//   8  u32  reserved, 0
// A block with a value out of range or a reserved byte set is refused (15).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/error.h"

namespace tidemark {

inline constexpr std::size_t kOpusEncodeBlockSize = 12;
inline constexpr std::uint32_t kOpusMinBitrate = 6000;
inline constexpr std::uint32_t kOpusMaxBitrate = 512000;

enum class OpusRateControl : std::uint8_t { kVbr = 0, kConstrainedVbr = 1, kCbr = 2 };
enum class OpusSignal : std::uint8_t { kAuto = 0, kMusic = 1, kVoice = 2 };

struct OpusEncodeSettings {
  std::uint32_t bitrate = 128000;  // 0: the encoder's default
  OpusRateControl rate_control = OpusRateControl::kVbr;
  OpusSignal signal = OpusSignal::kAuto;
  std::uint8_t complexity = 10;
};

// 0 stays 0; any other value is clamped to the range Opus encodes.
std::uint32_t ClampOpusBitrate(std::uint64_t bitrate);

std::array<std::uint8_t, kOpusEncodeBlockSize> EncodeOpusBlock(const OpusEncodeSettings& settings);
[[nodiscard]] Error DecodeOpusBlock(std::span<const std::uint8_t> block, OpusEncodeSettings* settings);

}  // namespace tidemark
