#include "codecs/codec_formats_menu.h"

#include <array>
#include <cstdio>

#include "core/samples/sample_format.h"

namespace tidemark {
namespace {

constexpr std::array<int, 14> kMpeg1Kbps = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};
constexpr std::array<int, 14> kMpeg2Kbps = {160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};
constexpr std::array<int, 4> kAacKbps = {192, 160, 128, 96};

const char* ChannelsWord(int channels) { return channels == 2 ? "stereo" : "mono"; }

int KiloHertz(std::uint32_t rate) { return static_cast<int>((rate + 500) / 1000); }

CodecFormat BitrateFormat(int kbps, std::uint32_t rate, int channels, bool vbr, const char* mode) {
  CodecFormat f;
  f.bitrate = static_cast<std::uint32_t>(kbps) * 1000;
  f.channels = channels;
  f.sample_rate = rate;
  f.vbr = vbr;
  char text[64];
  std::snprintf(text, sizeof text, "%3d kbps, %2d kHz, %s, %s", kbps, KiloHertz(rate), ChannelsWord(channels), mode);
  f.description = text;
  return f;
}

void LameCbr(std::uint32_t rate, int channels, std::vector<CodecFormat>* formats) {
  const std::array<int, 14>* list = nullptr;
  if (rate == 32000 || rate == 44100 || rate == 48000) list = &kMpeg1Kbps;
  if (rate == 16000 || rate == 22050 || rate == 24000) list = &kMpeg2Kbps;
  if (!list) return;
  const int smallest = list->back();
  const int largest = list->front();
  for (const int kbps : *list) {
    const bool kept = channels == 2 ? kbps >= 2 * smallest : kbps <= largest / 2;
    if (kept) formats->push_back(BitrateFormat(kbps, rate, channels, false, "CBR"));
  }
}

void LameVbr(std::uint32_t rate, int channels, std::vector<CodecFormat>* formats) {
  if (SnapLameVbrRate(rate) != rate) return;
  for (int quality = 100; quality >= 10; quality -= 10) {
    CodecFormat f;
    f.channels = channels;
    f.sample_rate = rate;
    f.quality = quality;
    f.quality_based = true;
    f.vbr = true;
    char text[64];
    std::snprintf(text, sizeof text, "Quality %3d, %2d kHz, %s, %s", quality, KiloHertz(rate), ChannelsWord(channels),
                  "VBR");
    f.description = text;
    formats->push_back(f);
  }
}

}  // namespace

std::uint32_t SnapLameVbrRate(std::uint32_t rate) {
  if (rate >= 48000) return 48000;
  if (rate <= 16000) return 16000;
  if (rate > 44099) return 44100;
  if (rate > 31999) return 32000;
  if (rate >= 24000) return 24000;
  if (rate >= 22050) return 22050;
  return 0;
}

bool GetCodecFormats(CodecFamily family, std::uint32_t rate, int channels, bool two_pass, bool vbr,
                     std::vector<CodecFormat>* formats) {
  formats->clear();
  if (rate < kMinSampleRate || rate > kMaxSampleRate || (channels != 1 && channels != 2)) return false;
  if (two_pass) return true;
  if (family == CodecFamily::kLame) {
    if (vbr)
      LameVbr(rate, channels, formats);
    else
      LameCbr(rate, channels, formats);
    return true;
  }
  if (rate != 44100 && rate != 48000) return true;
  for (const int kbps : kAacKbps) formats->push_back(BitrateFormat(kbps, rate, channels, vbr, vbr ? "VBR" : "CBR"));
  return true;
}

LameEncodeSettings LameSettingsFor(const CodecFormat& format) {
  LameEncodeSettings s;
  if (format.quality_based) {
    s.mode = LameMode::kVbr;
    s.vbr_level = static_cast<std::uint8_t>((100 - format.quality) / 10);
  } else {
    s.mode = LameMode::kCbr;
    s.bitrate = static_cast<std::uint16_t>(format.bitrate / 1000);
  }
  if (format.channels == 1) s.channels = LameChannels::kMono;
  return s;
}

}  // namespace tidemark
