#include "config/language_choice.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "config/config_file_io.h"
#include "config/language_override.h"
#include "config/text_catalogue.h"
#include "tests/platform/env_override.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::EnvOverride;
using testing::FileExists;
using testing::MakeTempDir;
using testing::WriteFileText;

// A language folder holding one small file per tag; each file fills text 0
// of "product" with its own tag, so a load shows which file it read.
std::string MakeLanguageFolder(std::initializer_list<const char*> tags) {
  const std::string dir = MakeTempDir("uitext");
  for (const char* tag : tags)
    WriteFileText(dir + "/" + tag + ".txt", std::string("\xEF\xBB\xBF[product]\n=") + tag + "\n");
  return dir;
}

std::string Chosen(const std::vector<std::string>& folders, std::string locale,
                   std::optional<std::string> override_name = std::nullopt) {
  return ChooseLanguageFile({folders, std::move(override_name), std::move(locale)});
}

// The tag of the file a load with these inputs reads, "" when nothing loads.
std::string Loaded(const std::vector<std::string>& folders, std::string locale,
                   std::optional<std::string> override_name = std::nullopt) {
  TextCatalogue catalogue;
  if (LoadTextCatalogue(catalogue, {folders, std::move(override_name), std::move(locale)}, "UTF-8") == 0) return "";
  return std::string(catalogue.Text(text::kProductName));
}

TEST(LanguageChoice, UserLanguageDecidesWithParentLocaleAndEnglishFallback) {
  const std::string dir =
      MakeLanguageFolder({"en", "de", "pt", "zh-Hans", "zh-Hant", "sr-Latn", "sr-Cyrl", "bs-Latn", "ja"});
  const std::vector<std::string> folders{dir};
  // Languages without a file of their own, and the C locale, get English.
  for (const auto& [locale, tag] : {std::pair{"de_DE.UTF-8", "de"}, {"de_AT", "de"}, {"de", "de"},
                                    {"pt_BR.UTF-8", "pt"}, {"zh_CN.UTF-8", "zh-Hans"}, {"zh_SG", "zh-Hans"},
                                    {"zh_TW.UTF-8", "zh-Hant"}, {"zh_HK", "zh-Hant"}, {"sr_RS@latin", "sr-Latn"},
                                    {"sr_RS", "sr-Cyrl"}, {"bs_BA.UTF-8", "bs-Latn"}, {"ja_JP.UTF-8", "ja"},
                                    {"fr_FR.UTF-8", "en"}, {"ko_KR.UTF-8", "en"}, {"C", "en"}, {"POSIX", "en"},
                                    {"C.UTF-8", "en"}, {"", "en"}, {"xx_YY", "en"}})
    EXPECT_EQ(Loaded(folders, locale), tag) << locale;
}

TEST(LanguageChoice, JapaneseUserWithoutJapaneseFileGetsNoTexts) {
  const std::string dir = MakeLanguageFolder({"en", "de"});
  EXPECT_EQ(Chosen({dir}, "ja_JP.UTF-8"), "");
  EXPECT_EQ(Loaded({dir}, "ja_JP.UTF-8"), "");
  EXPECT_EQ(Loaded({dir}, "ja"), "");
  // Only Japanese is treated so; a Korean user without a file gets English.
  EXPECT_EQ(Loaded({dir}, "ko_KR"), "en");
}

TEST(LanguageChoice, OverrideDecidesAloneEvenWhenItsFileIsMissing) {
  const std::string with_en = MakeLanguageFolder({"en", "de", "fr"});
  EXPECT_EQ(Loaded({with_en}, "de_DE.UTF-8", "fr"), "fr");
  EXPECT_EQ(Loaded({with_en}, "ja_JP.UTF-8", "en"), "en");  // the override beats the Japanese rule

  const std::string without_en = MakeLanguageFolder({"de"});
  const std::string path = Chosen({without_en}, "de_DE.UTF-8", "en");
  EXPECT_EQ(path, without_en + "/en.txt");
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(Loaded({without_en}, "de_DE.UTF-8", "en"), "");  // not German
  EXPECT_EQ(Loaded({without_en}, "de_DE.UTF-8", "nl"), "");

  // An empty override counts as absent; a name that leaves the folder loads nothing.
  EXPECT_EQ(Loaded({without_en}, "de_DE.UTF-8", ""), "de");
  for (const char* bad : {"../de", "/etc/passwd", ".", "..", "sub/de"})
    EXPECT_EQ(Chosen({without_en}, "de_DE.UTF-8", bad), "") << bad;
}

TEST(LanguageChoice, FoldersAreSearchedInOrder) {
  const std::string first = MakeLanguageFolder({"en"});
  const std::string second = MakeLanguageFolder({"en", "de"});
  EXPECT_EQ(Chosen({first, second}, "de_DE"), second + "/de.txt");
  EXPECT_EQ(Chosen({first, second}, "fr_FR"), first + "/en.txt");
  EXPECT_EQ(Chosen({second, first}, "fr_FR"), second + "/en.txt");
  // With no file anywhere the English path of the first folder is returned
  // (and loading it then fails silently).
  const std::string none = MakeTempDir("uitext-none");
  EXPECT_EQ(Chosen({none}, "fr_FR"), none + "/en.txt");
  EXPECT_EQ(Loaded({none}, "fr_FR"), "");
  EXPECT_EQ(Chosen({}, "fr_FR"), "");
}

TEST(LanguageChoice, UserLocaleComesFromTheFirstSetVariable) {
  EnvOverride language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr),
      lang("LANG", nullptr);
  EXPECT_EQ(UserLocaleName(), "");
  {
    EnvOverride a("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(UserLocaleName(), "fr_FR.UTF-8");
    EnvOverride b("LC_MESSAGES", "de_DE.UTF-8");
    EXPECT_EQ(UserLocaleName(), "de_DE.UTF-8");
    EnvOverride c("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(UserLocaleName(), "ja_JP.UTF-8");
    EnvOverride d("LANGUAGE", "pt_BR:en_US");
    EXPECT_EQ(UserLocaleName(), "pt_BR");  // only its first entry
    EnvOverride e("LANGUAGE", ":zh_TW:en");
    EXPECT_EQ(UserLocaleName(), "zh_TW");  // an empty entry names nothing
    EnvOverride f("LANGUAGE", "");
    EXPECT_EQ(UserLocaleName(), "ja_JP.UTF-8");  // empty values are skipped
    EnvOverride g("LC_ALL", "");
    EXPECT_EQ(UserLocaleName(), "de_DE.UTF-8");
    EnvOverride h("LANGUAGE", ":");
    EXPECT_EQ(UserLocaleName(), "de_DE.UTF-8");
  }
  // The whole path: the environment's language picks the file.
  const std::string dir = MakeLanguageFolder({"en", "de"});
  EnvOverride german("LC_MESSAGES", "de_CH.UTF-8");
  EXPECT_EQ(Loaded({dir}, UserLocaleName()), "de");
  EnvOverride posix("LC_ALL", "POSIX");
  EXPECT_EQ(Loaded({dir}, UserLocaleName()), "en");
}

TEST(LanguageChoice, ProgramFolderHoldsTheInstalledLanguageFiles) {
  const std::vector<std::string> folders = LanguageFolders();
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_TRUE(folders[0].ends_with("/UIText")) << folders[0];
  EXPECT_TRUE(folders[1].ends_with("/../share/tidemark/UIText")) << folders[1];
  // The build copies the shipped files beside the programs.
  const char* source = std::getenv("TIDEMARK_SOURCE_DIR");
  ASSERT_NE(source, nullptr) << "TIDEMARK_SOURCE_DIR is not set (ctest sets it)";
  EXPECT_EQ(testing::ReadFileText(JoinPath(folders[0], "en.txt")),
            testing::ReadFileText(std::string(source) + "/UIText/en.txt"));
}

TEST(LanguageChoice, StartUpLoadFallsBackToTheInstalledEnglishFile) {
  // No override in the private settings folder, a language without a file:
  // the process catalogue gets the English texts installed beside the program.
  EnvOverride language("LANGUAGE", nullptr), all("LC_ALL", "fr_FR.UTF-8");
  ASSERT_EQ(ProcessLanguageOverride().Name(), std::nullopt);
  EXPECT_GT(LoadProcessTextCatalogue(), 0u);
  EXPECT_EQ(UiText(text::kProductName), "Tidemark");
  EXPECT_FALSE(UiText(text::kErrorGeneric).empty());
}

}  // namespace
}  // namespace tidemark
