#include "codecs/mp3_encoder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/codec_library.h"
#include "codecs/mp3_decoder.h"
#include "formats/tags/id3_tags.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/codecs/encoder_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("mp3_encoder_test"); }

Decoded Decode(const fs::path& path) { return DecodeWith(ReadMp3File, path); }

struct RoundTripCase {
  const char* name;
  LameEncodeSettings settings;
  std::uint32_t rate;
  std::uint16_t channels;
  std::uint32_t frames;
  double min_snr_db;
};

LameEncodeSettings Cbr(std::uint16_t kbps) {
  LameEncodeSettings s;
  s.bitrate = kbps;
  return s;
}
LameEncodeSettings Vbr(std::uint8_t level) {
  LameEncodeSettings s;
  s.mode = LameMode::kVbr;
  s.vbr_level = level;
  return s;
}
LameEncodeSettings AbrCrc(std::uint16_t kbps) {
  LameEncodeSettings s;
  s.mode = LameMode::kAbr;
  s.bitrate = kbps;
  s.crc = true;
  s.quality = 2;
  return s;
}

class Mp3RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Our file read back by us and by ffmpeg: the exact original length (the
// info frame records delay and padding), the same samples, close to the
// original.
TEST_P(Mp3RoundTrip, ExactLengthAndCloseToTheOriginal) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const RoundTripCase& c = GetParam();
  const auto original = MusicLike(c.rate, c.channels, c.frames, c.frames);
  DocumentPtr d = OpenFloatDocument(Folder() / (std::string(c.name) + ".wav"), c.rate, c.channels, original);
  ASSERT_TRUE(d);
  const fs::path mp3 = Folder() / (std::string(c.name) + ".mp3");
  ASSERT_EQ(WriteMp3File(*d, mp3.string(), c.settings), 0u);

  const Decoded ours = Decode(mp3);
  ASSERT_EQ(ours.rc, 0u);
  EXPECT_EQ(ours.info.frames, c.frames);
  EXPECT_EQ(ours.info.rate, c.rate);
  EXPECT_EQ(ours.info.channels, c.channels);
  const std::vector<float> peer = FfmpegDecode(mp3);
  EXPECT_EQ(peer.size(), original.size());
  EXPECT_GE(Correlation(ours.samples, peer), 0.999);
  EXPECT_GE(SnrDb(original, ours.samples), c.min_snr_db);
}

INSTANTIATE_TEST_SUITE_P(Modes, Mp3RoundTrip,
                         ::testing::Values(RoundTripCase{"cbr192", Cbr(192), 44100, 2, 132301, 20.0},
                                           RoundTripCase{"vbr2", Vbr(2), 48000, 2, 100000, 15.0},
                                           RoundTripCase{"abr96crc", AbrCrc(96), 22050, 1, 40000, 12.0},
                                           RoundTripCase{"short", Cbr(128), 32000, 1, 500, 0.0}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// The tags through mutagen (version 3 and 4, Unicode or not) and back
// through our reader, with the markers as chapters.
TEST(Mp3Tags, WrittenTagsReadByMutagenAndByUs) {
  TIDEMARK_REQUIRE_PEER_IF(HaveMutagen(), "python3-mutagen");
  struct Case {
    bool v24;
    bool unicode;
    const char* title;
    const char* artist;
  };
  // Without Unicode, text goes out in the narrow code page: plain ASCII here.
  for (const Case& c : {Case{false, true, "日本語のタイトル", "Artist Ä"}, Case{true, true, "日本語のタイトル", "Artist Ä"},
                        Case{false, false, "Plain title", "Artist"}, Case{true, false, "Plain title", "Artist"}}) {
    const std::string stem = std::string("tags") + (c.v24 ? "4" : "3") + (c.unicode ? "u" : "n");
    DocumentPtr d = OpenFloatDocument(Folder() / (stem + ".wav"), 44100, 2, MusicLike(44100, 2, 88200, 5));
    ASSERT_TRUE(d);
    SetTagText(d->metadata, InfoText::Name, c.title);
    SetTagText(d->metadata, InfoText::Artist, c.artist);
    SetTagText(d->metadata, InfoText::Comments, "a comment");
    SetTagText(d->metadata, InfoText::Genre, "Jazz");
    SetTagText(d->metadata, InfoText::CreationDate, "2024");
    SetTagText(d->metadata, InfoText::AppPrivate, "ALBUM=Album TNO=7");
    AddMarker(*d, 22050, "Intro");
    AddMarker(*d, 66150, "マーカー");
    LameEncodeSettings settings;
    settings.id3v24 = c.v24;
    settings.unicode = c.unicode;
    const fs::path mp3 = Folder() / (stem + ".mp3");
    ASSERT_EQ(WriteMp3File(*d, mp3.string(), settings), 0u) << stem;

    const std::string seen = Mutagen(
        mp3, "(lambda t: dict([('version', t.version[1])] + [(k, str(v)) for k, v in t.items()"
             " if not k.startswith('CHAP')] + [(c.element_id, '%d-%d %s' % (c.start_time, c.end_time, "
             "c.sub_frames['TIT2'].text[0])) for c in t.getall('CHAP')]))"
             "(mutagen.id3.ID3(f, translate=False, load_v1=False))");
    std::vector<std::string> lines = {"COMM::XXX=a comment",
                                      "TALB=Album",
                                      c.v24 ? "TCON=Jazz" : "TCON=(8)",
                                      std::string("TIT2=") + c.title,
                                      std::string("TPE1=") + c.artist,
                                      "TRCK=7",
                                      c.v24 ? "TDRC=2024" : "TYER=2024",
                                      "chp0=500-1500 Intro",
                                      "chp1=1500-2000 マーカー",
                                      c.v24 ? "version=4" : "version=3"};
    std::sort(lines.begin(), lines.end());
    std::string expected;
    for (const std::string& line : lines) expected += line + "\n";
    EXPECT_EQ(seen, expected) << stem;

    const Decoded back = Decode(mp3);
    ASSERT_EQ(back.rc, 0u) << stem;
    EXPECT_EQ(back.info.frames, 88200u);
    EXPECT_EQ(TagText(back.info.tags, InfoText::Name), c.title) << stem;
    EXPECT_EQ(TagText(back.info.tags, InfoText::Genre), "Jazz") << stem;
    std::vector<std::pair<std::uint32_t, std::string>> markers;
    for (const Marker* m = back.info.markers.first(); m; m = m->next) markers.emplace_back(m->position, m->name);
    EXPECT_EQ(markers, (std::vector<std::pair<std::uint32_t, std::string>>{{22050, "Intro"}, {66150, "マーカー"}}))
        << stem;
    // The ID3v1 tag at the end holds what it can of the same set.
    const auto bytes = ReadBytes(mp3);
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
  }
}

// Tags other programs write: ID3v2.3, ID3v2.4 (UTF-8 text), and an ID3v1
// tag alone, read into the tag set.
TEST(Mp3Tags, TagsMutagenWritesAreRead) {
  TIDEMARK_REQUIRE_PEER_IF(HaveMutagen(), "python3-mutagen");
  TIDEMARK_REQUIRE_PEER("/usr/bin/lame");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const fs::path wav = Folder() / "peer_tags.wav";
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 1 -b 16 '" + wav.string() + "' synth 0.5 sine 300"), 0);
  struct Case {
    const char* name;
    const char* save;  // what follows the frames being added
    const char* title;
    const char* album;
  };
  for (const Case& c : {Case{"v23", "t.save(f, v1=0, v2_version=3)", "日本語 v2.3", "Album"},
                        Case{"v24", "t.save(f, v1=0, v2_version=4)", "日本語 v2.4", "Album"},
                        Case{"v1", "t.save(f, v1=2, v2_version=3); mutagen.id3.delete(f, delete_v1=False)",
                             "Title v1", "Album"}}) {
    const fs::path mp3 = Folder() / (std::string("peer_") + c.name + ".mp3");
    ASSERT_EQ(Shell("/usr/bin/lame -S -b 96 '" + wav.string() + "' '" + mp3.string() + "'"), 0);
    const std::string script =
        std::string("import sys, mutagen.id3 as m; import mutagen\nf = sys.argv[1]\nt = m.ID3()\n") +
        "t.add(m.TIT2(encoding=3, text='" + c.title + "'))\nt.add(m.TPE1(encoding=3, text='Artist'))\n" +
        "t.add(m.TALB(encoding=3, text='" + c.album + "'))\nt.add(m.TRCK(encoding=3, text='4'))\n" +
        "t.add(m.TDRC(encoding=3, text='2019'))\nt.add(m.TCON(encoding=3, text='Rock'))\n" +
        "t.add(m.COMM(encoding=3, lang='eng', desc='', text='note'))\n" +
        "t.add(m.COMM(encoding=3, lang='eng', desc='ID3v1 Comment', text='note'))\n" + c.save + "\n";
    const fs::path py = Folder() / (std::string("peer_") + c.name + ".py");
    WriteBytes(py, std::vector<std::uint8_t>(script.begin(), script.end()));
    ASSERT_EQ(Shell("/usr/bin/python3 '" + py.string() + "' '" + mp3.string() + "'"), 0) << c.name;
    const Decoded d = Decode(mp3);
    ASSERT_EQ(d.rc, 0u) << c.name;
    EXPECT_EQ(d.info.frames, 22050u) << c.name;
    EXPECT_EQ(TagText(d.info.tags, InfoText::Name), c.title) << c.name;
    EXPECT_EQ(TagText(d.info.tags, InfoText::Artist), "Artist") << c.name;
    // mutagen's ID3v1 writer leaves the comment out.
    EXPECT_EQ(TagText(d.info.tags, InfoText::Comments), std::string(c.name) == "v1" ? "" : "note") << c.name;
    EXPECT_EQ(TagText(d.info.tags, InfoText::CreationDate), "2019") << c.name;
    EXPECT_EQ(TagText(d.info.tags, InfoText::Genre), "Rock") << c.name;
    const std::string app(TagText(d.info.tags, InfoText::AppPrivate));
    EXPECT_NE(app.find("ALBUM=Album"), std::string::npos) << c.name << ": " << app;
    EXPECT_NE(app.find("TNO=4"), std::string::npos) << c.name << ": " << app;
  }
}

// Damaged tags never stop the samples: cut chapters are skipped, an ID3v1
// look-alike that is not one gives nothing.
TEST(Mp3Tags, DamagedTagBytes) {
  TagSet tags;
  std::vector<std::uint8_t> not_v1(128, 'x');
  ParseMp3Id3v1Tag(not_v1, &tags);
  EXPECT_TRUE(IsTagSetEmpty(tags));
  ParseMp3Id3v1Tag(std::vector<std::uint8_t>{'T', 'A', 'G'}, &tags);
  EXPECT_TRUE(IsTagSetEmpty(tags));

  MarkerList markers;
  MarkerList source;
  InsertMarker(source, NewMarker("A", {}, 1000));
  std::vector<std::uint8_t> tag;
  ASSERT_EQ(BuildMp3Id3v2Tag({}, source, 1000, 5000, {}, &tag), 0u);
  ASSERT_GT(tag.size(), 10u);
  ASSERT_EQ(ParseMp3Chapters(tag, 1000, &markers), 0u);
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers.first()->position, 1000u);
  // Every cut of the tag parses without harm and keeps at most that chapter.
  for (std::size_t cut = 0; cut < tag.size(); ++cut) {
    std::vector<std::uint8_t> shorter(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(cut));
    ASSERT_EQ(ParseMp3Chapters(shorter, 1000, &markers), 0u);
    EXPECT_LE(markers.size(), 1u);
  }
  // A subframe size past the end of the CHAP body leaves the element id.
  std::vector<std::uint8_t> bad = tag;
  bad[bad.size() - 6] = 0x7F;
  ASSERT_EQ(ParseMp3Chapters(bad, 1000, &markers), 0u);
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers.first()->name, "chp0");
}

// Samples that are not finite are encoded as silence: they do not reach
// the output nor spoil what follows.
TEST(Mp3Writer, NonFiniteSamplesBecomeSilence) {
  auto samples = MusicLike(44100, 1, 44100, 8);
  for (std::size_t i = 1000; i < 3000; ++i) samples[i] = i % 2 ? NAN : INFINITY;
  DocumentPtr d = OpenFloatDocument(Folder() / "nonfinite.wav", 44100, 1, samples);
  ASSERT_TRUE(d);
  const fs::path mp3 = Folder() / "nonfinite.mp3";
  ASSERT_EQ(WriteMp3File(*d, mp3.string(), Cbr(128)), 0u);
  const Decoded back = Decode(mp3);
  ASSERT_EQ(back.rc, 0u);
  ASSERT_EQ(back.samples.size(), samples.size());
  for (const float v : back.samples) ASSERT_TRUE(std::isfinite(v));
  const std::vector<float> tail_in(samples.begin() + 10000, samples.end());
  const std::vector<float> tail_out(back.samples.begin() + 10000, back.samples.end());
  EXPECT_GE(SnrDb(tail_in, tail_out), 12.0);
}

// What the writer refuses, and a write that fails partway (a full disk):
// nothing is left behind, neither the target nor the hidden file.
TEST(Mp3Writer, RefusalsAndFailuresLeaveNothing) {
  const fs::path folder = codec_test::Folder("mp3_encoder_fail");
  DocumentPtr d = OpenFloatDocument(folder / "in.wav", 44100, 2, MusicLike(44100, 2, 200000, 2));
  DocumentPtr odd_rate = OpenFloatDocument(folder / "odd.wav", 44000, 1, MusicLike(44000, 1, 1000, 2));
  ASSERT_TRUE(d && odd_rate);
  const fs::path target = folder / "out.mp3";
  LameEncodeSettings too_fast = Cbr(400);
  EXPECT_EQ(WriteMp3File(*d, target.string(), too_fast), 15u);
  EXPECT_EQ(WriteMp3File(*odd_rate, target.string(), {}), 15u);
  for (const std::uint64_t nth : {1u, 3u, 20u}) {
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kWrite, nth, ENOSPC).Sticky());
    EXPECT_NE(WriteMp3File(*d, target.string(), {}), 0u) << nth;
    EXPECT_TRUE(full.fired()) << nth;
  }
  EXPECT_EQ(WriteMp3File(*d, target.string(), {}, [](std::uint64_t done, std::uint64_t) { return done < 50000; }),
            err::kCancelled);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(PartFiles(folder), 0);

  // Without the library: the package to install, and still nothing left.
  ::setenv("TIDEMARK_CODEC_PATH", "", 1);
  detail::ResetCodecLibraries();
  EXPECT_EQ(WriteMp3File(*d, target.string(), {}), 37u);
  EXPECT_EQ(MissingCodecPackage(), "libmp3lame0");
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(WriteMp3File(*d, target.string(), {}), 0u);
  EXPECT_EQ(PartFiles(folder), 0);
}

TEST(LameEncodeBlock, RoundTripsAndRefusesWhatItCannotHold) {
  LameEncodeSettings s;
  s.mode = LameMode::kAbr;
  s.quality = -1;
  s.vbr_level = 9;
  s.channels = LameChannels::kMono;
  s.bitrate = 320;
  s.max_bitrate = 8;
  s.crc = s.copyright = s.private_bit = s.id3v24 = true;
  s.original = s.unicode = s.id3v1 = false;
  const auto block = EncodeLameBlock(s);
  LameEncodeSettings back;
  ASSERT_EQ(DecodeLameBlock(block, &back), 0u);
  EXPECT_EQ(EncodeLameBlock(back), block);
  struct Bad {
    std::size_t at;
    std::uint8_t value;
  };
  for (const Bad bad : {Bad{0, 3}, Bad{1, 10}, Bad{1, 0xFE}, Bad{2, 10}, Bad{3, 3}, Bad{4, 0x41}, Bad{5, 2},
                        Bad{6, 7}, Bad{8, 0x80}, Bad{9, 1}, Bad{11, 1}}) {
    auto changed = block;
    changed[bad.at] = bad.value;
    LameEncodeSettings out;
    EXPECT_EQ(DecodeLameBlock(changed, &out), 15u) << bad.at;
  }
  EXPECT_EQ(DecodeLameBlock(std::vector<std::uint8_t>(11, 0), &back), 15u);
}

}  // namespace
}  // namespace tidemark
