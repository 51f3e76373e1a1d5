#include "codecs/vorbis_encode_block.h"

#include "formats/chunks/byte_order.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

bool BitrateOk(std::uint32_t bps) { return bps == 0 || (bps >= 8000 && bps <= 500000); }

}  // namespace

std::array<std::uint8_t, kVorbisEncodeBlockSize> EncodeVorbisBlock(const VorbisEncodeSettings& s) {
  std::array<std::uint8_t, kVorbisEncodeBlockSize> block{};
  block[0] = static_cast<std::uint8_t>(s.quality);
  StoreLe32(block.data() + 4, s.nominal_bitrate);
  StoreLe32(block.data() + 8, s.min_bitrate);
  StoreLe32(block.data() + 12, s.max_bitrate);
  return block;
}

Error DecodeVorbisBlock(std::span<const std::uint8_t> block, VorbisEncodeSettings* settings) {
  if (block.size() != kVorbisEncodeBlockSize) return err::kUnsupportedFormat;
  VorbisEncodeSettings s;
  s.quality = static_cast<std::int8_t>(block[0]);
  if (s.quality < -1 || s.quality > 10 || block[1] || block[2] || block[3]) return err::kUnsupportedFormat;
  s.nominal_bitrate = LoadLe32(block.data() + 4);
  s.min_bitrate = LoadLe32(block.data() + 8);
  s.max_bitrate = LoadLe32(block.data() + 12);
  if (!BitrateOk(s.nominal_bitrate) || !BitrateOk(s.min_bitrate) || !BitrateOk(s.max_bitrate))
    return err::kUnsupportedFormat;
  if (s.min_bitrate && s.max_bitrate && s.min_bitrate > s.max_bitrate) return err::kUnsupportedFormat;
  *settings = s;
  return err::kOk;
}

}  // namespace tidemark
