// Hand-made ID3v2 tags, including the forms no peer writes (unsynchronised,
// extended headers, flagged frames) and damaged ones.
#include "formats/tags/internal/id3v2_reader.h"

#include <gtest/gtest.h>

#include "formats/tags/internal/app_private.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using namespace testing;

// The unsynchronisation scheme, written out independently of the writer.
Bytes Unsync(const Bytes& in) {
  Bytes out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || in[i + 1] >= 0xE0)) out.push_back(0);
  }
  return out;
}

// U+00FF as UTF-16LE with a mark: FF FE FF 00, which unsynchronisation alters.
const Bytes kYumlautUtf16 = {1, 0xFF, 0xFE, 0xFF, 0x00};
const char* const kYumlaut = "\xC3\xBF";

TEST(Id3v2Reader, TextEncodingsAndTheTagSetMapping) {
  ScopedCodeset cp1252("CP1252");
  const Bytes frames = Cat({
      TextFrame(3, "TIT2", "Caf\xE9"),                                 // code page
      Frame(3, "TPE1", {1, 0xFE, 0xFF, 0, 'A', 0x30, 0x42, 0, 0}),   // mark says big-endian
      Frame(3, "TALB", {1, 'L', 0, 'P', 0}),                        // 1 without a mark: little-endian
      Frame(3, "TCOP", {2, 0, 'C', 0x30, 0x42, 0x20}),              // 2 without a mark: big-endian; odd end
      Frame(3, "COMM", Cat({{3}, B("eng"), B("desc"), {0}, B("na\xC3\xAFve"), {0}, B("junk")})),
      TextFrame(3, "TCON", "(17)"),
      TextFrame(3, "TYER", "1999"),
      TextFrame(3, "TDRC", "2001"),
      TextFrame(3, "TRCK", "3/12"),
      TextFrame(3, "TSRC", "USRC17607839"),
      Frame(3, "WOAR", B("http://woar")),
      Frame(3, "WXXX", Cat({{1, 0xFF, 0xFE, 'd', 0, 0, 0}, B("http://wxxx")})),
      TextFrame(3, "TIT2", "second title is ignored"),
  });
  const TagSet set = TagsOf(Tag(3, 0, Cat({frames, Bytes(20, 0), TextFrame(3, "TPE2", "after padding")})));
  EXPECT_EQ(TagText(set, InfoText::Name), "Caf\xC3\xA9");
  EXPECT_EQ(TagText(set, InfoText::Artist), "A\xE3\x81\x82");
  EXPECT_EQ(TagText(set, InfoText::Copyright), "C\xE3\x81\x82");
  EXPECT_EQ(TagText(set, InfoText::Comments), "na\xC3\xAFve");
  EXPECT_EQ(TagText(set, InfoText::Genre), "Rock");
  EXPECT_EQ(TagText(set, InfoText::CreationDate), "1999");
  const std::string_view app = TagText(set, InfoText::AppPrivate);
  EXPECT_EQ(AppPrivateValue(app, app_private_key::kAlbum), "LP");
  EXPECT_EQ(AppPrivateValue(app, app_private_key::kTrack), "3/12");
  EXPECT_EQ(AppPrivateValue(app, app_private_key::kIsrc), "USRC17607839");
  EXPECT_EQ(AppPrivateValue(app, app_private_key::kWebUrl), "http://wxxx");
  EXPECT_FALSE(AppPrivateValue(app, app_private_key::kLyricsType));

  // TDRC when there is no TYER; the first present of the W frames; genres.
  const TagSet v4 = TagsOf(Tag(4, 0, Cat({TextFrame(4, "TDRC", "2001-02"), Frame(4, "WPUB", B("http://pub")),
                                          Frame(4, "WCOM", B("http://com")), TextFrame(4, "TCON", "(200)")})));
  EXPECT_EQ(TagText(v4, InfoText::CreationDate), "2001-02");
  EXPECT_EQ(AppPrivateValue(TagText(v4, InfoText::AppPrivate), app_private_key::kWebUrl), "http://com");
  EXPECT_FALSE(v4[InfoText::Genre]);
  for (const auto& [value, genre] : std::initializer_list<std::pair<const char*, const char*>>{
           {"17", "Rock"}, {"(0)", "Blues"}, {"(147)", "SynthPop"}, {"148", ""}, {"Rock", "Rock"},
           {"(17)Rock", "(17)Rock"}, {"()", "()"}, {"0000000000000000017", "Rock"}})
    EXPECT_EQ(TagText(TagsOf(Tag(4, 0, TextFrame(4, "TCON", value))), InfoText::Genre), genre) << value;
}

TEST(Id3v2Reader, UnsynchronisationFlagsAndExtendedHeaders) {
  // Version 3: the whole tag after the header, the frame headers too (a size
  // of 255 is FF 00 00 ... in the stored bytes).
  const std::string artist(255 - 1, 'a');
  const Bytes v3 = Cat({Frame(3, "TIT2", kYumlautUtf16), TextFrame(3, "TPE1", artist)});
  TagSet set = TagsOf(Tag(3, 0x80, Unsync(v3)));
  EXPECT_EQ(TagText(set, InfoText::Name), kYumlaut);
  EXPECT_EQ(TagText(set, InfoText::Artist), artist);

  // Version 4, frame by frame: flag 0x02 frames are decoded, a frame
  // without it is taken as stored; 0x01 puts a data-length indicator first.
  const Bytes flagged = Unsync(kYumlautUtf16);
  Bytes with_length;
  PutSyncSafe(with_length, static_cast<std::uint32_t>(kYumlautUtf16.size()));
  with_length = Cat({with_length, flagged});
  Id3v2Tag tag;
  ASSERT_EQ(ParseId3v2Tag(Tag(4, 0, Cat({Frame(4, "TIT2", flagged, 0x02), Frame(4, "TPE1", kYumlautUtf16),
                                         Frame(4, "TALB", with_length, 0x03), Frame(4, "TCOP", {0, 'c'}, 0x01)})),
                          &tag),
            0u);
  ASSERT_EQ(tag.frames.size(), 3u);  // two bytes cannot hold an indicator: TCOP is dropped
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tag.frames[static_cast<std::size_t>(i)].body, kYumlautUtf16) << i;

  // Version 4 header flag 0x80: every frame decoded once, flagged or not.
  ASSERT_EQ(ParseId3v2Tag(Tag(4, 0x80, Cat({Frame(4, "TIT2", flagged, 0x02), Frame(4, "TPE1", flagged)})), &tag), 0u);
  ASSERT_EQ(tag.frames.size(), 2u);
  EXPECT_EQ(tag.frames[0].body, kYumlautUtf16);
  EXPECT_EQ(tag.frames[1].body, kYumlautUtf16);

  // Compressed, encrypted and grouped frames are skipped; other flags are not.
  for (const auto& [version, flags, kept] : std::initializer_list<std::tuple<int, std::uint8_t, bool>>{
           {3, 0x80, false}, {3, 0x40, false}, {3, 0x20, false}, {3, 0x1F, true},
           {4, 0x40, false}, {4, 0x08, false}, {4, 0x04, false}, {4, 0x30, true}}) {
    const TagSet s = TagsOf(Tag(version, 0, Cat({Frame(version, "TIT2", {0, 'x'}, flags), TextFrame(version, "TIT2", "y")})));
    EXPECT_EQ(TagText(s, InfoText::Name), kept ? "x" : "y") << version << " " << int{flags};
  }

  // Extended headers: version 3 counts the bytes after the size field,
  // version 4 the whole header; one larger than the tag leaves no frames.
  const Bytes title = TextFrame(3, "TIT2", "t");
  EXPECT_EQ(TagText(TagsOf(Tag(3, 0x40, Cat({{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, title}))), InfoText::Name), "t");
  EXPECT_EQ(TagText(TagsOf(Tag(3, 0xC0, Unsync(Cat({{0, 0, 0, 6, 0, 0, 0xFF, 0xFF, 0, 0}, title})))), InfoText::Name),
            "t");
  EXPECT_EQ(TagText(TagsOf(Tag(4, 0x40, Cat({{0, 0, 0, 6, 1, 0}, TextFrame(4, "TIT2", "t")}))), InfoText::Name), "t");
  for (const Bytes& ext : {Bytes{0, 0, 0, 100, 0, 0}, Bytes{0, 0, 0, 2, 0, 0}, Bytes{0, 0}}) {
    ASSERT_EQ(ParseId3v2Tag(Tag(4, 0x40, Cat({ext, TextFrame(4, "TIT2", "t")})), &tag), 0u);
    EXPECT_TRUE(tag.found());
    EXPECT_TRUE(tag.frames.empty());
  }
}

TEST(Id3v2Reader, SynchronisedLyricsGiveMarkers) {
  const Bytes entries = Cat({B("one"), {0}, {0, 0, 0x03, 0xE8},  // 1000 ms
                             B("two"), {0}, {0, 0, 0, 15},       // 15 ms: 661.5 frames
                             B("far"), {0}, {0xFF, 0xFF, 0xFF, 0xFF},
                             B("cut"), {0}, {0, 0}});
  const Bytes by_frames = Cat({{0}, B("eng"), {1, 7}, {0}, B("x"), {0}, {0, 0, 0, 1}});
  const Bytes lyrics = Cat({{0}, B("eng"), {2, 1}, B("descriptor"), {0}, entries});
  const Bytes unicode = Cat({{1}, B("eng"), {2, 4}, {0xFF, 0xFE, 0, 0}, {0xFF, 0xFE, 0x42, 0x30, 0, 0}, {0, 0, 0, 2}});
  Id3v2Tag tag;
  ASSERT_EQ(ParseId3v2Tag(Tag(4, 0, Cat({Frame(4, "SYLT", by_frames), Frame(4, "SYLT", lyrics),
                                         Frame(4, "SYLT", unicode)})),
                          &tag),
            0u);
  TagSet set;
  ASSERT_EQ(Id3v2TagToSet(tag, &set), 0u);
  EXPECT_EQ(AppPrivateValue(TagText(set, InfoText::AppPrivate), app_private_key::kLyricsType), "1");
  MarkerList markers;
  ASSERT_EQ(Id3v2TagMarkers(tag, 44100, &markers), 0u);
  std::vector<std::string> got;
  for (const Marker* m = markers.first(); m; m = m->next) got.push_back(m->name + "@" + std::to_string(m->position));
  EXPECT_EQ(got, (std::vector<std::string>{"one@44100", "two@662"}));
  ASSERT_EQ(Id3v2TagMarkers(tag, 1, &markers), 0u);  // at 1 Hz the far entry fits
  EXPECT_EQ(markers.size(), 3u);

  ASSERT_EQ(ParseId3v2Tag(Tag(4, 0, Frame(4, "SYLT", unicode)), &tag), 0u);
  ASSERT_EQ(Id3v2TagMarkers(tag, 1000, &markers), 0u);
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers.first()->name, "\xE3\x81\x82");
  EXPECT_EQ(markers.first()->position, 2u);
  // A body of five bytes is no lyrics frame.
  ASSERT_EQ(ParseId3v2Tag(Tag(4, 0, Frame(4, "SYLT", {0, 'e', 'n', 'g', 2})), &tag), 0u);
  ASSERT_EQ(Id3v2TagToSet(tag, &set), 0u);
  EXPECT_TRUE(IsTagSetEmpty(set));
}

TEST(Id3v2Reader, DamagedTagsStopCleanly) {
  Id3v2Tag tag;
  const Bytes good = Tag(3, 0, TextFrame(3, "TIT2", "title"));
  // Not a tag: each header rule, and a size beyond the input.
  for (const auto& [at, value] : std::initializer_list<std::pair<std::size_t, std::uint8_t>>{
           {0, 'X'}, {3, 2}, {3, 5}, {4, 1}, {5, 0x20}, {6, 0x80}, {9, 0x80}, {9, 0x7F}}) {
    Bytes bad = good;
    bad[at] = value;
    ASSERT_EQ(ParseId3v2Tag(bad, &tag), 0u);
    EXPECT_FALSE(tag.found()) << at;
  }
  for (std::size_t n = 0; n < good.size(); ++n) {
    ASSERT_EQ(ParseId3v2Tag(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), &tag), 0u);
    EXPECT_FALSE(tag.found()) << n;
  }
  // A frame that overruns the tag ends the list; the frames before stay.
  ASSERT_EQ(ParseId3v2Tag(Tag(4, 0, Cat({TextFrame(4, "TIT2", "t"), Frame(4, "TPE1", {0, 'a'}, 0, 50)})), &tag), 0u);
  ASSERT_EQ(tag.frames.size(), 1u);
  EXPECT_EQ(tag.size, 10u + 24u);
  // Odd and invalid UTF-16; unsynchronised tags ending in 0xFF.
  const TagSet odd = TagsOf(Tag(3, 0, Cat({Frame(3, "TIT2", {1, 0xFF, 0xFE, 'a', 0, 'b'}),
                                           Frame(3, "TPE1", {1, 0x00, 0xD8, 'a', 0}), Frame(3, "TALB", {1, 0xFF}),
                                           Frame(3, "COMM", {1, 'e', 'n'})})));
  EXPECT_EQ(TagText(odd, InfoText::Name), "a");
  EXPECT_EQ(TagText(odd, InfoText::Artist), "\xEF\xBF\xBD" "a");
  EXPECT_FALSE(odd[InfoText::Comments]);
  for (const int version : {3, 4}) {
    ASSERT_EQ(ParseId3v2Tag(Tag(version, 0x80, Cat({TextFrame(version, "TIT2", "t"), {0xFF}})), &tag), 0u);
    EXPECT_EQ(tag.frames.size(), 1u);
    ASSERT_EQ(ParseId3v2Tag(Tag(version, 0x80, Frame(version, "TIT2", {0, 0xFF}, 0x02)), &tag), 0u);
    ASSERT_EQ(tag.frames.size(), 1u);
    EXPECT_EQ(tag.frames[0].body, (Bytes{0, 0xFF}));
  }

  // From a file at an offset; a length that cuts the tag means none.
  const Bytes file = Cat({B("junk"), good, B("audio")});
  const std::string path = WriteTempFile("at.mp3", file);
  PosixFile f = OpenFile(path, FileAccess::kRead);
  FileInput input(f);
  ASSERT_EQ(ReadId3v2Tag(input, file.size(), 4, &tag), 0u);
  EXPECT_EQ(tag.version, 3);
  EXPECT_EQ(tag.size, good.size());
  ASSERT_EQ(ReadId3v2Tag(input, good.size() + 3, 4, &tag), 0u);
  EXPECT_FALSE(tag.found());
  ASSERT_EQ(ReadId3v2Tag(input, file.size(), file.size() + 5, &tag), 0u);
  EXPECT_FALSE(tag.found());
  EXPECT_EQ(ReadId3v2TagFile(path + ".missing", &tag), err::kCannotOpen);
}

}  // namespace
}  // namespace tidemark
