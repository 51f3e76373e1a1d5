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
  // en-ZW (0x3009) and de-LI (0x1407) are not rows of their own: the primary language answers.
  for (const auto& [id, tag] : {std::pair<std::uint16_t, const char*>{0x0009, "en"}, {0x0007, "de"}, {0x0011, "ja"},
                                {0x0012, "ko"}, {0x0804, "zh-Hans"}, {0x0404, "zh-Hant"}, {0x081A, "sr-Latn"},
                                {0x141A, "bs-Latn"}, {0x0411, "ja"}, {0x3009, "en"}, {0x1407, "de"}, {0x007F, ""},
                                {0, ""}})
    EXPECT_EQ(LanguageTagForId(id), tag) << std::hex << id;
  EXPECT_EQ(PrimaryLanguageId(0x141A), 0x001A);
}

TEST(LanguageIds, PosixLocaleNamesFindTheirIdentifier) {
  // de_LI: only the language is known; sr_RS is Cyrillic and bs_BA Latin
  // unless told otherwise; "_" has no language part at all.
  for (const auto& [name, id] : {std::pair<const char*, std::uint16_t>{"ja_JP.UTF-8", 0x0411}, {"ja", 0x0011},
                                 {"de_DE.UTF-8@euro", 0x0407}, {"de_LI", 0x0007}, {"EN_gb", 0x0809},
                                 {"zh_CN.GB18030", 0x0804}, {"zh_TW", 0x0404}, {"zh_HK", 0x0C04},
                                 {"sr_RS@latin", 0x241A}, {"sr_RS", 0x281A}, {"bs_BA", 0x141A},
                                 {"uz_UZ@cyrillic", 0x0843}, {"pt_BR", 0x0416}, {"C", 0x0009}, {"POSIX", 0x0009},
                                 {"", 0x0009}, {"xx_YY", 0}, {"_", 0x0009}})
    EXPECT_EQ(LanguageIdForLocaleName(name), id) << name;
}

}  // namespace
}  // namespace tidemark
