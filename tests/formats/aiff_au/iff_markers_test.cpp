// Markers in AIFF and AIFC files: the chunks written byte for byte, the
// limits on count and text length, and the reader's rules on hand-made chunks.
#include "formats/aiff_au/internal/iff_markers.h"

#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/chunks/container.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/file_markers.h"
#include "platform/error_numbers.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/scoped_codeset.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;
using testing::CommBody;
using testing::FormFile;
using testing::MarkerEntries;
using testing::SsndBody;
using Expected = testing::MarkerEntry;

// 5 sample bytes ("SSND" has an odd body and a pad byte), then `extra`.
Bytes WithChunks(const ChunkBytes& extra) {
  ChunkBytes b(true);
  b.Chunk("COMM", CommBody(1, 5, 8, 8000)).Chunk("SSND", SsndBody({1, 2, 3, 4, 5})).Raw(extra);
  return FormFile("AIFF", b);
}
Bytes SmallAiff() { return WithChunks(ChunkBytes(true)); }
constexpr std::size_t kSmallAiffEnd = 12 + 26 + 8 + 14;

Error ReadBytes(const Bytes& bytes, MarkerList* list) {
  MemoryInput input(bytes);
  return ReadIffMarkers(input, bytes.size(), list);
}

TEST(IffMarkers, WritesMarkAndComtExactly) {
  const testing::ScopedCodeset utf8("UTF-8");
  const std::string path = testing::WriteTempFile("m.aif", SmallAiff());
  const std::uint32_t before = IffTimestamp(std::time(nullptr));
  ASSERT_EQ(WriteIffMarkers(path, testing::MakeMarkerList({{7, "ab", "odd"}, {3, "", ""}, {3, "xyz", "hi"}})),
            err::kOk);
  const std::uint32_t after = IffTimestamp(std::time(nullptr));
  const Bytes file = testing::ReadWholeFile(path);
  ASSERT_EQ(file.size(), kSmallAiffEnd + 8 + 30 + 8 + 24);
  EXPECT_EQ(testing::Be32At(file, 4), file.size() - 8);
  EXPECT_EQ(testing::Slice(file, 8, kSmallAiffEnd - 8), testing::Slice(SmallAiff(), 8, kSmallAiffEnd - 8));

  // Identifiers 1, 2, 3 in list order; each Pascal name is even with its count byte.
  ChunkBytes mark(true);
  mark.Header("MARK", 30).U16(3);
  mark.U16(1).U32(7).Raw(Bytes{2}).Text("ab").Zeros(1);
  mark.U16(2).U32(3).Raw(Bytes{0}).Zeros(1);
  mark.U16(3).U32(3).Raw(Bytes{3}).Text("xyz");
  EXPECT_EQ(testing::Slice(file, kSmallAiffEnd, 38), mark.bytes());

  // Comments only for the markers that have one, with the time of writing.
  const std::size_t comt = kSmallAiffEnd + 38;
  EXPECT_EQ(testing::IdAt(file, comt), "COMT");
  EXPECT_EQ(testing::Be32At(file, comt + 4), 24u);
  EXPECT_EQ(LoadBe16(&file[comt + 8]), 2);
  for (const std::size_t at : {comt + 10, comt + 22}) {
    EXPECT_GE(testing::Be32At(file, at), before);
    EXPECT_LE(testing::Be32At(file, at), after);
  }
  ChunkBytes first(true), second(true);
  first.U16(1).U16(3).Text("odd").Zeros(1);
  second.U16(3).U16(2).Text("hi");
  EXPECT_EQ(testing::Slice(file, comt + 14, 8), first.bytes());
  EXPECT_EQ(testing::Slice(file, comt + 26, 6), second.bytes());

  MarkerList back;
  ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::AIFF, 5, &back), err::kOk);
  EXPECT_EQ(MarkerEntries(back), (std::vector<Expected>{{3, "", ""}, {3, "xyz", "hi"}, {5, "ab", "odd"}}));

  // Writing again replaces the old chunks; an empty list leaves none, and
  // no "COMT" is written without comments.
  ASSERT_EQ(WriteIffMarkers(path, testing::MakeMarkerList({{1, "n", ""}})), err::kOk);
  const Bytes again = testing::ReadWholeFile(path);
  ASSERT_EQ(again.size(), kSmallAiffEnd + 8 + 10);
  EXPECT_EQ(testing::IdAt(again, kSmallAiffEnd), "MARK");
  ASSERT_EQ(WriteIffMarkers(path, MarkerList()), err::kOk);
  EXPECT_EQ(testing::ReadWholeFile(path), SmallAiff());
}

TEST(IffMarkers, CountAndTextLimits) {
  // 33000 markers: the first 32767 are kept, numbered 1 to 32767.
  const std::string many = testing::WriteTempFile("many.aifc", SmallAiff());
  std::vector<Expected> entries;
  for (std::uint32_t i = 0; i < 33000; ++i) entries.push_back({i, "", ""});
  ASSERT_EQ(WriteIffMarkers(many, testing::MakeMarkerList(entries)), err::kOk);
  const Bytes file = testing::ReadWholeFile(many);
  ASSERT_EQ(testing::Be32At(file, kSmallAiffEnd + 4), 2u + 32767 * 8);
  EXPECT_EQ(LoadBe16(&file[kSmallAiffEnd + 8]), 32767);
  for (std::size_t i = 0; i < 32767; i += 1111) {
    ASSERT_EQ(LoadBe16(&file[kSmallAiffEnd + 10 + i * 8]), i + 1);
    ASSERT_EQ(testing::Be32At(file, kSmallAiffEnd + 12 + i * 8), i);
  }
  MarkerList back;
  ASSERT_EQ(ReadBytes(testing::ReadWholeFile(many), &back), err::kOk);
  EXPECT_EQ(back.size(), 32767u);
  EXPECT_EQ(back.first()->position, 32766u);  // built by prepending

  // The stored name and comment lengths of a single marker.
  const auto stored_name = [](const std::string& name, const std::string& comment) {
    const std::string path = testing::WriteTempFile("cut.aif", SmallAiff());
    EXPECT_EQ(WriteIffMarkers(path, testing::MakeMarkerList({{0, name, comment}})), err::kOk);
    const Bytes written = testing::ReadWholeFile(path);
    const std::size_t comt = kSmallAiffEnd + 8 + testing::Be32At(written, kSmallAiffEnd + 4);
    const std::size_t comment_bytes = written.size() > comt ? LoadBe16(&written[comt + 16]) : 0;
    return std::pair<std::size_t, std::size_t>{written[kSmallAiffEnd + 16], comment_bytes};
  };
  {
    // CP932: 254 single bytes, then a double-byte character whose lead is the 255th byte.
    const testing::ScopedCodeset cp932("CP932");
    std::string name(254, 'a');
    for (int i = 0; i < 23; ++i) name += "\xE3\x81\x82";  // HIRAGANA A, 82 A0 in CP932
    EXPECT_EQ(stored_name(name, "").first, 254u);
    // One single byte more, and the pair ends exactly at the limit.
    EXPECT_EQ(stored_name("a" + name, "").first, 255u);
    EXPECT_EQ(stored_name("", std::string(70000, 'c')).second, 65535u);
  }
  {
    const testing::ScopedCodeset utf8("UTF-8");
    EXPECT_EQ(stored_name(std::string(254, 'a') + "\xC3\xA9", "").first, 254u);
    EXPECT_EQ(stored_name(std::string(253, 'a') + "\xC3\xA9", "").first, 255u);
    EXPECT_EQ(stored_name("", std::string(65534, 'c') + "\xE2\x82\xAC").second, 65534u);
  }
}

TEST(IffMarkers, ReaderRules) {
  MarkerList list;
  const auto read = [&](const ChunkBytes& chunks) {
    EXPECT_EQ(ReadBytes(WithChunks(chunks), &list), err::kOk);
    return MarkerEntries(list);
  };
  // Entries as written by others: odd-length names need no pad, even ones do.
  ChunkBytes mark(true);
  mark.U16(3);
  mark.U16(5).U32(100).Raw(Bytes{1}).Text("a");
  mark.U16(9).U32(50).Raw(Bytes{2}).Text("bc").Zeros(1);
  mark.U16(5).U32(10).Raw(Bytes{1}).Text("d");
  ChunkBytes comt(true);
  comt.U16(5);
  comt.U32(0).U16(5).U16(3).Text("one").Zeros(1);  // to the first marker 5
  comt.U32(0).U16(7).U16(2).Text("no");           // unknown identifier
  comt.U32(0).U16(9).U16(0);                      // empty: skipped
  comt.U32(0).U16(5).U16(4).Text("last");         // replaces "one"
  comt.U32(0).U16(9).U16(2).Text("xy");
  comt.U32(0).U16(9).U16(2).Text("zz");           // beyond the count
  EXPECT_EQ(read(ChunkBytes(true).Chunk("MARK", mark).Chunk("COMT", comt)),
            (std::vector<Expected>{{10, "d", ""}, {50, "bc", "xy"}, {100, "a", "last"}}));

  // A name that runs past the body ends the list; the count limits it too.
  ChunkBytes cut(true);
  cut.U16(9).U16(1).U32(1).Raw(Bytes{1}).Text("a").U16(2).U32(2).Raw(Bytes{5}).Text("bc");
  EXPECT_EQ(read(ChunkBytes(true).Chunk("MARK", cut)), (std::vector<Expected>{{1, "a", ""}}));
  ChunkBytes counted(true);
  counted.U16(1).U16(1).U32(1).Raw(Bytes{1}).Text("a").U16(2).U32(2).Raw(Bytes{1}).Text("b");
  EXPECT_EQ(read(ChunkBytes(true).Chunk("MARK", counted)), (std::vector<Expected>{{1, "a", ""}}));

  // No entries: a count of 0 or below, a body under 3 bytes, no "MARK".
  ChunkBytes negative(true);
  negative.Header("MARK", 10).U16(0x8001).U16(1).U32(1).Raw(Bytes{1}).Text("a");
  EXPECT_TRUE(read(negative).empty());
  EXPECT_TRUE(read(ChunkBytes(true).Header("MARK", 2).U16(1)).empty());
  EXPECT_TRUE(read(ChunkBytes(true)).empty());
  // A "COMT" under 11 bytes is not used.
  ChunkBytes short_comt(true);
  short_comt.Header("MARK", 10).U16(1).U16(1).U32(1).Raw(Bytes{1}).Text("a");
  short_comt.Header("COMT", 10).U16(1).U32(0).U16(1).U16(1);
  EXPECT_EQ(read(short_comt), (std::vector<Expected>{{1, "a", ""}}));

  // Not a FORM file, or a damaged one.
  EXPECT_EQ(ReadBytes(Bytes(40, 0), &list), err::kMalformed);
  Bytes truncated = WithChunks(ChunkBytes(true).Chunk("MARK", mark));
  truncated.resize(truncated.size() - 1);
  EXPECT_EQ(ReadBytes(truncated, &list), err::kMalformed);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(ReadFileMarkers(testing::WriteTempFile("bad.aif", truncated), PcmFileKind::AIFF, kMaxFrames, &list),
            err::kLayoutMismatch);
  EXPECT_EQ(WriteIffMarkers(testing::WriteTempFile("bad.aif", truncated), testing::MakeMarkerList({{1, "a", ""}})),
            err::kLayoutMismatch);
  EXPECT_EQ(ReadFileMarkers(testing::TempFilePath("missing.aif"), PcmFileKind::AIFF, kMaxFrames, &list),
            err::kCannotOpen);
}

}  // namespace
}  // namespace tidemark
