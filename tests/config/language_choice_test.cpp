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
using testing::WriteWholeFile;

// A language folder holding one small file per tag; each file fills text 0
// of "product" with its own tag, so a load shows which file it read.
std::string MakeLanguageFolder(std::initializer_list<const char*> tags) {
  const std::string dir = MakeTempDir("uitext");
  for (const char* tag : tags)
    WriteWholeFile(dir + "/" + tag + ".txt", std::string("\xEF\xBB\xBF[product]\n=") + tag + "\n");
  return dir;
}

std::string Chosen(const std::vector<std::string>& folders, std::string locale,
                   std::optional<std::string> override_name = std::nullopt) {
  LanguageChoiceInput input;
  input.folders = folders;
  input.locale_name = std::move(locale);
  input.override_name = std::move(override_name);
  return ChooseLanguageFile(input);
}

// The tag of the file a load with these inputs reads, "" when nothing loads.
std::string Loaded(const std::vector<std::string>& folders, std::string locale,
                   std::optional<std::string> override_name = std::nullopt) {
  LanguageChoiceInput input;
  input.folders = folders;
  input.locale_name = std::move(locale);
  input.override_name = std::move(override_name);
  TextCatalogue catalogue;
  if (LoadTextCatalogue(catalogue, input, "UTF-8") == 0) return "";
  return std::string(catalogue.Text(text::kProductName));
}

TEST(LanguageChoice, UserLanguageDecidesWithParentLocaleAndEnglishFallback) {
  const std::string dir =
      MakeLanguageFolder({"en", "de", "pt", "zh-Hans", "zh-Hant", "sr-Latn", "sr-Cyrl", "bs-Latn", "ja"});
  const std::vector<std::string> folders{dir};
  EXPECT_EQ(Loaded(folders, "de_DE.UTF-8"), "de");
  EXPECT_EQ(Loaded(folders, "de_AT"), "de");
  EXPECT_EQ(Loaded(folders, "de"), "de");
  EXPECT_EQ(Loaded(folders, "pt_BR.UTF-8"), "pt");
  EXPECT_EQ(Loaded(folders, "zh_CN.UTF-8"), "zh-Hans");
  EXPECT_EQ(Loaded(folders, "zh_SG"), "zh-Hans");
  EXPECT_EQ(Loaded(folders, "zh_TW.UTF-8"), "zh-Hant");
  EXPECT_EQ(Loaded(folders, "zh_HK"), "zh-Hant");
  EXPECT_EQ(Loaded(folders, "sr_RS@latin"), "sr-Latn");
  EXPECT_EQ(Loaded(folders, "sr_RS"), "sr-Cyrl");
  EXPECT_EQ(Loaded(folders, "bs_BA.UTF-8"), "bs-Latn");
  EXPECT_EQ(Loaded(folders, "ja_JP.UTF-8"), "ja");
  // Languages without a file of their own, and the C locale, get English.
  EXPECT_EQ(Loaded(folders, "fr_FR.UTF-8"), "en");
  EXPECT_EQ(Loaded(folders, "ko_KR.UTF-8"), "en");
  EXPECT_EQ(Loaded(folders, "C"), "en");
  EXPECT_EQ(Loaded(folders, "POSIX"), "en");
  EXPECT_EQ(Loaded(folders, "C.UTF-8"), "en");
  EXPECT_EQ(Loaded(folders, ""), "en");
  EXPECT_EQ(Loaded(folders, "xx_YY"), "en");
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
  if (source == nullptr) GTEST_SKIP() << "TIDEMARK_SOURCE_DIR is set by ctest";
  EXPECT_EQ(testing::ReadWholeFile(JoinPath(folders[0], "en.txt")),
            testing::ReadWholeFile(std::string(source) + "/UIText/en.txt"));
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

TEST(LanguageOverride, ReadOnceSetAndClear) {
  const std::string dir = MakeTempDir("override");
  const std::string user = dir + "/registry.ini";
  const std::string machine = dir + "/machine.ini";

  LanguageOverride first(RegistryStore(user, machine));
  EXPECT_EQ(first.state(), LanguageOverrideState::kNotRead);
  EXPECT_EQ(first.Name(), std::nullopt);
  EXPECT_EQ(first.state(), LanguageOverrideState::kAbsent);

  // Another writer sets it; the state read once stays until this process sets it itself.
  {
    RegistryStore other(user, "");
    other.Load();
    other.SetString(kLanguageOverrideValue, "de");
    other.SetDword("DefaultCodePageAware", 0);
    ASSERT_EQ(other.Save(), 0u);
  }
  EXPECT_EQ(first.Name(), std::nullopt);
  LanguageOverride second(RegistryStore(user, machine));
  EXPECT_EQ(second.Name(), "de");

  ASSERT_EQ(first.Set(), 0u);
  EXPECT_EQ(first.Name(), "en");
  EXPECT_EQ(LanguageOverride(RegistryStore(user, machine)).Name(), "en");

  // Clearing removes the value and keeps the other one.
  ASSERT_EQ(first.Clear(), 0u);
  EXPECT_EQ(first.Name(), std::nullopt);
  RegistryStore check(user, "");
  check.Load();
  EXPECT_FALSE(check.Has(kLanguageOverrideValue));
  EXPECT_EQ(check.GetDword("DefaultCodePageAware"), 0u);

  // With nothing else left the key (the file) goes too.
  check.Delete("DefaultCodePageAware");
  ASSERT_EQ(check.Save(), 0u);
  ASSERT_EQ(first.Set(), 0u);
  ASSERT_EQ(first.Clear(), 0u);
  EXPECT_FALSE(FileExists(user));
}

TEST(LanguageOverride, OnlyNonEmptyStringsOverride) {
  const std::string dir = MakeTempDir("override-types");
  const std::string user = dir + "/registry.ini";
  for (int variant = 0; variant < 2; ++variant) {
    RegistryStore store(user, "");
    store.Load();
    if (variant == 0) store.SetString(kLanguageOverrideValue, "");
    if (variant == 1) store.SetDword(kLanguageOverrideValue, 7);
    ASSERT_EQ(store.Save(), 0u);
    LanguageOverride language(RegistryStore(user, ""));
    EXPECT_EQ(language.Name(), std::nullopt) << variant;
    EXPECT_EQ(language.state(), LanguageOverrideState::kAbsent);
  }
  // A machine-wide override applies when the user has none.
  const std::string machine = dir + "/machine.ini";
  RegistryStore machine_store(machine, "");
  machine_store.SetString(kLanguageOverrideValue, "fr");
  ASSERT_EQ(machine_store.Save(), 0u);
  LanguageOverride language(RegistryStore(dir + "/nouser.ini", machine));
  EXPECT_EQ(language.Name(), "fr");
}

}  // namespace
}  // namespace tidemark
