#include "config/language_ids.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tidemark {
namespace {

// The parent locale name of a Windows locale name, worked out independently
// of the table: the region is dropped ("de-CH" -> "de", "sr-Latn-RS" ->
// "sr-Latn"), except that Chinese regions map to their script.
std::string ParentOf(std::string_view locale) {
  if (locale.starts_with("zh-")) {
    const std::string_view region = locale.substr(3);
    if (region == "Hans" || region == "CN" || region == "SG") return "zh-Hans";
    if (region == "Hant" || region == "TW" || region == "HK" || region == "MO") return "zh-Hant";
  }
  const auto dash = locale.rfind('-');
  if (dash == std::string_view::npos) return std::string(locale);
  const std::string_view last = locale.substr(dash + 1);
  if (last.size() == 4) return std::string(locale);  // a script, not a region
  return std::string(locale.substr(0, dash));
}

TEST(LanguageIds, TableHas160SortedRowsWhoseTagsAreTheParentLocales) {
  const auto table = LanguageIdTable();
  ASSERT_EQ(table.size(), 160u);
  std::set<std::string_view> locales;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const LanguageIdRow& row = table[i];
    EXPECT_NE(row.id, 0) << i;  // an unfilled row would read as 0
    if (i > 0) {
      EXPECT_LT(table[i - 1].id, row.id) << std::hex << row.id;
    }
    EXPECT_FALSE(row.locale.empty()) << std::hex << row.id;
    EXPECT_TRUE(locales.insert(row.locale).second) << row.locale;
    EXPECT_EQ(row.tag, ParentOf(row.locale)) << row.locale;
  }
}

TEST(LanguageIds, TagLookupByIdentifierFallsBackToThePrimaryLanguage) {
  EXPECT_EQ(LanguageTagForId(0x0009), "en");
  EXPECT_EQ(LanguageTagForId(0x0007), "de");
  EXPECT_EQ(LanguageTagForId(0x0011), "ja");
  EXPECT_EQ(LanguageTagForId(0x0012), "ko");
  EXPECT_EQ(LanguageTagForId(0x0804), "zh-Hans");
  EXPECT_EQ(LanguageTagForId(0x0404), "zh-Hant");
  EXPECT_EQ(LanguageTagForId(0x081A), "sr-Latn");
  EXPECT_EQ(LanguageTagForId(0x141A), "bs-Latn");
  EXPECT_EQ(LanguageTagForId(0x0411), "ja");
  // en-ZW and de-LI are not rows of their own: the primary language answers.
  EXPECT_EQ(LanguageTagForId(0x3009), "en");
  EXPECT_EQ(LanguageTagForId(0x1407), "de");
  EXPECT_EQ(PrimaryLanguageId(0x141A), 0x001A);
  EXPECT_EQ(LanguageTagForId(0x007F), "");
  EXPECT_EQ(LanguageTagForId(0), "");
}

TEST(LanguageIds, PosixLocaleNamesFindTheirIdentifier) {
  EXPECT_EQ(LanguageIdForLocaleName("ja_JP.UTF-8"), 0x0411);
  EXPECT_EQ(LanguageIdForLocaleName("ja"), 0x0011);
  EXPECT_EQ(LanguageIdForLocaleName("de_DE.UTF-8@euro"), 0x0407);
  EXPECT_EQ(LanguageIdForLocaleName("de_LI"), 0x0007);  // only the language is known
  EXPECT_EQ(LanguageIdForLocaleName("EN_gb"), 0x0809);
  EXPECT_EQ(LanguageIdForLocaleName("zh_CN.GB18030"), 0x0804);
  EXPECT_EQ(LanguageIdForLocaleName("zh_TW"), 0x0404);
  EXPECT_EQ(LanguageIdForLocaleName("zh_HK"), 0x0C04);
  EXPECT_EQ(LanguageIdForLocaleName("sr_RS@latin"), 0x241A);
  EXPECT_EQ(LanguageIdForLocaleName("sr_RS"), 0x281A);  // Cyrillic unless told otherwise
  EXPECT_EQ(LanguageIdForLocaleName("bs_BA"), 0x141A);  // Latin unless told otherwise
  EXPECT_EQ(LanguageIdForLocaleName("uz_UZ@cyrillic"), 0x0843);
  EXPECT_EQ(LanguageIdForLocaleName("pt_BR"), 0x0416);
  EXPECT_EQ(LanguageIdForLocaleName("C"), 0x0009);
  EXPECT_EQ(LanguageIdForLocaleName("POSIX"), 0x0009);
  EXPECT_EQ(LanguageIdForLocaleName(""), 0x0009);
  EXPECT_EQ(LanguageIdForLocaleName("xx_YY"), 0);
  EXPECT_EQ(LanguageIdForLocaleName("_"), 0x0009);  // no language part at all
}

}  // namespace
}  // namespace tidemark
