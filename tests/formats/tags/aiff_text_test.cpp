#include "formats/tags/internal/aiff_text.h"

#include <gtest/gtest.h>

#include "formats/tags/tags.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(AiffText, ReadsTheFirstOfEachTextChunk) {
  testing::ScopedCodeset codeset("CP1252");
  ChunkBytes body(true);
  body.Chunk("COMM", 18, 0)
      .Chunk("NAME", Text("Title"))
      .Chunk("AUTH", Text("Auteur \xE9"))
      .Chunk("NAME", Text("Later"))
      .Chunk("(c) ", Text("2024 Someone"))
      .Chunk("ANNO", Text("note\0rest"))
      .Chunk("ANNO", Text("second"))
      .Chunk("SSND", 8, 0);
  for (const char* form : {"AIFF", "AIFC"}) {
    const Bytes file = form[3] == 'F' ? testing::FormFile("AIFF", body) : testing::FormFile("AIFC", body);
    MemoryInput input(file);
    TagSet tags;
    ASSERT_EQ(ReadAiffTexts(input, file.size(), &tags), 0u) << form;
    EXPECT_EQ(tags, testing::MakeTags({{InfoText::Name, "Title"}, {InfoText::Artist, "Auteur \xC3\xA9"},
                                       {InfoText::Copyright, "2024 Someone"}, {InfoText::Comments, "note"}}));
  }
}

TEST(AiffText, WritesTheFourTextsInOrderWithBigEndianSizes) {
  const Bytes original = testing::SoundFileBytes(PcmFileKind::AIFF, 3);
  const std::string path = testing::WriteTempFile("t.aif", original);
  TagSet tags = testing::MakeTags({{InfoText::Comments, "odd"}, {InfoText::Name, "Even"},
                                   {InfoText::Copyright, "(c) me"}, {InfoText::Genre, "not stored in AIFF"}});
  {
    PosixFile file = testing::OpenFile(path);
    ASSERT_EQ(AppendAiffTexts(file, original.size(), tags), 0u);
  }
  const Bytes written = testing::ReadWholeFile(path);
  ChunkBytes want(true);
  want.Chunk("NAME", Text("Even")).Chunk("(c) ", Text("(c) me")).Chunk("ANNO", Text("odd"));
  ASSERT_EQ(written.size(), original.size() + want.size());
  EXPECT_EQ(testing::Slice(written, original.size(), want.size()), want.bytes());
  EXPECT_EQ(testing::Be32At(written, 4), written.size() - 8);

  TagSet back;
  ASSERT_EQ(ReadTags(path, PcmFileKind::AIFF, &back), 0u);
  SetTagText(tags, InfoText::Genre, "");
  EXPECT_EQ(back, tags);
}

}  // namespace
}  // namespace tidemark
