// The stream-format menus of the encoders that offer a fixed list (LAME
// and AAC), as the automation layer's codec-information objects list them
// for a rate and channel count.
//
// LAME, constant bitrate: only the MPEG rates. 32000, 44100 and 48000 Hz
// take 320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32 kbit/s;
// 16000, 22050 and 24000 Hz take 160, 144, 128, 112, 96, 80, 64, 56, 48, 40,
// 32, 24, 16, 8 kbit/s. Stereo keeps those from twice the smallest up to the
// largest, mono those from the smallest up to half the largest; descending.
// LAME, VBR: qualities 100, 90 ... 10 (LAME's -V0 ... -V9), only when the
// rate equals its snapped MPEG rate (SnapLameVbrRate).
// AAC: 44100 and 48000 Hz only, 192, 160, 128, 96 kbit/s, CBR or VBR as asked.
// Two-pass lists are empty for both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/lame_encode_block.h"

namespace tidemark {

enum class CodecFamily { kLame, kAac };

struct CodecFormat {
  std::uint32_t bitrate = 0;  // bit/s; 0 for quality-based formats
  int bits_per_sample = 16;
  int channels = 0;
  std::string description;  // "%3d kbps, %2d kHz, %s, %s" or "Quality %3d, %2d kHz, %s, %s"
  int quality = 0;          // 10...100 for quality-based formats, else 0
  bool quality_based = false;
  bool two_pass = false;
  bool vbr = false;
  std::uint32_t sample_rate = 0;
};

// The rate a VBR LAME format list is made for: 48000 and above give 48000,
// up to 16000 gives 16000, above 44099 44100, above 31999 32000, 24000 to
// 31999 24000, 22050 to 23999 22050; 0 (no match) for 16001 to 22049.
std::uint32_t SnapLameVbrRate(std::uint32_t rate);

// The candidates for `rate` and `channels`; false (an invalid argument,
// `formats` left empty) for a rate outside 4000...384000 or a channel count
// other than 1 or 2. A combination the codec cannot encode gives true and
// an empty list.
bool GetCodecFormats(CodecFamily family, std::uint32_t rate, int channels, bool two_pass, bool vbr,
                     std::vector<CodecFormat>* formats);

// The LAME settings a format of the LAME list stands for (CBR at its
// bitrate, or VBR at the level of its quality).
LameEncodeSettings LameSettingsFor(const CodecFormat& format);

}  // namespace tidemark
