#include "codecs/opus_codec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/codec_install.h"
#include "codecs/codec_library.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/codecs/encoder_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("opus_codec_test"); }

Decoded Decode(const fs::path& path) { return DecodeWith(ReadOpusFile, path); }

TEST(OpusRate, OriginalRateWhenTheConverterReachesItExactly) {
  struct Case {
    std::uint32_t original;
    std::uint32_t opened;
  };
  for (const Case c : {Case{48000, 48000}, Case{44100, 44100}, Case{22050, 22050}, Case{8000, 8000},
                       Case{96000, 96000}, Case{44099, 48000}, Case{0, 48000}, Case{3000, 48000},
                       Case{400000, 48000}})
    EXPECT_EQ(OpusFileRate(c.original), c.opened) << c.original;
}

struct RoundTripCase {
  const char* name;
  std::uint32_t rate;
  std::uint16_t channels;
  std::uint32_t frames;
  OpusEncodeSettings settings;
  std::uint32_t opened_rate;
  double min_snr_db;  // only when it opens at its own rate
};

class OpusRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Written by us, read by us: the exact length at the opened rate, close to
// the original; opusinfo sees the original rate and the tags, and so does
// mutagen.
TEST_P(OpusRoundTrip, ExactLengthRateAndTags) {
  const RoundTripCase& c = GetParam();
  const auto original = MusicLike(c.rate, c.channels, c.frames, c.frames);
  DocumentPtr d = OpenFloatDocument(Folder() / (std::string(c.name) + ".wav"), c.rate, c.channels, original);
  ASSERT_TRUE(d);
  SetTagText(d->metadata, InfoText::Name, "日本語のタイトル");
  SetTagText(d->metadata, InfoText::Artist, "Artist");
  const fs::path opus = Folder() / (std::string(c.name) + ".opus");
  ASSERT_EQ(WriteOpusFile(*d, opus.string(), c.settings), 0u);

  const Decoded back = Decode(opus);
  ASSERT_EQ(back.rc, 0u);
  EXPECT_EQ(back.info.rate, c.opened_rate);
  const std::uint64_t at48 = (std::uint64_t{c.frames} * 48000 + c.rate - 1) / c.rate;
  EXPECT_EQ(back.info.frames, at48 * c.opened_rate / 48000);
  if (c.opened_rate == c.rate) {
    EXPECT_EQ(back.info.frames, c.frames);
    EXPECT_GE(SnrDb(original, back.samples), c.min_snr_db);
  }
  EXPECT_EQ(TagText(back.info.tags, InfoText::Name), "日本語のタイトル");

  TIDEMARK_REQUIRE_PEER("/usr/bin/opusinfo");
  const fs::path report = opus.string() + ".txt";
  ASSERT_EQ(std::system(("/usr/bin/opusinfo '" + opus.string() + "' >'" + report.string() + "' 2>&1").c_str()), 0);
  const auto bytes = ReadBytes(report);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("Original sample rate: " + std::to_string(c.rate) + " Hz"), std::string::npos) << text;
  EXPECT_NE(text.find("TITLE=日本語のタイトル"), std::string::npos) << text;
  TIDEMARK_REQUIRE_PEER_IF(HaveMutagen(), "python3-mutagen");
  EXPECT_EQ(Mutagen(opus, "dict((k, v[0]) for k, v in mutagen.File(f).tags.items())"),
            "artist=Artist\ntitle=日本語のタイトル\n");
}

OpusEncodeSettings With(std::uint32_t bitrate, OpusRateControl control, OpusSignal signal) {
  OpusEncodeSettings s;
  s.bitrate = bitrate;
  s.rate_control = control;
  s.signal = signal;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Rates, OpusRoundTrip,
    ::testing::Values(RoundTripCase{"r48", 48000, 2, 96001, With(128000, OpusRateControl::kVbr, OpusSignal::kMusic),
                                    48000, 12.0},
                      RoundTripCase{"r44", 44100, 2, 70000, With(96000, OpusRateControl::kConstrainedVbr,
                                                                 OpusSignal::kAuto),
                                    44100, 10.0},
                      RoundTripCase{"r16", 16000, 1, 20000, With(24000, OpusRateControl::kCbr, OpusSignal::kVoice),
                                    16000, 5.0},
                      RoundTripCase{"r44099", 44099, 1, 30000, With(0, OpusRateControl::kVbr, OpusSignal::kAuto),
                                    48000, 0.0}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Files opusenc writes open with the samples ffmpeg decodes, at the length
// the pre-skip and the last granule give.
TEST(OpusFromOpusenc, SameSamplesAsFfmpeg) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/opusenc");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  struct Case {
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint32_t frames;
  };
  for (const Case c : {Case{48000, 2, 100000}, Case{48000, 1, 12345}, Case{44100, 2, 44100}}) {
    const std::string stem = "peer" + std::to_string(c.rate) + "_" + std::to_string(c.channels);
    const fs::path wav = Folder() / (stem + ".wav");
    WriteFloatWav(wav, c.rate, c.channels, MusicLike(c.rate, c.channels, c.frames, 3));
    const fs::path opus = Folder() / (stem + ".opus");
    ASSERT_EQ(Shell("/usr/bin/opusenc --quiet --bitrate 128 '" + wav.string() + "' '" + opus.string() + "'"), 0);
    const Decoded ours = Decode(opus);
    ASSERT_EQ(ours.rc, 0u) << stem;
    EXPECT_EQ(ours.info.rate, c.rate) << stem;
    EXPECT_EQ(ours.info.frames, c.frames) << stem;
    if (c.rate != 48000) continue;  // ffmpeg decodes at 48 kHz only
    const std::vector<float> peer = FfmpegDecode(opus);
    EXPECT_EQ(peer.size(), ours.samples.size()) << stem;
    EXPECT_GE(Correlation(ours.samples, peer), 0.999) << stem;
  }
}

// Through the open dispatch: ".opus" and, after Vorbis and FLAC, ".ogg";
// the path goes to the second slot.
TEST(OpusDispatch, OpensThroughTheRows) {
  InstallCodecs();
  DocumentPtr d = OpenFloatDocument(Folder() / "dispatch.wav", 44100, 1, MusicLike(44100, 1, 5000, 1));
  ASSERT_TRUE(d);
  for (const char* name : {"dispatch.opus", "dispatch.ogg"}) {
    const fs::path path = Folder() / name;
    ASSERT_EQ(WriteOpusFile(*d, path.string(), {}), 0u);
    SoundDocument* raw = nullptr;
    ASSERT_EQ(OpenSoundDocument(path.string(), OpenOptions(), &raw), 0u) << name;
    DocumentPtr opened(raw);
    EXPECT_FALSE(opened->path.has_value());
    EXPECT_EQ(opened->second_path, path.string());
    EXPECT_EQ(opened->rate, 44100u);
    EXPECT_EQ(opened->length, 5000u);
  }
}

// Bad input: cut and damaged files, an absurd pre-skip, no Opus at all.
TEST(OpusDamage, RefusedOrCutNeverACrash) {
  DocumentPtr d = OpenFloatDocument(Folder() / "damage.wav", 48000, 2, MusicLike(48000, 2, 48000, 4));
  ASSERT_TRUE(d);
  const fs::path good_path = Folder() / "damage.opus";
  ASSERT_EQ(WriteOpusFile(*d, good_path.string(), {}), 0u);
  const auto good = ReadBytes(good_path);
  ASSERT_GT(good.size(), 2000u);
  // The OpusHead packet starts at byte 28 of the first page; pre-skip at +10.
  ASSERT_EQ(std::string(good.begin() + 28, good.begin() + 36), "OpusHead");
  std::vector<std::uint8_t> preskip = good;
  preskip[38] = 0xFF;
  preskip[39] = 0xFF;
  std::vector<std::uint8_t> flipped = good;
  for (std::size_t i = 1000; i < flipped.size(); i += 97) flipped[i] ^= 0x5A;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  for (const Case& c : {Case{"empty", {}}, Case{"header only", {good.begin(), good.begin() + 60}},
                        Case{"cut", {good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)}},
                        Case{"absurd pre-skip", preskip}, Case{"bytes flipped", flipped}}) {
    const fs::path path = Folder() / "damaged.opus";
    WriteBytes(path, c.bytes);
    const Decoded back = Decode(path);
    if (back.rc) {
      EXPECT_TRUE(back.rc == 14u || back.rc == 8u) << c.name << ": " << back.rc;
    } else {
      EXPECT_LE(back.info.frames, 48000u) << c.name;
      for (const float v : back.samples) ASSERT_TRUE(std::isfinite(v)) << c.name;
    }
  }
}

// A full disk partway, a cancel, a missing library: nothing is left.
TEST(OpusWriter, FailuresLeaveNothing) {
  const fs::path folder = codec_test::Folder("opus_writer_fail");
  DocumentPtr d = OpenFloatDocument(folder / "in.wav", 48000, 2, MusicLike(48000, 2, 150000, 2));
  ASSERT_TRUE(d);
  const fs::path target = folder / "out.opus";
  // Pages of about a second: the first, second and third write.
  for (const std::uint64_t nth : {1u, 2u, 3u}) {
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kWrite, nth, ENOSPC).Sticky());
    EXPECT_EQ(WriteOpusFile(*d, target.string(), {}), err::kDiskFull) << nth;
  }
  EXPECT_EQ(WriteOpusFile(*d, target.string(), {}, [](std::uint64_t done, std::uint64_t) { return done < 20000; }),
            err::kCancelled);
  ::setenv("TIDEMARK_CODEC_PATH", "", 1);
  detail::ResetCodecLibraries();
  EXPECT_EQ(WriteOpusFile(*d, target.string(), {}), 37u);
  EXPECT_EQ(MissingCodecPackage(), "libopusenc0");
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(PartFiles(folder), 0);
}

TEST(OpusEncodeBlock, RoundTripsClampsAndRefuses) {
  const OpusEncodeSettings s = With(64000, OpusRateControl::kCbr, OpusSignal::kVoice);
  const auto block = EncodeOpusBlock(s);
  OpusEncodeSettings back;
  ASSERT_EQ(DecodeOpusBlock(block, &back), 0u);
  EXPECT_EQ(EncodeOpusBlock(back), block);
  struct Clamp {
    std::uint64_t in;
    std::uint32_t out;
  };
  for (const Clamp c : {Clamp{0, 0}, Clamp{1, 6000}, Clamp{6000, 6000}, Clamp{512001, 512000},
                        Clamp{0xFFFFFFFFu, 512000}})
    EXPECT_EQ(ClampOpusBitrate(c.in), c.out) << c.in;
  for (const std::size_t at : {4u, 5u, 6u, 7u, 8u, 11u}) {
    auto changed = block;
    changed[at] = 11;
    EXPECT_EQ(DecodeOpusBlock(changed, &back), 15u) << at;
  }
}

}  // namespace
}  // namespace tidemark
