#include "codecs/opus_encode_block.h"

#include <algorithm>

#include "formats/chunks/byte_order.h"
#include "platform/error_numbers.h"

namespace tidemark {

std::uint32_t ClampOpusBitrate(std::uint64_t bitrate) {
  if (bitrate == 0) return 0;
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(bitrate, kOpusMinBitrate, kOpusMaxBitrate));
}

std::array<std::uint8_t, kOpusEncodeBlockSize> EncodeOpusBlock(const OpusEncodeSettings& s) {
  std::array<std::uint8_t, kOpusEncodeBlockSize> block{};
  StoreLe32(block.data(), s.bitrate);
  block[4] = static_cast<std::uint8_t>(s.rate_control);
  block[5] = static_cast<std::uint8_t>(s.signal);
  block[6] = s.complexity;
  return block;
}

Error DecodeOpusBlock(std::span<const std::uint8_t> block, OpusEncodeSettings* settings) {
  if (block.size() != kOpusEncodeBlockSize) return err::kUnsupportedFormat;
  if (block[4] > 2 || block[5] > 2 || block[6] > 10) return err::kUnsupportedFormat;
  if (std::any_of(block.begin() + 7, block.end(), [](std::uint8_t b) { return b != 0; }))
    return err::kUnsupportedFormat;
  settings->bitrate = ClampOpusBitrate(LoadLe32(block.data()));
  settings->rate_control = static_cast<OpusRateControl>(block[4]);
  settings->signal = static_cast<OpusSignal>(block[5]);
  settings->complexity = block[6];
  return err::kOk;
}

}  // namespace tidemark
