#include "codecs/codec_formats_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidemark {
namespace {

std::vector<std::string> Descriptions(CodecFamily family, std::uint32_t rate, int channels, bool two_pass, bool vbr) {
  std::vector<CodecFormat> formats;
  EXPECT_TRUE(GetCodecFormats(family, rate, channels, two_pass, vbr, &formats));
  std::vector<std::string> out;
  for (const CodecFormat& f : formats) out.push_back(f.description);
  return out;
}

TEST(CodecFormatsMenu, LameConstantBitrateLists) {
  struct Case {
    std::uint32_t rate;
    int channels;
    std::size_t count;
    const char* first;
    const char* last;
  };
  for (const Case c : {Case{44100, 2, 10, "320 kbps, 44 kHz, stereo, CBR", " 64 kbps, 44 kHz, stereo, CBR"},
                       Case{48000, 1, 10, "160 kbps, 48 kHz, mono, CBR", " 32 kbps, 48 kHz, mono, CBR"},
                       Case{32000, 2, 10, "320 kbps, 32 kHz, stereo, CBR", " 64 kbps, 32 kHz, stereo, CBR"},
                       Case{22050, 2, 13, "160 kbps, 22 kHz, stereo, CBR", " 16 kbps, 22 kHz, stereo, CBR"},
                       Case{16000, 1, 9, " 80 kbps, 16 kHz, mono, CBR", "  8 kbps, 16 kHz, mono, CBR"},
                       Case{24000, 1, 9, " 80 kbps, 24 kHz, mono, CBR", "  8 kbps, 24 kHz, mono, CBR"}}) {
    const auto d = Descriptions(CodecFamily::kLame, c.rate, c.channels, false, false);
    ASSERT_EQ(d.size(), c.count) << c.rate;
    EXPECT_EQ(d.front(), c.first);
    EXPECT_EQ(d.back(), c.last);
  }
  EXPECT_TRUE(Descriptions(CodecFamily::kLame, 11025, 2, false, false).empty());
  EXPECT_TRUE(Descriptions(CodecFamily::kLame, 44100, 2, true, false).empty());
  std::vector<CodecFormat> formats;
  EXPECT_FALSE(GetCodecFormats(CodecFamily::kLame, 44100, 3, false, false, &formats));
  EXPECT_FALSE(GetCodecFormats(CodecFamily::kAac, 3999, 1, false, false, &formats));
  EXPECT_FALSE(GetCodecFormats(CodecFamily::kLame, 384001, 1, false, true, &formats));
}

TEST(CodecFormatsMenu, LameVbrSnapsTheRate) {
  struct Case {
    std::uint32_t rate;
    std::uint32_t snapped;
  };
  for (const Case c : {Case{96000, 48000}, Case{48000, 48000}, Case{44100, 44100}, Case{44099, 32000},
                       Case{32000, 32000}, Case{31999, 24000}, Case{24000, 24000}, Case{23999, 22050},
                       Case{22050, 22050}, Case{22049, 0}, Case{16001, 0}, Case{16000, 16000}, Case{8000, 16000}})
    EXPECT_EQ(SnapLameVbrRate(c.rate), c.snapped) << c.rate;
  const auto d = Descriptions(CodecFamily::kLame, 44100, 1, false, true);
  ASSERT_EQ(d.size(), 10u);
  EXPECT_EQ(d.front(), "Quality 100, 44 kHz, mono, VBR");
  EXPECT_EQ(d.back(), "Quality  10, 44 kHz, mono, VBR");
  EXPECT_TRUE(Descriptions(CodecFamily::kLame, 44099, 2, false, true).empty());
  EXPECT_TRUE(Descriptions(CodecFamily::kLame, 8000, 2, false, true).empty());  // snaps to 16000
  std::vector<CodecFormat> formats;
  ASSERT_TRUE(GetCodecFormats(CodecFamily::kLame, 48000, 2, false, true, &formats));
  const LameEncodeSettings v3 = LameSettingsFor(formats[3]);
  EXPECT_EQ(v3.mode, LameMode::kVbr);
  EXPECT_EQ(v3.vbr_level, 3);
}

TEST(CodecFormatsMenu, AacLists) {
  EXPECT_EQ(Descriptions(CodecFamily::kAac, 48000, 2, false, false),
            (std::vector<std::string>{"192 kbps, 48 kHz, stereo, CBR", "160 kbps, 48 kHz, stereo, CBR",
                                      "128 kbps, 48 kHz, stereo, CBR", " 96 kbps, 48 kHz, stereo, CBR"}));
  EXPECT_EQ(Descriptions(CodecFamily::kAac, 44100, 1, false, true).front(), "192 kbps, 44 kHz, mono, VBR");
  EXPECT_TRUE(Descriptions(CodecFamily::kAac, 32000, 2, false, false).empty());
  EXPECT_TRUE(Descriptions(CodecFamily::kAac, 44100, 2, true, false).empty());
}

}  // namespace
}  // namespace tidemark
