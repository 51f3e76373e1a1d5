#include "codecs/vorbis_encoder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/codec_library.h"
#include "codecs/vorbis_decoder.h"
#include "formats/chunks/byte_order.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/codecs/encoder_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("vorbis_encoder_test"); }

struct RoundTripCase {
  const char* name;
  std::uint32_t rate;
  std::uint16_t channels;
  std::uint32_t frames;
  VorbisEncodeSettings settings;
  double min_snr_db;
  const char* ogginfo_line;  // what ogginfo reports of the mode
};

class VorbisRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Written by us and read back by us at the exact length, close to the
// original; ogginfo accepts the stream and mutagen reads the comments.
TEST_P(VorbisRoundTrip, ExactLengthAndPeersAgree) {
  const RoundTripCase& c = GetParam();
  const auto original = MusicLike(c.rate, c.channels, c.frames, c.frames);
  DocumentPtr d = OpenFloatDocument(Folder() / (std::string(c.name) + ".wav"), c.rate, c.channels, original);
  ASSERT_TRUE(d);
  SetTagText(d->metadata, InfoText::Name, "日本語のタイトル");
  SetTagText(d->metadata, InfoText::Genre, "Jazz");
  const fs::path ogg = Folder() / (std::string(c.name) + ".ogg");
  ASSERT_EQ(WriteVorbisFile(*d, ogg.string(), c.settings), 0u);
  const Decoded back = DecodeWith(ReadVorbisFile, ogg);
  ASSERT_EQ(back.rc, 0u);
  EXPECT_EQ(back.info.frames, c.frames);
  EXPECT_EQ(back.info.rate, c.rate);
  EXPECT_GE(SnrDb(original, back.samples), c.min_snr_db);
  EXPECT_EQ(TagText(back.info.tags, InfoText::Name), "日本語のタイトル");

  TIDEMARK_REQUIRE_PEER("/usr/bin/ogginfo");
  const fs::path report = ogg.string() + ".txt";
  EXPECT_EQ(std::system(("/usr/bin/ogginfo '" + ogg.string() + "' >'" + report.string() + "' 2>&1").c_str()), 0);
  const auto bytes = ReadBytes(report);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.find("WARNING"), std::string::npos) << text;
  EXPECT_NE(text.find(c.ogginfo_line), std::string::npos) << text;
  TIDEMARK_REQUIRE_PEER_IF(HaveMutagen(), "python3-mutagen");
  EXPECT_EQ(Mutagen(ogg, "dict((k, v[0]) for k, v in mutagen.File(f).tags.items())"),
            "genre=Jazz\ntitle=日本語のタイトル\n");
}

VorbisEncodeSettings Quality(std::int8_t q) {
  VorbisEncodeSettings s;
  s.quality = q;
  return s;
}
VorbisEncodeSettings Managed(std::uint32_t nominal, std::uint32_t low, std::uint32_t high) {
  VorbisEncodeSettings s;
  s.nominal_bitrate = nominal;
  s.min_bitrate = low;
  s.max_bitrate = high;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, VorbisRoundTrip,
    ::testing::Values(RoundTripCase{"q5", 44100, 2, 100003, Quality(5), 15.0, "Nominal bitrate: 160"},
                      RoundTripCase{"managed", 48000, 2, 50000, Managed(128000, 0, 160000), 12.0,
                                    "Upper bitrate: 160"},
                      RoundTripCase{"qlow", 22050, 1, 30000, Quality(-1), 5.0, "Channels: 1"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// A full disk partway, a cancel, a missing library, an impossible mode:
// nothing is left.
TEST(VorbisWriter, FailuresLeaveNothing) {
  const fs::path folder = codec_test::Folder("vorbis_writer_fail");
  DocumentPtr d = OpenFloatDocument(folder / "in.wav", 44100, 2, MusicLike(44100, 2, 150000, 2));
  DocumentPtr low_rate = OpenFloatDocument(folder / "low.wav", 4000, 1, MusicLike(4000, 1, 4000, 2));
  ASSERT_TRUE(d && low_rate);
  const fs::path target = folder / "out.ogg";
  for (const std::uint64_t nth : {1u, 2u, 5u}) {
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kWrite, nth, ENOSPC).Sticky());
    EXPECT_EQ(WriteVorbisFile(*d, target.string(), {}), err::kDiskFull) << nth;
  }
  EXPECT_EQ(WriteVorbisFile(*d, target.string(), {}, [](std::uint64_t done, std::uint64_t) { return done < 20000; }),
            err::kCancelled);
  EXPECT_EQ(WriteVorbisFile(*low_rate, target.string(), Managed(500000, 0, 0)), 15u);
  ::setenv("TIDEMARK_CODEC_PATH", "", 1);
  detail::ResetCodecLibraries();
  EXPECT_EQ(WriteVorbisFile(*d, target.string(), {}), 37u);
  EXPECT_EQ(MissingCodecPackage(), "libvorbisenc2");
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(PartFiles(folder), 0);
}

TEST(VorbisEncodeBlock, RoundTripsAndRefuses) {
  const VorbisEncodeSettings s = Managed(128000, 64000, 192000);
  const auto block = EncodeVorbisBlock(s);
  VorbisEncodeSettings back;
  ASSERT_EQ(DecodeVorbisBlock(block, &back), 0u);
  EXPECT_EQ(EncodeVorbisBlock(back), block);
  // Quality 11 and -2, a reserved byte, a bitrate below 8000 or above
  // 500000, the lowest above the highest.
  struct Bad {
    std::size_t at;
    std::uint32_t value;  // a byte at 0-3, else a bitrate
  };
  for (const Bad bad : {Bad{0, 11}, Bad{0, 0xFE}, Bad{2, 1}, Bad{4, 7999}, Bad{12, 500001}, Bad{8, 192001}}) {
    auto changed = block;
    if (bad.at < 4)
      changed[bad.at] = static_cast<std::uint8_t>(bad.value);
    else
      StoreLe32(changed.data() + bad.at, bad.value);
    EXPECT_EQ(DecodeVorbisBlock(changed, &back), 15u) << bad.at << " " << bad.value;
  }
}

}  // namespace
}  // namespace tidemark
