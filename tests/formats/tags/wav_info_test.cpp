#include "formats/tags/internal/wav_info.h"

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "formats/chunks/chunk_metadata.h"
#include "formats/tags/tags.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/peer_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

Bytes Text(std::string_view s, bool zero = true) {
  Bytes b(s.begin(), s.end());
  if (zero) b.push_back(0);
  return b;
}

TEST(WavInfo, ReadsTheFirstListFirstNonEmptyOccurrenceAndConvertsTheCodePage) {
  testing::ScopedCodeset codeset("CP1252");
  ChunkBytes info;
  info.Chunk("INAM", Text("First"))
      .Chunk("ICMT", Text(""))          // empty: a later ICMT still fills the slot
      .Chunk("INAM", Text("Second"))
      .Chunk("IART", Text("Art\0tail", false))
      .Chunk("IXYZ", Text("unknown"))
      .Chunk("ICMT", Text("caf\xE9", false))  // no terminator, odd size
      .Chunk("IPLT", Text("TNO=3"));
  ChunkBytes other;
  other.Chunk("IGNR", Text("Jazz"));
  ChunkBytes body;
  body.Chunk("fmt ", 16, 0).List("adtl", ChunkBytes().Chunk("INAM", Text("not info"))).List("INFO", info)
      .List("INFO", other);
  const Bytes file = testing::RiffWave(body);

  MemoryInput input(file);
  TagSet tags;
  ASSERT_EQ(ReadInfoList(input, file.size(), &tags), 0u);
  EXPECT_EQ(TagText(tags, InfoText::Name), "First");
  EXPECT_EQ(TagText(tags, InfoText::Artist), "Art");  // cut at the zero
  EXPECT_EQ(TagText(tags, InfoText::Comments), "caf\xC3\xA9");
  EXPECT_EQ(TagText(tags, InfoText::AppPrivate), "TNO=3");
  EXPECT_FALSE(tags[InfoText::Genre]);  // only the first INFO list counts

  // A sub-chunk running past its list is malformed; the file form says 78.
  Bytes bad = file;
  const std::string_view first = "First";
  const std::size_t at = static_cast<std::size_t>(
      std::search(bad.begin(), bad.end(), first.begin(), first.end()) - bad.begin());
  StoreLe32(&bad[at - 4], 0x1000);
  MemoryInput bad_input(bad);
  EXPECT_EQ(ReadInfoList(bad_input, bad.size(), &tags), err::kMalformed);
  EXPECT_TRUE(IsTagSetEmpty(tags));
  EXPECT_EQ(ReadTags(testing::WriteTempFile("bad.wav", bad), PcmFileKind::Wave, &tags), err::kLayoutMismatch);
}

// An INFO list whose odd-sized texts follow each other without pad bytes,
// as some writers pack it, in a file of 400 frames.
Bytes PackedInfoFile() {
  ChunkBytes info;
  info.Text("INAM").U32(5).Text("Tune", true).Text("IART").U32(5).Text("Band", true).Text("ICMT").U32(6)
      .Text("Notes", true);
  ChunkBytes body;
  body.Chunk("fmt ", testing::FormatBody(1, 1, 8000, 2, 16).bytes()).Chunk("data", 800, 7).List("INFO", info);
  return testing::RiffWave(body);
}

// Such a list reads whole, as other readers take it.
TEST(WavInfo, PackedListWithoutPadBytes) {
  const Bytes file = PackedInfoFile();
  MemoryInput input(file);
  TagSet tags;
  ASSERT_EQ(ReadInfoList(input, file.size(), &tags), 0u);
  EXPECT_EQ(TagText(tags, InfoText::Name), "Tune");
  EXPECT_EQ(TagText(tags, InfoText::Artist), "Band");
  EXPECT_EQ(TagText(tags, InfoText::Comments), "Notes");
}

TEST(WavInfo, FfprobeReadsThePackedListAsWeDo) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  const std::string path = testing::WriteTempFile("packed.wav", PackedInfoFile());
  TagSet tags;
  ASSERT_EQ(ReadTags(path, PcmFileKind::Wave, &tags), 0u);
  std::map<std::string, std::string> fields = testing::FfprobeFields(path, "format_tags");
  for (const auto& [key, slot] : {std::pair{"TAG:title", InfoText::Name}, std::pair{"TAG:artist", InfoText::Artist},
                                  std::pair{"TAG:comment", InfoText::Comments}})
    EXPECT_EQ(fields[key], TagText(tags, slot)) << key;
}

TEST(WavInfo, SubChunkSizesPadsAndAFileRoundTrip) {
  testing::ScopedCodeset codeset("CP1252");
  // 5 bytes: size 6, no pad; 6 bytes: size 7, pad; not in CP1252: '?', then 0xE9.
  TagSet tags = testing::MakeTags(
      {{InfoText::Name, "Fiver"}, {InfoText::Artist, "Sixers"}, {InfoText::Genre, "\xE6\x97\xA5\xC3\xA9"}});
  std::vector<std::uint8_t> body;
  ASSERT_EQ(BuildInfoListBody(tags, &body), 0u);
  ChunkBytes want;
  want.Id("INFO").Header("INAM", 6).Text("Fiver", true).Header("IART", 7).Text("Sixers", true).Zeros(1)
      .Header("IGNR", 3).Text("?\xE9", true).Zeros(1);
  EXPECT_EQ(body, want.bytes());

  const std::string path = testing::WriteTempFile("t.wav", testing::PcmFile(sample_code::kS16, 1, 8000, Bytes(6, 7)));
  {
    PosixFile file = testing::OpenFile(path);
    ASSERT_EQ(AppendInfoList(file, testing::FileLength(path), tags), 0u);
  }
  const Bytes written = testing::ReadWholeFile(path);
  ASSERT_EQ(written.size(), 50u + 8 + want.size());
  EXPECT_EQ(testing::Le32At(written, 4), written.size() - 8);
  EXPECT_EQ(testing::IdAt(written, 50), "LIST");
  TagSet back;
  ASSERT_EQ(ReadTags(path, PcmFileKind::Wave, &back), 0u);
  SetTagText(tags, InfoText::Genre, "?\xC3\xA9");
  EXPECT_EQ(back, tags);
}

}  // namespace
}  // namespace tidemark
