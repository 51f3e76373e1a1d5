#include "formats/tags/internal/au_annotation.h"

#include <cstring>

#include <gtest/gtest.h>

#include "formats/tags/internal/narrow_cut.h"
#include "platform/error_numbers.h"
#include "platform/narrow_codeset.h"
#include "tests/formats/tags/tag_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;

// An AU file with `annotation` after the 24-byte header and the data at
// `data_offset`.
Bytes AuFile(std::string_view annotation, std::uint32_t data_offset = 128) {
  Bytes out = testing::AuFile(data_offset, 8, 3, 8000, 1, Bytes(8, 0), data_offset - 24);
  std::memcpy(&out[24], annotation.data(), std::min<std::size_t>(annotation.size(), data_offset - 24));
  return out;
}

std::string CopyrightRead(const Bytes& file) {
  MemoryInput input(file);
  TagSet tags;
  EXPECT_EQ(ReadAuAnnotation(input, file.size(), &tags), 0u);
  return std::string(TagText(tags, InfoText::Copyright));
}

TEST(AuAnnotation, ReadingLinesTheControlByteRuleAndTheDataOffset) {
  EXPECT_EQ(CopyrightRead(AuFile("COPYRIGHT=Me 2024\nsecond line")), "Me 2024");
  EXPECT_EQ(CopyrightRead(AuFile("title\ncopyright=lower case\nCOPYRIGHT=later")), "lower case");
  EXPECT_EQ(CopyrightRead(AuFile("COPYRIGHT=\nCOPYRIGHT=x")), "x");  // a line of 10 bytes gives nothing
  EXPECT_EQ(CopyrightRead(AuFile("COPYRIGHT=a\tb")), "");            // a tab: not text
  EXPECT_EQ(CopyrightRead(AuFile("COPYRIGHT=a\nb\rc")), "");         // in any line
  // The annotation ends at its zero byte and at the data offset.
  EXPECT_EQ(CopyrightRead(AuFile(std::string("COPYRIGHT=z\0\x01\x02", 14))), "z");
  EXPECT_EQ(CopyrightRead(AuFile("COPYRIGHT=abcdef", 30)), "");
  EXPECT_EQ(CopyrightRead(AuFile("COPYRIGHT=abcdef", 36)), "ab");
  // Only the first 128 lines are looked at.
  std::string many;
  for (int i = 0; i < 128; ++i) many += "x\n";
  EXPECT_EQ(CopyrightRead(AuFile(many + "COPYRIGHT=late", 600)), "");

  const Bytes bad = {'.', 's', 'n', 'x', 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  MemoryInput input(bad);
  TagSet tags;
  EXPECT_EQ(ReadAuAnnotation(input, bad.size(), &tags), err::kMalformed);
}

TEST(AuAnnotation, WritingCutsWithoutSplittingCharactersAndClearsTheOldText) {
  testing::ScopedCodeset utf8("UTF-8");
  const std::string old_text = "COPYRIGHT=" + std::string(100, 'o');
  Bytes file = AuFile(old_text, 200);
  const std::string path = testing::WriteTempFile("a.au", file);
  // 94 bytes: the é must go whole.
  const TagSet tags = testing::MakeTags({{InfoText::Copyright, std::string(92, 'a') + "\xC3\xA9"}});
  {
    PosixFile f = testing::OpenFile(path);
    ASSERT_EQ(WriteAuAnnotation(f, file.size(), tags), 0u);
  }
  const Bytes written = testing::ReadWholeFile(path);
  ASSERT_EQ(written.size(), file.size());
  Bytes want = file;
  std::memset(&want[24], 0, 104);
  std::memcpy(&want[24], "COPYRIGHT=", 10);
  std::memset(&want[34], 'a', 92);
  EXPECT_EQ(written, want);  // bytes 128 on are left alone
  EXPECT_EQ(CopyrightRead(written), std::string(92, 'a'));

  // Double-byte code page: a pair is never split.
  EXPECT_EQ(NarrowPrefix("\xE6\x97\xA5\xE6\x9C\xAC", 3, NarrowCodeset()), "\xE6\x97\xA5");
  {
    testing::ScopedCodeset cp932("CP932");
    EXPECT_EQ(NarrowPrefix("a\xE6\x97\xA5\xE6\x9C\xAC", 4, NarrowCodeset()), "a\x93\xFA");
    EXPECT_EQ(NarrowPrefix("\xE6\x97\xA5", 1, NarrowCodeset()), "");
  }

  // A header too short for the 128-byte layout is left alone.
  const std::string small = testing::WriteTempFile("s.au", AuFile("", 64));
  PosixFile g = testing::OpenFile(small);
  EXPECT_EQ(WriteAuAnnotation(g, testing::FileLength(small), tags), err::kMalformed);
  EXPECT_EQ(testing::ReadWholeFile(small), AuFile("", 64));
}

}  // namespace
}  // namespace tidemark
