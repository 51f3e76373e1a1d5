// The ID3 record, the ID3v2 builder (checked byte by byte where the layout
// is fixed, and through the reader), the ID3v1 tag and the genre list.
#include "formats/tags/internal/id3v2_writer.h"

#include <tuple>

#include <gtest/gtest.h>

#include "formats/tags/internal/app_private.h"
#include "formats/tags/internal/id3_genres.h"
#include "formats/tags/internal/id3v1.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using namespace testing;

const char* const kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語

Bytes Build(const Id3Fields& f, Id3v2WriteOptions o, bool no_padding = false, const Bytes& extra = {}) {
  Bytes tag;
  EXPECT_EQ(BuildId3v2Tag(f, o, extra, no_padding, &tag), 0u);
  return tag;
}

Id3v2Tag Parse(const Bytes& bytes) {
  Id3v2Tag tag;
  EXPECT_EQ(ParseId3v2Tag(bytes, &tag), 0u);
  EXPECT_TRUE(tag.found());
  return tag;
}

std::string Ids(const Id3v2Tag& tag) {
  std::string out;
  for (const Id3v2Frame& f : tag.frames) out += std::string(f.Id()) + " ";
  return out;
}

// No 0xFF followed by a byte of 0xE0 or more, nor a 0xFF at the end.
bool FreeOfFalseSyncs(const Bytes& b, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    if (b[i] == 0xFF && (i + 1 == to || b[i + 1] >= 0xE0)) return false;
  return true;
}

TEST(Id3Fields, FromTagSet) {
  TagSet set = MakeTags(
      {{InfoText::Name, "T"}, {InfoText::Comments, "C"}, {InfoText::CreationDate, "2024-05-01"},
       {InfoText::Genre, "hard ROCK"},
       {InfoText::AppPrivate,
        BuildAppPrivate({{"TNO", "7/9"}, {"ISRC", "USRC17607839"}, {"ALBUM", "Al \"b\""}, {"WEBURL", "u"}})}});
  Id3Fields f;
  ASSERT_EQ(Id3FieldsFromTags(set, &f), 0u);
  EXPECT_EQ(std::tie(f.title, f.comment, f.year, f.genre, f.track, f.isrc, f.album, f.web_url),
            std::make_tuple("T", "C", 2024, 79, 7, "USRC17607839", "Al \"b\"", "u"));
  for (const char* date : {"abc", "70000", "-5", ""}) {
    SetTagText(set, InfoText::CreationDate, date);
    SetTagText(set, InfoText::Genre, "Polka Rock");
    SetTagText(set, InfoText::AppPrivate, "TNO=x ISRC=ABC");
    ASSERT_EQ(Id3FieldsFromTags(set, &f), 0u);
    EXPECT_EQ(std::tie(f.year, f.genre, f.track, f.isrc), std::make_tuple(0, -1, 0, "")) << date;
  }
}

TEST(Id3v2Writer, FrameOrderFormsAndRoundTrip) {
  Id3Fields f{.title = "Title", .artist = "Artist", .album = "Album", .comment = "Comment", .copyright = "(c)",
              .year = 10999, .genre = 17, .track = 105, .isrc = "USRC17607839", .web_url = "http://x"};
  const Bytes extra = Frame(3, "SYLT", {0, 'e', 'n', 'g', 2, 1, 0});
  const Bytes v3 = Build(f, {3, true, false}, false, extra);
  EXPECT_EQ(Slice(v3, 0, 6), (Bytes{'I', 'D', '3', 3, 0, 0}));
  EXPECT_EQ(v3.size() - 10, (std::size_t{v3[6]} << 21) | (v3[7] << 14) | (v3[8] << 7) | v3[9]);
  EXPECT_EQ(Bytes(v3.end() - 128, v3.end()), Bytes(128, 0));
  Id3v2Tag tag = Parse(v3);
  EXPECT_EQ(Ids(tag), "TIT2 TPE1 TALB TCON TCOP TRCK TSRC TYER WXXX COMM SYLT ");
  EXPECT_EQ(tag.Find("TCON")->body, Cat({{0}, B("(17)")}));
  EXPECT_EQ(tag.Find("TRCK")->body, Cat({{0}, B("5")}));
  EXPECT_EQ(tag.Find("TYER")->body, Cat({{0}, B("0999")}));
  EXPECT_EQ(tag.Find("WXXX")->body, Cat({{0, 0}, B("http://x")}));
  EXPECT_EQ(tag.Find("COMM")->body, Cat({{0}, B("XXX"), {0}, B("Comment")}));

  const Id3v2Tag v4 = Parse(Build(f, {4, false, false}, true));
  EXPECT_EQ(Ids(v4), "TIT2 TPE1 TALB TCON TCOP TRCK TSRC TDRC WXXX COMM ");
  EXPECT_EQ(v4.Find("TCON")->body, Cat({{0}, B("Rock")}));
  EXPECT_EQ(Build(f, {4, false, false}, true).size() + 128, Build(f, {4, false, false}).size());

  // Empty fields write nothing; an ISRC of 11 characters is left out.
  Id3Fields sparse;
  sparse.isrc = "USRC1760783";
  sparse.genre = 148;
  EXPECT_EQ(Build(sparse, {3, false, false}, true).size(), 10u);

  // Through the reader back to the same tag set.
  const TagSet set = MakeTags(
      {{InfoText::Name, kJapanese}, {InfoText::Artist, "Art"}, {InfoText::Copyright, "\xC2\xA9 2024"},
       {InfoText::Comments, "caf\xC3\xA9 \xF0\x9F\x8E\xB5"}, {InfoText::CreationDate, "1987"}, {InfoText::Genre, "Bebob"},
       {InfoText::AppPrivate,
        BuildAppPrivate({{"ISRC", "USRC17607839"}, {"ALBUM", "A b"}, {"TNO", "12"}, {"WEBURL", "http://w"}})}});
  ASSERT_EQ(Id3FieldsFromTags(set, &f), 0u);
  for (const int version : {3, 4})
    for (const bool unsync : {false, true}) {
      TagSet back;
      ASSERT_EQ(Id3v2TagToSet(Parse(Build(f, {version, true, unsync})), &back), 0u);
      EXPECT_EQ(back, set) << version << unsync;
    }
}

TEST(Id3v2Writer, TextEncodings) {
  Id3Fields f;
  f.title = f.comment = kJapanese;
  f.artist = "English";
  const Id3v2Tag tag = Parse(Build(f, {3, true, false}));
  EXPECT_EQ(tag.Find("TIT2")->body, (Bytes{1, 0xFF, 0xFE, 0xE5, 0x65, 0x2C, 0x67, 0x9E, 0x8A}));
  EXPECT_EQ(tag.Find("TPE1")->body, Cat({{0}, B("English")}));
  EXPECT_EQ(tag.Find("COMM")->body,
            (Bytes{1, 'X', 'X', 'X', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0xE5, 0x65, 0x2C, 0x67, 0x9E, 0x8A}));

  // Without the unicode option the code page carries it.
  ScopedCodeset cp932("CP932");
  const Bytes narrow = Build(f, {4, false, false});
  EXPECT_EQ(Parse(narrow).Find("TIT2")->body, (Bytes{0, 0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}));
  EXPECT_EQ(TagText(TagsOf(narrow), InfoText::Name), kJapanese);
}

TEST(Id3v2Writer, Unsynchronisation) {
  ScopedCodeset cp1252("CP1252");
  Id3Fields f;
  f.title = "\xC3\xBF";  // U+00FF: FF FE FF 00 in UTF-16
  f.artist = "plain";
  // Version 3: over the whole tag.
  const Bytes v3 = Build(f, {3, true, true});
  EXPECT_EQ(v3[5], 0x80);
  EXPECT_TRUE(FreeOfFalseSyncs(v3, 10, v3.size()));
  EXPECT_EQ(TagText(TagsOf(v3), InfoText::Name), f.title);
  // No padding, or nothing to alter: left as it is.
  EXPECT_EQ(Build(f, {3, true, true}, true), Build(f, {3, true, false}, true));
  f.title = "abc";
  EXPECT_EQ(Build(f, {3, true, true}), Build(f, {3, true, false}));

  // Version 4: only the frame that needs it, flagged, its size the stored one.
  f.title = "\xC3\xBF";
  const Bytes v4 = Build(f, {4, true, true});
  EXPECT_EQ(v4[5], 0);
  EXPECT_TRUE(FreeOfFalseSyncs(v4, 10, v4.size()));
  EXPECT_EQ(Slice(v4, 10, 17), (Bytes{'T', 'I', 'T', '2', 0, 0, 0, 7, 0, 0x02, 1, 0xFF, 0, 0xFE, 0xFF, 0, 0}));
  EXPECT_EQ(Slice(v4, 27, 10), (Bytes{'T', 'P', 'E', '1', 0, 0, 0, 6, 0, 0}));
  TagSet back = TagsOf(v4);
  EXPECT_EQ(TagText(back, InfoText::Name), f.title);
  EXPECT_EQ(TagText(back, InfoText::Artist), "plain");
  // Every frame unsynchronised: the header says so too.
  f.artist.clear();
  const Bytes all = Build(f, {4, true, true}, false, Frame(4, "TPE1", {0, 'a', 0xFF}));
  EXPECT_EQ(all[5], 0x80);
  EXPECT_EQ(Slice(all, 27, 14), (Bytes{'T', 'P', 'E', '1', 0, 0, 0, 4, 0, 0x02, 0, 'a', 0xFF, 0}));
  back = TagsOf(all);
  EXPECT_EQ(TagText(back, InfoText::Artist), "a\xC3\xBF");
}

TEST(Id3v1, LayoutAndCuts) {
  ScopedCodeset utf8("UTF-8");
  Id3Fields f{.title = std::string(40, 't'), .artist = "a", .album = "Album", .comment = std::string(30, 'c'),
              .copyright = "", .year = 987, .genre = 17, .track = 7, .isrc = "", .web_url = ""};
  for (int i = 0; i < 15; ++i) f.artist += "\xC3\xA9";  // é: 31 bytes
  std::array<std::uint8_t, kId3v1Size> tag{};
  ASSERT_EQ(BuildId3v1Tag(f, &tag), 0u);
  const Bytes b(tag.begin(), tag.end());
  EXPECT_EQ(Slice(b, 0, 3), B("TAG"));
  EXPECT_EQ(Slice(b, 3, 30), B(std::string(30, 't')));
  EXPECT_EQ(Slice(b, 33, 30), Cat({B(f.artist.substr(0, 29)), {0}}));  // é kept whole
  EXPECT_EQ(Slice(b, 63, 6), Cat({B("Album"), {0}}));
  EXPECT_EQ(Slice(b, 93, 4), B("0987"));
  EXPECT_EQ(Slice(b, 97, 30), Cat({B(std::string(28, 'c')), {0, 7}}));
  EXPECT_EQ(b[127], 17);

  f.track = 0;
  f.year = 0;
  f.genre = -1;
  ASSERT_EQ(BuildId3v1Tag(f, &tag), 0u);
  EXPECT_EQ(Slice(Bytes(tag.begin(), tag.end()), 93, 4), Bytes(4, 0));
  EXPECT_EQ(Slice(Bytes(tag.begin(), tag.end()), 97, 30), B(std::string(30, 'c')));
  EXPECT_EQ(tag[127], 255);

  // CP932: a lead byte at the limit moves the cut before its pair.
  ScopedCodeset cp932("CP932");
  f.title = "a";
  for (int i = 0; i < 5; ++i) f.title += kJapanese;  // 31 bytes in CP932
  ASSERT_EQ(BuildId3v1Tag(f, &tag), 0u);
  EXPECT_EQ(tag[3], 'a');
  EXPECT_EQ(tag[3 + 29], 0);
  EXPECT_NE(tag[3 + 28], 0);
}

TEST(Id3Genres, ListAndLookup) {
  // Every name is found at its own index (no duplicates); lookups ignore case.
  for (int i = 0; i < static_cast<int>(kId3GenreCount); ++i) EXPECT_EQ(Id3GenreIndex(Id3GenreName(i)), i);
  EXPECT_EQ(Id3GenreName(148), "");
  EXPECT_EQ(Id3GenreName(-1), "");
  EXPECT_EQ(Id3GenreIndex("synthPOP"), 147);
  EXPECT_EQ(Id3GenreIndex(""), -1);
}

}  // namespace
}  // namespace tidemark
