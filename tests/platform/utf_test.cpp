#include "platform/utf.h"

#include <iconv.h>

#include <random>

#include <gtest/gtest.h>

namespace tidemark {
namespace {

// Whether glibc's iconv accepts `bytes` as UTF-8: an independent validity check.
bool IconvAcceptsUtf8(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string out(bytes.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* o = out.data();
  std::size_t o_left = out.size();
  const std::size_t rc = iconv(cd, &in, &in_left, &o, &o_left);
  iconv_close(cd);
  return rc != static_cast<std::size_t>(-1) && in_left == 0;
}

TEST(Utf, RoundTripsEveryCharacterLength) {
  // 1, 2, 3 and 4 bytes; the last one is a surrogate pair in UTF-16.
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";  // "Aé€𝄞"
  const std::u16string utf16 = u"A\u00E9\u20AC\U0001D11E";
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(Utf16Length(utf8), 5u);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
  EXPECT_EQ(Utf16Length(std::string_view("a\0b", 3)), 3u);

  // Every scalar value survives UTF-8 -> UTF-16 -> UTF-8.
  std::string all;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    AppendUtf8(all, cp);
  }
  EXPECT_TRUE(IconvAcceptsUtf8(all));
  const std::u16string wide = Utf8ToUtf16(all);
  EXPECT_EQ(wide.size(), Utf16Length(all));
  EXPECT_EQ(wide.size(), 0x10000u - 0x800u + 2u * 0x100000u);
  EXPECT_EQ(Utf16ToUtf8(wide), all);
}

TEST(Utf, InvalidUtf8BecomesOneReplacementPerMaximalSubpart) {
  const std::u16string R = u"\uFFFD";
  const std::pair<const char*, std::u16string> cases[] = {
      // Truncated sequences, a lead before ASCII, stray continuation bytes.
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", u"a" + R + R + R + u"b" + R + u"c" + R + R + u"d"},
      {"\xC0\xAF", R + R},                  // overlong '/'
      {"\xE0\x80\xAF", R + R + R},          // overlong, 3 bytes
      {"\xF0\x8F\xBF\xBF", R + R + R + R},
      {"\xED\xA0\x80", R + R + R},          // encoded surrogate
      {"\xF4\x90\x80\x80", R + R + R + R},  // above U+10FFFF
      {"\xF5\xFF", R + R},
      {"\xE2\x82", R},                      // cut at the end
      {"\xF0\x9D\x84", R},
  };
  for (const auto& [bytes, wide] : cases) EXPECT_EQ(Utf8ToUtf16(bytes), wide) << ::testing::PrintToString(bytes);
  EXPECT_EQ(Utf16Length("\xF0\x9D\x84"), 1u);
  EXPECT_EQ(Utf16Length("\xED\xA0\x80"), 3u);
  // The last valid forms right at the edges still decode.
  EXPECT_EQ(Utf8ToUtf16("\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"), u"\uD7FF\uE000\U0010FFFF");
}

TEST(Utf, RandomBytesAgreeWithIconvOnValidity) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> len(0, 12);
  // Bytes biased toward lead and continuation bytes so that valid and invalid both occur.
  const unsigned char pool[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(pool) - 1);
  int valid = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string s;
    for (int n = len(rng); n > 0; --n) s.push_back(static_cast<char>(pool[pick(rng)]));
    const std::u16string wide = Utf8ToUtf16(s);
    const bool ours_valid = wide.find(u'\uFFFD') == std::u16string::npos;
    ASSERT_EQ(ours_valid, IconvAcceptsUtf8(s)) << ::testing::PrintToString(s);
    ASSERT_EQ(wide.size(), Utf16Length(s));
    if (ours_valid) {
      ++valid;
      ASSERT_EQ(Utf16ToUtf8(wide), s);
    }
  }
  EXPECT_GT(valid, 100);
}

TEST(Utf, LoneSurrogatesInUtf16BecomeReplacement) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");           // high at the end
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00" u"b"), "\xEF\xBF\xBD" "b");    // low alone
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // reversed pair
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80");
}

TEST(Utf, TruncateKeepsWholeCharacters) {
  const std::string s = "a\xE2\x82\xAC\xF0\x9D\x84\x9E" "b";  // units 1, 1, 2, 1
  EXPECT_EQ(TruncateUtf8ToUtf16Units(s, 0), "");
  EXPECT_EQ(TruncateUtf8ToUtf16Units(s, 2), "a\xE2\x82\xAC");
  EXPECT_EQ(TruncateUtf8ToUtf16Units(s, 3), "a\xE2\x82\xAC");  // no half surrogate pair
  EXPECT_EQ(TruncateUtf8ToUtf16Units(s, 4), "a\xE2\x82\xAC\xF0\x9D\x84\x9E");
  EXPECT_EQ(TruncateUtf8ToUtf16Units(s, 99), s);
  // An invalid subpart counts as the one unit it becomes.
  EXPECT_EQ(TruncateUtf8ToUtf16Units("\xE2\x82x", 1), "\xE2\x82");
  for (std::size_t n = 0; n <= 6; ++n) EXPECT_LE(Utf16Length(TruncateUtf8ToUtf16Units(s, n)), n);
}

}  // namespace
}  // namespace tidemark
