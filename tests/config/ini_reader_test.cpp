// The reading side of the INI engine: decoding, line rules, sections, the
// wrap-around key lookup and the value forms.
#include "config/ini_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "config/ini_values.h"
#include "config/text_decode.h"
#include "tests/platform/file_test_util.h"

namespace tidemark {
namespace {

using testing::Utf16Bytes;

TEST(IniReaderTest, LineRulesSectionsCommentsAndKeys) {
  IniReader r;
  r.OpenText(
      "orphan=before any section\n"
      "  [First]  \n"
      "\tA=1\n"
      "; A=2\n"
      "   ;B=3\n"
      "no equals sign here\n"
      "B \t=\t two words \t \n"
      "[Second]\n"
      "A=other\n"
      "[broken\n"
      "C=3\n");
  EXPECT_EQ(r.section_count(), 2u);
  EXPECT_FALSE(r.SelectSection("Missing"));
  EXPECT_FALSE(r.has_section());
  EXPECT_FALSE(r.Find("A").has_value());  // no section selected

  ASSERT_TRUE(r.SelectSection("first"));  // ASCII case ignored
  EXPECT_EQ(r.Find("A").value_or("?"), "1");
  EXPECT_EQ(r.Find("B").value_or("?"), "two words");
  // "[broken" is not a section line, so its key belongs to [Second].
  ASSERT_TRUE(r.SelectSection("Second"));
  EXPECT_EQ(r.Find("A").value_or("?"), "other");
  EXPECT_EQ(r.Find("C").value_or("?"), "3");
  EXPECT_FALSE(r.Find("orphan").has_value());

  // Keys match without ASCII case; a key is the whole name before "=".
  r.OpenText("[S]\nrecorddirectory \t = \t/home/u/rec\t \nOPTIONS1\t=0000ff00\n");
  ASSERT_TRUE(r.SelectSection("s"));
  EXPECT_EQ(r.ReadText("RecordDirectory", "x", 100), "/home/u/rec");
  EXPECT_EQ(r.ReadHex("Options1", 0), 0xFF00u);
  EXPECT_FALSE(r.Find("Options").has_value());
  EXPECT_FALSE(r.Find("Options10").has_value());
}

TEST(IniReaderTest, LookupWrapsAroundFromTheLastKeyFound) {
  IniReader r;
  r.OpenText("[S]\na=1\nb=2\nc=3\na=4\n");
  ASSERT_TRUE(r.SelectSection("S"));
  EXPECT_EQ(*r.Find("b"), "2");
  EXPECT_EQ(*r.Find("c"), "3");
  // The search starts after "c", so the later "a" is found first...
  EXPECT_EQ(*r.Find("a"), "4");
  // ...and then it wraps around to the section start.
  EXPECT_EQ(*r.Find("b"), "2");
  EXPECT_EQ(*r.Find("a"), "4");
  EXPECT_EQ(*r.Find("a"), "1");
  // Selecting a section starts the search at its first line again.
  ASSERT_TRUE(r.SelectSection("S"));
  EXPECT_EQ(*r.Find("a"), "1");
}

TEST(IniReaderTest, FirstSectionOfANameIsSelected) {
  IniReader r;
  r.OpenText("[S]\nk=first\n[T]\n[S]\nk=second\n");
  ASSERT_TRUE(r.SelectSection("S"));
  EXPECT_EQ(*r.Find("k"), "first");
  EXPECT_EQ(r.Entries().size(), 1u);
  ASSERT_TRUE(r.SelectSection("T"));
  EXPECT_TRUE(r.Entries().empty());
}

// Every value read as decimal and as hex; 9 and 1 are the fallbacks, what
// a value that does not parse (or a missing key) reads as.
TEST(IniReaderTest, DecimalAndHexForms) {
  constexpr std::int32_t kNoDecimal = 9;
  constexpr std::uint32_t kNoHex = 1;
  const struct {
    const char* value;
    std::int32_t decimal;
    std::uint32_t hex;
  } cases[] = {
      {"42", 42, 0x42}, {"+7", 7, kNoHex}, {"-13", -13, kNoHex}, {"7", 7, 7},
      {"-2147483648", INT32_MIN, kNoHex}, {"2147483647", INT32_MAX, kNoHex},
      {"2147483648", kNoDecimal, kNoHex}, {"-2147483649", kNoDecimal, kNoHex},
      {"00abcdef", kNoDecimal, 0xABCDEF}, {"00ABCDEF", kNoDecimal, 0xABCDEF}, {"ffffffff", kNoDecimal, 0xFFFFFFFF},
      {"100000000", 100000000, kNoHex}, {"0x10", kNoDecimal, kNoHex}, {"12g4", kNoDecimal, kNoHex},
      {"1 2", kNoDecimal, kNoHex}, {"", kNoDecimal, kNoHex}, {"-", kNoDecimal, kNoHex}, {"1.5", kNoDecimal, kNoHex},
  };
  std::string text = "[S]\n";
  const auto key = [](std::size_t i) { return std::string("k").append(std::to_string(i)); };
  for (std::size_t i = 0; i < std::size(cases); ++i) text.append(key(i)).append("=").append(cases[i].value).append("\n");
  IniReader r;
  r.OpenText(text);
  ASSERT_TRUE(r.SelectSection("S"));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(r.ReadDecimal(key(i), kNoDecimal), cases[i].decimal) << '"' << cases[i].value << '"';
    EXPECT_EQ(r.ReadHex(key(i), kNoHex), cases[i].hex) << '"' << cases[i].value << '"';
  }
  EXPECT_EQ(r.ReadDecimal("missing", kNoDecimal), kNoDecimal);
  EXPECT_EQ(r.ReadHex("missing", kNoHex), kNoHex);
}

TEST(IniReaderTest, TextFormQuotesAndLimits) {
  IniReader r;
  r.OpenText("[S]\nquoted=\"/a b/c\"\nhalf=\"open\ninner=a\"b\"c\nlong=abcdefghij\n"
             "utf8=\xC3\xA9\xC3\xA9\nempty=\n");
  ASSERT_TRUE(r.SelectSection("S"));
  EXPECT_EQ(r.ReadText("quoted", "", 100), "/a b/c");
  EXPECT_EQ(r.ReadText("half", "", 100), "\"open");
  EXPECT_EQ(r.ReadText("inner", "", 100), "a\"b\"c");
  EXPECT_EQ(r.ReadText("long", "", 4), "abcd");
  // A cut never splits a character: 3 bytes keep one two-byte "é".
  EXPECT_EQ(r.ReadText("utf8", "", 3), "\xC3\xA9");
  EXPECT_EQ(r.ReadText("empty", "fallback", 100), "");
  EXPECT_EQ(r.ReadText("missing", "fallback", 100), "fallback");
}

TEST(IniReaderTest, ListForms) {
  IniReader r;
  r.OpenText("[S]\nthree=1, -2 ,+3\nmore=1,2,3,4\nfew=1,2\nbad=1,x,3\n"
             "exts=mka; .opus;;wv ;\n");
  ASSERT_TRUE(r.SelectSection("S"));
  std::array<std::int32_t, 3> v{7, 7, 7};
  EXPECT_TRUE(r.ReadDecimalList("three", v));
  EXPECT_EQ(v, (std::array<std::int32_t, 3>{1, -2, 3}));
  EXPECT_TRUE(r.ReadDecimalList("more", v));  // surplus items are ignored
  EXPECT_EQ(v, (std::array<std::int32_t, 3>{1, 2, 3}));
  v = {7, 7, 7};
  EXPECT_FALSE(r.ReadDecimalList("few", v));
  EXPECT_FALSE(r.ReadDecimalList("bad", v));
  EXPECT_FALSE(r.ReadDecimalList("missing", v));
  EXPECT_EQ(v, (std::array<std::int32_t, 3>{7, 7, 7}));  // all or nothing

  const auto exts = SplitList(*r.Find("exts"), ';', 10);
  EXPECT_EQ(exts, (std::vector<std::string>{"mka", ".opus", "wv"}));
  EXPECT_EQ(SplitList("a;b;c;d", ';', 2).size(), 2u);
  const std::vector<std::string> items{"a", "b", "c"};
  EXPECT_EQ(JoinList(items, ';'), "a;b;c");
}

TEST(IniReaderTest, NumberedListStopsAtTheFirstMissingNumber) {
  IniReader r;
  r.OpenText("[L]\n1=b\n0=a\n2=c\n4=e\n03=x\n+3=y\n");
  ASSERT_TRUE(r.SelectSection("L"));
  const auto items = r.ReadNumberedList(100);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], "a");
  EXPECT_EQ(items[1], "b");
  EXPECT_EQ(items[2], "c");
  EXPECT_EQ(r.ReadNumberedList(2).size(), 2u);
}

// --- encodings ---

TEST(IniReaderTest, DecodesByMarkOrInTheGivenCodePage) {
  const std::string ete = "\xC3\xA9t\xC3\xA9";
  const struct {
    std::string bytes;
    const char* codeset;
    std::string name;
  } cases[] = {
      {Utf16Bytes(u"[S]\r\nname=\u00e9t\u00e9 \u6f22\U0001F3B5\r\n"), "CP1252", ete + " \xE6\xBC\xA2\xF0\x9F\x8E\xB5"},
      {"\xEF\xBB\xBF[S]\r\nname=" + ete + "\r\n", "CP1252", ete},
      // No mark: the code page given; no final line feed needed.
      {"[S]\r\nname=\xE9t\xE9", "CP1252", ete},
      // The same bytes are invalid UTF-8 and become U+FFFD, never a failure.
      {"[S]\nname=\xE9t\xE9\n", "UTF-8", "\xEF\xBF\xBDt\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    IniReader r;
    r.OpenBytes(c.bytes, c.codeset);
    ASSERT_TRUE(r.SelectSection("S")) << c.name;
    EXPECT_EQ(r.Find("name").value_or("?"), c.name);
  }
}

TEST(IniReaderTest, DetectsTheByteOrderMarks) {
  EXPECT_EQ(DetectTextFileEncoding("\xFF\xFE"), TextFileEncoding::kUtf16Le);
  EXPECT_EQ(DetectTextFileEncoding("\xEF\xBB\xBF"), TextFileEncoding::kUtf8);
  EXPECT_EQ(DetectTextFileEncoding("\xEF\xBB"), TextFileEncoding::kNarrow);
  EXPECT_EQ(DetectTextFileEncoding("[S]"), TextFileEncoding::kNarrow);
  EXPECT_EQ(DetectTextFileEncoding(""), TextFileEncoding::kNarrow);
}

// --- bad input ---

TEST(IniReaderTest, EmptyAndBinaryInputHoldNothing) {
  IniReader r;
  r.OpenBytes("", "UTF-8");
  EXPECT_EQ(r.section_count(), 0u);
  EXPECT_FALSE(r.SelectSection("S"));
  r.OpenBytes("\xFF\xFE", "UTF-8");
  EXPECT_EQ(r.section_count(), 0u);
  r.OpenBytes("\xFF", "UTF-8");
  EXPECT_EQ(r.section_count(), 0u);

  std::string binary;
  std::uint32_t x = 12345;
  for (int i = 0; i < 65536; ++i) {
    x = x * 1103515245u + 12345u;
    binary.push_back(static_cast<char>(x >> 24));
  }
  for (const char* codeset : {"UTF-8", "CP1252", "CP932", "no-such-codeset"}) {
    r.OpenBytes(binary, codeset);
    // Whatever the noise decodes to, reading stays inside the text.
    (void)r.SelectSection("S");
    for (const IniEntry& e : r.Entries()) EXPECT_EQ(e.key, TrimSpacesAndTabs(e.key));
    EXPECT_FALSE(r.SelectSection("no such section"));
  }
  // Embedded NUL bytes are ordinary characters.
  r.OpenText(std::string("[S]\nk=1\0\n", 9));
  ASSERT_TRUE(r.SelectSection("S"));
  EXPECT_EQ(r.ReadDecimal("k", 5), 5);
}

TEST(IniReaderTest, MegabyteLines) {
  const std::string big(1 << 20, 'x');
  IniReader r;
  r.OpenText("[S]\n" + big + "\nk=" + big + "\n" + big + "=1\nsmall=2\n[" + big + "]\nz=3\n");
  ASSERT_TRUE(r.SelectSection("S"));
  EXPECT_EQ(r.ReadText("k", "", 260).size(), 260u);
  EXPECT_EQ(r.ReadDecimal("k", 7), 7);
  EXPECT_EQ(r.ReadDecimal("small", 0), 2);
  ASSERT_TRUE(r.SelectSection(big));
  EXPECT_EQ(r.ReadDecimal("z", 0), 3);
}

TEST(IniReaderTest, HundredThousandSections) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
  text += "[Target]\nk=-1\n";
  IniReader r;
  r.OpenText(std::move(text));
  EXPECT_EQ(r.section_count(), 100001u);
  ASSERT_TRUE(r.SelectSection("s99999"));
  EXPECT_EQ(r.ReadDecimal("k", 0), 99999);
  ASSERT_TRUE(r.SelectSection("Target"));
  EXPECT_EQ(r.ReadDecimal("k", 0), -1);
}

}  // namespace
}  // namespace tidemark
