#include "formats/tags/tag_set.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "formats/tags/internal/app_private.h"

namespace tidemark {
namespace {

TEST(TagSet, EmptinessComparisonAndNames) {
  TagSet a;
  EXPECT_TRUE(IsTagSetEmpty(a));
  a[InfoText::Genre] = "";
  EXPECT_TRUE(IsTagSetEmpty(a));  // an empty text counts as absent
  TagSet b;
  EXPECT_EQ(CompareTagSets(a, b), 0);
  SetTagText(a, InfoText::Artist, "x");
  EXPECT_FALSE(IsTagSetEmpty(a));
  EXPECT_GT(CompareTagSets(a, b), 0);
  EXPECT_LT(CompareTagSets(b, a), 0);
  // The first differing slot decides, not a later one.
  SetTagText(b, InfoText::Name, "a");
  SetTagText(a, InfoText::AppPrivate, "zzz");
  EXPECT_LT(CompareTagSets(a, b), 0);
  // As UTF-16 strings: U+10000 (a surrogate pair, 0xD800...) sorts before U+FFFD.
  TagSet c, d;
  SetTagText(c, InfoText::Name, "\xF0\x90\x80\x80");
  SetTagText(d, InfoText::Name, "\xEF\xBF\xBD");
  EXPECT_LT(CompareTagSets(c, d), 0);
  SetTagText(c, InfoText::Name, "");
  EXPECT_FALSE(c[InfoText::Name].has_value());

  EXPECT_EQ(TagSlotByName("creationdate"), InfoText::CreationDate);
  EXPECT_EQ(TagSlotByName("AppPrivate"), InfoText::AppPrivate);
  EXPECT_EQ(TagSlotByName("Album"), std::nullopt);
  for (std::size_t i = 0; i < kInfoTextCount; ++i) EXPECT_EQ(TagSlotByName(kTagNames[i]), static_cast<InfoText>(i));
}

TEST(AppPrivate, ParsingQuotesEscapesAndTheTrailingEqualsRule) {
  const auto entries = ParseAppPrivate(
      "TNO=7  ALBUM=\"The \\\"Best\\\" of C:\\\\x\\y\" WEBURL= http://a.example/ ISRC=abc  lone X-Y= next");
  std::vector<std::pair<std::string, std::string>> got;
  for (const AppPrivateEntry& e : entries) got.emplace_back(e.key, e.value);
  // \\ is one backslash, \y stays; "KEY=" takes the next entry, unless the
  // key is not a plain key name: then it stays empty.
  EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{{"TNO", "7"}, {"ALBUM", "The \"Best\" of C:\\x\\y"},
                                                                   {"WEBURL", "http://a.example/"}, {"ISRC", "abc"},
                                                                   {"", "lone"}, {"X-Y", ""}, {"", "next"}}));

  EXPECT_EQ(AppPrivateValue(entries, "ALBUM"), "The \"Best\" of C:\\x\\y");
  EXPECT_EQ(AppPrivateValue(entries, "TNO"), "7");
  EXPECT_EQ(AppPrivateValue(entries, "ISRC"), std::nullopt);  // three characters
  EXPECT_EQ(AppPrivateValue("TNO=A1 TNO=2", "TNO"), std::nullopt);  // the first entry decides
  EXPECT_EQ(AppPrivateValue("SYNLYR=1x", "SYNLYR"), "1x");
  EXPECT_EQ(AppPrivateValue("ISRC=USRC17607839", "ISRC"), "USRC17607839");
  EXPECT_EQ(AppPrivateValue("album=x", "ALBUM"), std::nullopt);  // keys match exactly
  EXPECT_EQ(AppPrivateValue("ALBUM=\"never closed", "ALBUM"), "never closed");
  EXPECT_TRUE(ParseAppPrivate("   ").empty());
  EXPECT_EQ(AppPrivateValue("ALBUM=", "ALBUM"), "");
}

TEST(AppPrivate, BuildQuotesWhatParsingNeedsAndRoundTrips) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"TNO", "12"}, {"ALBUM", "A \"quoted\" name"}, {"WEBURL", "C:\\dir\\"}, {"ISRC", ""}, {"SYNLYR", "1"}};
  const std::string text = BuildAppPrivate(pairs);
  EXPECT_EQ(text, "TNO=12 ALBUM=\"A \\\"quoted\\\" name\" WEBURL=\"C:\\\\dir\\\\\" SYNLYR=1");
  std::vector<std::pair<std::string, std::string>> back;
  for (const AppPrivateEntry& e : ParseAppPrivate(text)) back.emplace_back(e.key, e.value);
  EXPECT_EQ(back, (std::vector<std::pair<std::string, std::string>>{
                      {"TNO", "12"}, {"ALBUM", "A \"quoted\" name"}, {"WEBURL", "C:\\dir\\"}, {"SYNLYR", "1"}}));
}

}  // namespace
}  // namespace tidemark
