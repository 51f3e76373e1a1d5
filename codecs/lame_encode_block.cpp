#include "codecs/lame_encode_block.h"

#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint8_t kFlagCrc = 1, kFlagCopyright = 2, kFlagOriginal = 4, kFlagPrivate = 8, kFlagUnicode = 16,
                       kFlagId3v24 = 32, kFlagNoId3v1 = 64;

bool BitrateOk(std::uint16_t kbps) { return kbps >= 8 && kbps <= 320; }

}  // namespace

std::array<std::uint8_t, kLameEncodeBlockSize> EncodeLameBlock(const LameEncodeSettings& s) {
  std::array<std::uint8_t, kLameEncodeBlockSize> block{};
  block[0] = static_cast<std::uint8_t>(s.mode);
  block[1] = static_cast<std::uint8_t>(s.quality);
  block[2] = s.vbr_level;
  block[3] = static_cast<std::uint8_t>(s.channels);
  block[4] = static_cast<std::uint8_t>(s.bitrate & 0xFF);
  block[5] = static_cast<std::uint8_t>(s.bitrate >> 8);
  block[6] = static_cast<std::uint8_t>(s.max_bitrate & 0xFF);
  block[7] = static_cast<std::uint8_t>(s.max_bitrate >> 8);
  unsigned flags = 0;
  if (s.crc) flags |= kFlagCrc;
  if (s.copyright) flags |= kFlagCopyright;
  if (s.original) flags |= kFlagOriginal;
  if (s.private_bit) flags |= kFlagPrivate;
  if (s.unicode) flags |= kFlagUnicode;
  if (s.id3v24) flags |= kFlagId3v24;
  if (!s.id3v1) flags |= kFlagNoId3v1;
  block[8] = static_cast<std::uint8_t>(flags);
  return block;
}

Error DecodeLameBlock(std::span<const std::uint8_t> block, LameEncodeSettings* settings) {
  if (block.size() != kLameEncodeBlockSize) return err::kUnsupportedFormat;
  LameEncodeSettings s;
  if (block[0] > 2) return err::kUnsupportedFormat;
  s.mode = static_cast<LameMode>(block[0]);
  s.quality = static_cast<std::int8_t>(block[1]);
  if (s.quality < -1 || s.quality > 9) return err::kUnsupportedFormat;
  if (block[2] > 9 || block[3] > 2) return err::kUnsupportedFormat;
  s.vbr_level = block[2];
  s.channels = static_cast<LameChannels>(block[3]);
  s.bitrate = static_cast<std::uint16_t>(block[4] | block[5] << 8);
  s.max_bitrate = static_cast<std::uint16_t>(block[6] | block[7] << 8);
  if (!BitrateOk(s.bitrate) || (s.max_bitrate != 0 && !BitrateOk(s.max_bitrate))) return err::kUnsupportedFormat;
  const std::uint8_t flags = block[8];
  if (flags & 0x80 || block[9] || block[10] || block[11]) return err::kUnsupportedFormat;
  s.crc = flags & kFlagCrc;
  s.copyright = flags & kFlagCopyright;
  s.original = flags & kFlagOriginal;
  s.private_bit = flags & kFlagPrivate;
  s.unicode = flags & kFlagUnicode;
  s.id3v24 = flags & kFlagId3v24;
  s.id3v1 = !(flags & kFlagNoId3v1);
  *settings = s;
  return err::kOk;
}

}  // namespace tidemark
