#include "codecs/flac_encode_block.h"

#include <algorithm>

#include "platform/error_numbers.h"

namespace tidemark {

std::array<std::uint8_t, kFlacEncodeBlockSize> EncodeFlacBlock(const FlacEncodeSettings& settings) {
  std::array<std::uint8_t, kFlacEncodeBlockSize> block{};
  block[0] = settings.level;
  block[1] = settings.bits;
  block[2] = static_cast<std::uint8_t>((settings.verify ? 1 : 0) | (settings.keep_wav_metadata ? 0 : 2) |
                                       (settings.replay_gain ? 4 : 0));
  return block;
}

Error DecodeFlacBlock(std::span<const std::uint8_t> block, FlacEncodeSettings* settings) {
  if (block.size() != kFlacEncodeBlockSize) return err::kUnsupportedFormat;
  if (block[0] > 8) return err::kUnsupportedFormat;
  if (block[1] != 0 && block[1] != 8 && block[1] != 16 && block[1] != 24) return err::kUnsupportedFormat;
  if ((block[2] & ~7u) != 0) return err::kUnsupportedFormat;
  if (std::any_of(block.begin() + 3, block.end(), [](std::uint8_t b) { return b != 0; }))
    return err::kUnsupportedFormat;
  settings->level = block[0];
  settings->bits = block[1];
  settings->verify = (block[2] & 1) != 0;
  settings->keep_wav_metadata = (block[2] & 2) == 0;
  settings->replay_gain = (block[2] & 4) != 0;
  return err::kOk;
}

}  // namespace tidemark
