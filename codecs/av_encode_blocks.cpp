#include "codecs/av_encode_blocks.h"

#include <charconv>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark {
namespace {

struct Range {
  std::uint32_t low, high, fallback;
};

Range RangeOf(AvWriter writer) {
  switch (writer) {
    case AvWriter::kAac:
      return {16000, 320000, 128000};
    case AvWriter::kMp3:
      return {32000, 320000, 192000};
    case AvWriter::kWma:
      return {24000, 320000, 128000};
    case AvWriter::kAcm:
      break;
  }
  return {0, 0, 0};
}

bool KnownWaveFormat(std::uint16_t tag) { return tag == 0x0002 || tag == 0x0011 || tag == 0x0006 || tag == 0x0007; }

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void PutU32(std::array<std::uint8_t, 16>& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool ParseNumber(std::string_view text, std::uint64_t* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::string_view AvEncodeBlockName(AvWriter writer) {
  switch (writer) {
    case AvWriter::kAac:
      return "AACEncode";
    case AvWriter::kMp3:
      return "MP3Encode";
    case AvWriter::kWma:
      return "WMAEncode";
    case AvWriter::kAcm:
      break;
  }
  return "ACMEncode";
}

std::size_t AvEncodeBlockSize(AvWriter writer) {
  switch (writer) {
    case AvWriter::kAac:
      return kAacEncodeBlockSize;
    case AvWriter::kMp3:
      return kMp3EncodeBlockSize;
    case AvWriter::kWma:
      return kWmaEncodeBlockSize;
    case AvWriter::kAcm:
      break;
  }
  return kAcmEncodeBlockSize;
}

std::uint32_t EffectiveBitrate(const AvEncodeSettings& settings) {
  return settings.bitrate != 0 ? settings.bitrate : RangeOf(settings.writer).fallback;
}

Error CheckAvEncodeSettings(const AvEncodeSettings& settings) {
  if (settings.writer == AvWriter::kAcm) return KnownWaveFormat(settings.wave_format) ? Error{} : err::kUnsupportedFormat;
  const Range range = RangeOf(settings.writer);
  if (settings.bitrate != 0 && (settings.bitrate < range.low || settings.bitrate > range.high))
    return err::kUnsupportedFormat;
  return Error{};
}

std::array<std::uint8_t, 16> EncodeAvBlock(const AvEncodeSettings& settings) {
  std::array<std::uint8_t, 16> block{};
  if (settings.writer == AvWriter::kAcm) {
    block[0] = static_cast<std::uint8_t>(settings.wave_format & 0xFF);
    block[1] = static_cast<std::uint8_t>(settings.wave_format >> 8);
    return block;
  }
  PutU32(block, 0, settings.bitrate);
  if (settings.writer == AvWriter::kAac && settings.prefer_fdk) block[4] = 1;
  return block;
}

Error DecodeAvBlock(std::span<const std::uint8_t> block, AvEncodeSettings* settings) {
  if (block.size() != AvEncodeBlockSize(settings->writer)) return err::kUnsupportedFormat;
  AvEncodeSettings read;
  read.writer = settings->writer;
  std::size_t reserved_from = 4;
  if (read.writer == AvWriter::kAcm) {
    read.wave_format = static_cast<std::uint16_t>(block[0] | block[1] << 8);
    reserved_from = 2;
  } else {
    read.bitrate = U32(block, 0);
    if (read.writer == AvWriter::kAac) {
      if (block[4] > 1) return err::kUnsupportedFormat;
      read.prefer_fdk = block[4] == 1;
      reserved_from = 5;
    }
  }
  for (std::size_t i = reserved_from; i < block.size(); ++i)
    if (block[i] != 0) return err::kUnsupportedFormat;
  if (const Error rc = CheckAvEncodeSettings(read)) return rc;
  *settings = read;
  return Error{};
}

bool ApplyAvEncodeField(std::string_view name, std::string_view value, AvEncodeSettings* settings) {
  std::uint64_t n = 0;
  if (name == "bitrate" && settings->writer != AvWriter::kAcm) {
    if (!ParseNumber(value, &n) || n == 0 || n > 1000) return false;
    AvEncodeSettings trial = *settings;
    trial.bitrate = static_cast<std::uint32_t>(n * 1000);
    if (CheckAvEncodeSettings(trial)) return false;
    *settings = trial;
    return true;
  }
  if (name == "fdk" && settings->writer == AvWriter::kAac) {
    if (value != "0" && value != "1") return false;
    settings->prefer_fdk = value == "1";
    return true;
  }
  if (name == "format" && settings->writer == AvWriter::kAcm) {
    static constexpr std::pair<std::string_view, std::uint16_t> kFormats[] = {
        {"msadpcm", 0x0002}, {"imaadpcm", 0x0011}, {"alaw", 0x0006}, {"mulaw", 0x0007}};
    for (const auto& [word, tag] : kFormats)
      if (word == value) {
        settings->wave_format = tag;
        return true;
      }
    return false;
  }
  if (name == "block") {
    if (value.size() % 2 != 0) return false;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < value.size(); i += 2) {
      unsigned byte = 0;
      const auto [end, ec] = std::from_chars(value.data() + i, value.data() + i + 2, byte, 16);
      if (ec != std::errc() || end != value.data() + i + 2) return false;
      bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    return !DecodeAvBlock(bytes, settings);
  }
  return false;
}

}  // namespace tidemark
