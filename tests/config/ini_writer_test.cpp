// The writing side of the INI engine: encodings, line ends, section headers
// and values that must read back as written.
#include "config/ini_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "config/ini_blob.h"
#include "config/ini_reader.h"
#include "config/ini_values.h"
#include "config/text_decode.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

// UTF-16LE with its mark; narrow text in the code page, with a mark only
// for UTF-8; CR LF line ends in every form.
TEST(IniWriterTest, EncodingsMarksAndLineEnds) {
  const struct {
    IniEncoding encoding;
    const char* codeset;
    std::string bytes;
  } cases[] = {
      {IniEncoding::kUtf16Le, "", std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0", 22)},
      {IniEncoding::kNarrow, "CP1252", "[S]\r\nk=\xE9\r\n"},
      {IniEncoding::kNarrow, "UTF-8", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n"},
  };
  for (const auto& c : cases) {
    IniWriter w;
    w.Open("/unused", c.encoding, c.codeset);
    w.SetSection("S");
    EXPECT_TRUE(w.WriteText("k", "\xC3\xA9"));
    EXPECT_EQ(w.EncodedBytes(), c.bytes) << c.codeset;
  }
}

TEST(IniWriterTest, SectionsAppearOnlyWithAKey) {
  IniWriter w;
  w.Open("/unused", IniEncoding::kNarrow, "UTF-8");
  w.SetSection("Empty");
  w.SetSection("A");
  w.WriteDecimal("n", -5);
  w.WriteHex("h", 0xAB, 8);
  w.WriteHex("c", 0x41, 4);
  w.SetSection("AlsoEmpty");
  EXPECT_FALSE(w.WriteText("bad", "line\nbreak"));  // refused: no header either
  w.SetSection("B");
  w.WriteBlob("blob", std::array<std::byte, 92>{});
  EXPECT_EQ(w.EncodedBytes(),
            "\xEF\xBB\xBF[A]\r\nn=-5\r\nh=000000ab\r\nc=0041\r\n[B]\r\nblob=5B5B\r\n");
}

TEST(IniWriterTest, KeysThatWouldNotReadBackAreRefused) {
  for (const char* key : {"", "a=b", ";comment", "[section", " lead", "trail\t", "a\nb", "a\rb"})
    EXPECT_FALSE(IniWriter::IsWritableKey(key)) << key;
  for (const char* key : {"a", "a b", "CDRead", "0", "a]", "a;b", "\"q\""})
    EXPECT_TRUE(IniWriter::IsWritableKey(key)) << key;

  IniWriter w;
  w.Open("/unused", IniEncoding::kNarrow, "UTF-8");
  w.SetSection("S");
  EXPECT_FALSE(w.WriteDecimal("[x", 1));
  EXPECT_FALSE(w.WriteHex("a=b", 1, 4));
  EXPECT_FALSE(w.WriteBlob(";c", std::array<std::byte, 4>{}));
  EXPECT_FALSE(w.WriteRawText("", "x"));
  EXPECT_FALSE(w.WriteBlob("big", std::array<std::byte, kMaxBlobBytes + 1>{}));
  EXPECT_EQ(w.EncodedBytes(), "\xEF\xBB\xBF");
}

TEST(IniWriterTest, TextValuesReadBackUnchanged) {
  const std::string values[] = {"",         "plain",       " lead",      "trail\t",
                                "\"both\"", "\"open",      "mid\"dle",   "a=b;c,d",
                                "\"",       "[not a section]", "; not a comment",
                                "\xE6\xBC\xA2\xF0\x9F\x8E\xB5"};
  IniWriter w;
  w.Open("/unused", IniEncoding::kUtf16Le);
  w.SetSection("S");
  for (std::size_t i = 0; i < std::size(values); ++i)
    ASSERT_TRUE(w.WriteText(std::string("k").append(std::to_string(i)), values[i]));
  ASSERT_TRUE(w.WriteText("forced", "x", /*quote=*/true));
  IniReader r;
  r.OpenBytes(w.EncodedBytes(), "CP1252");
  ASSERT_TRUE(r.SelectSection("S"));
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(r.ReadText(std::string("k").append(std::to_string(i)), "?", 4095), values[i]) << i;
  EXPECT_EQ(*r.Find("forced"), "\"x\"");
  EXPECT_EQ(r.ReadText("forced", "?", 10), "x");
}

TEST(IniWriterTest, FormattersMatchTheCFormats) {
  EXPECT_EQ(FormatHex(0xABC, 8), "00000abc");
  EXPECT_EQ(FormatHex(0x1234ABCD, 4), "1234abcd");
  EXPECT_EQ(FormatHex(0x41, 4), "0041");
  const std::array<std::int32_t, 3> v{-1, 0, 2147483647};
  EXPECT_EQ(JoinDecimalList(v), "-1,0,2147483647");
}

}  // namespace
}  // namespace tidemark
