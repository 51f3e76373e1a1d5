// The settings of the writers that go through FFmpeg and their stored
// blocks (kind 0x8000, little-endian; reserved bytes are 0 and a block with
// one set, or an unknown value, is refused with 15):
//
//   "AACEncode", 8 bytes: AAC-LC in an MP4/M4A file
//     0 u32  bit rate in bits/s, 0 = 128000 (else 16000-320000)
//     4 u8   flags: bit 0 prefer libfdk-aac when this FFmpeg has it
//     5 u8[3] reserved
//   "MP3Encode", 8 bytes: MP3 through FFmpeg's MP3 encoder (the system-codec
//   writer, format word "sysmp3")
//     0 u32  bit rate in bits/s, 0 = 192000 (else 32000-320000, CBR)
//     4 u32  reserved
//   "WMAEncode", 12 bytes: WMA version 2 in an ASF file
//     0 u32  bit rate in bits/s, 0 = 128000 (else 24000-320000)
//     4 u32  reserved
//     8 u32  reserved
//   "ACMEncode", 16 bytes: a WAV file in a compressed encoding (format word
//   "acm")
//     0 u16  WAVE format tag: 0x0002 MS ADPCM, 0x0011 IMA ADPCM, 0x0006
//            A-law, 0x0007 µ-law
//     2 u16  reserved
//     4 u32  reserved
//     8 u64  reserved
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

enum class AvWriter : std::uint8_t { kAac, kMp3, kWma, kAcm };

// The copyright, original and private bits of MPEG audio frame headers.
struct Mp3HeaderBits {
  bool copyright = false;
  bool original = true;
  bool private_bit = false;
};

struct AvEncodeSettings {
  AvWriter writer = AvWriter::kAac;
  std::uint32_t bitrate = 0;  // bits/s; 0: the writer's default
  bool prefer_fdk = true;     // AAC
  std::uint16_t wave_format = 0x0002;  // ACM
  // Not in the stored blocks; the script writers set them.
  std::uint8_t wma_version = 2;  // WMA: 1 picks FFmpeg's wmav1 encoder
  bool mp3_header_set = false;   // MP3: write mp3_header into every audio frame
  Mp3HeaderBits mp3_header;
  // MP3: texts in an ID3v2.4 tag as UTF-8; false: an ID3v2.3 tag, its texts
  // in ISO-8859-1 when they are ASCII and UTF-16 otherwise.
  bool id3_unicode = true;
};

inline constexpr std::size_t kAacEncodeBlockSize = 8;
inline constexpr std::size_t kMp3EncodeBlockSize = 8;
inline constexpr std::size_t kWmaEncodeBlockSize = 12;
inline constexpr std::size_t kAcmEncodeBlockSize = 16;

// The block's name and size for the writer.
std::string_view AvEncodeBlockName(AvWriter writer);
std::size_t AvEncodeBlockSize(AvWriter writer);

// The bit rate the writer uses for `settings` (its default for 0).
std::uint32_t EffectiveBitrate(const AvEncodeSettings& settings);

// 15 for a bit rate outside the writer's range or an unknown format tag.
[[nodiscard]] Error CheckAvEncodeSettings(const AvEncodeSettings& settings);

// The writer's block for `settings` (its size is AvEncodeBlockSize).
std::array<std::uint8_t, 16> EncodeAvBlock(const AvEncodeSettings& settings);
// Reads the writer's block into `settings` (settings->writer chooses the
// layout); 15 for a wrong size, a reserved byte set or a value out of range.
[[nodiscard]] Error DecodeAvBlock(std::span<const std::uint8_t> block, AvEncodeSettings* settings);

// A console field: bitrate=KBPS, fdk=0|1 (AAC), format=msadpcm|imaadpcm|
// alaw|mulaw (ACM), block=HEX; false for an unknown name or a bad value.
bool ApplyAvEncodeField(std::string_view name, std::string_view value, AvEncodeSettings* settings);

}  // namespace tidemark
