// The registry stand-in "registry.ini": values, the machine-wide fallback,
// the "UIText" override and the "DefaultCodePageAware" decision.
#include "config/registry_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "config/code_page_choice.h"
#include "config/config_file_io.h"
#include "config/ini_reader.h"
#include "config/language_override.h"
#include "config/text_decode.h"
#include "platform/error_numbers.h"
#include "platform/narrow_codeset.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ReadFileText;
using testing::WriteFileText;

std::string DecodedFile(const std::string& path) {
  return testing::FileExists(path) ? DecodeTextFile(ReadFileText(path), "UTF-8") : "<missing>";
}

struct Paths {
  std::string user;
  std::string machine;
};

Paths MakePaths() {
  const std::string dir = testing::MakeTempDir("registry");
  return {dir + "/registry.ini", dir + "/machine.ini"};
}

TEST(RegistryStoreTest, WritesUtf16LeWithTheKeySection) {
  const Paths p = MakePaths();
  RegistryStore store(p.user, p.machine);
  store.Load();
  EXPECT_FALSE(store.Has("UIText"));
  store.SetString("UIText", "en");
  store.SetDword("DefaultCodePageAware", 0x12AB);
  ASSERT_EQ(store.Save(), err::kOk);
  const std::string bytes = ReadFileText(p.user);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(DecodedFile(p.user),
            "[Software\\Fernwick\\Tidemark]\r\nUIText=\"en\"\r\n"
            "DefaultCodePageAware=dword:000012ab\r\n");

  RegistryStore again(p.user, p.machine);
  again.Load();
  EXPECT_EQ(again.GetString("uitext").value_or("?"), "en");
  EXPECT_EQ(again.GetDword("DEFAULTCODEPAGEAWARE").value_or(0), 0x12ABu);
  // Of the wrong type: absent for that type, but present.
  EXPECT_FALSE(again.GetDword("UIText").has_value());
  EXPECT_FALSE(again.GetString("DefaultCodePageAware").has_value());
  EXPECT_TRUE(again.Has("UIText"));
}

TEST(RegistryStoreTest, HandWrittenAndDamagedFiles) {
  const Paths p = MakePaths();
  // UTF-8 without a mark, other sections, odd values.
  WriteFileText(p.user,
            "[Other]\nUIText=\"xx\"\n[software\\fernwick\\tidemark]\n UIText = \"de\" \n"
            "A=dword:zz\nB=dword:\nC=\"open\nD=DWORD:0000000A\nUIText=\"second\"\n");
  RegistryStore store(p.user, p.machine);
  store.Load();
  EXPECT_EQ(store.GetString("UIText").value_or("?"), "de");
  EXPECT_FALSE(store.GetDword("A").has_value());
  EXPECT_FALSE(store.GetDword("B").has_value());
  EXPECT_FALSE(store.GetString("C").has_value());
  EXPECT_EQ(store.GetDword("D").value_or(0), 10u);

  for (const std::string& bad : {std::string(), std::string("\xFF\xFE"), std::string("\xFF\xFE["),
                                std::string(100000, '\0'), std::string("\x01\x02\x03\xFF")}) {
    WriteFileText(p.user, bad);
    RegistryStore damaged(p.user, p.machine);
    damaged.Load();
    EXPECT_TRUE(damaged.user_empty());
    EXPECT_FALSE(damaged.Has("UIText"));
  }
}

TEST(RegistryStoreTest, MachineWideValuesAreAFallbackAndNeverWritten) {
  const Paths p = MakePaths();
  WriteFileText(p.machine, "[Software\\Fernwick\\Tidemark]\nUIText=\"fr\"\nX=dword:00000001\n");
  const std::string machine_bytes = ReadFileText(p.machine);
  RegistryStore store(p.user, p.machine);
  store.Load();
  EXPECT_EQ(store.GetString("UIText").value_or("?"), "fr");
  store.SetString("UIText", "en");
  EXPECT_EQ(store.GetString("UIText").value_or("?"), "en");
  ASSERT_EQ(store.Save(), err::kOk);
  EXPECT_EQ(DecodedFile(p.user), "[Software\\Fernwick\\Tidemark]\r\nUIText=\"en\"\r\n");
  EXPECT_TRUE(store.Delete("UIText"));
  EXPECT_FALSE(store.Delete("UIText"));
  EXPECT_FALSE(store.Delete("X"));  // machine-wide values cannot be deleted
  EXPECT_EQ(store.GetString("UIText").value_or("?"), "fr");
  ASSERT_EQ(store.Save(), err::kOk);
  EXPECT_EQ(ReadFileText(p.machine), machine_bytes);
}

TEST(RegistryStoreTest, DeletingTheLastValueDeletesTheKey) {
  const Paths p = MakePaths();
  RegistryStore store(p.user, "");
  store.SetString("UIText", "en");
  ASSERT_EQ(store.Save(), err::kOk);
  EXPECT_EQ(GetPathKind(p.user), PathKind::kFile);
  EXPECT_TRUE(store.Delete("UIText"));
  ASSERT_EQ(store.Save(), err::kOk);
  EXPECT_EQ(GetPathKind(p.user), PathKind::kMissing);
  // Saving an empty store without a file is fine too.
  EXPECT_EQ(store.Save(), err::kOk);
  RegistryStore nowhere("", "");
  EXPECT_EQ(nowhere.Save(), err::kCreateFailed);
}

TEST(RegistryStoreTest, ValuesThatCannotBeStoredAreNotWritten) {
  const Paths p = MakePaths();
  RegistryStore store(p.user, "");
  store.SetString("UIText", "line\nbreak");
  store.SetString("Good", "ok");
  ASSERT_EQ(store.Save(), err::kOk);
  EXPECT_EQ(DecodedFile(p.user), "[Software\\Fernwick\\Tidemark]\r\nGood=\"ok\"\r\n");
}

// --- the language override ---

TEST(RegistryStoreTest, LanguageOverrideIsReadOnceSetAndCleared) {
  const Paths p = MakePaths();
  LanguageOverride first(RegistryStore(p.user, p.machine));
  EXPECT_EQ(first.state(), LanguageOverrideState::kNotRead);
  EXPECT_FALSE(first.Name().has_value());
  EXPECT_EQ(first.state(), LanguageOverrideState::kAbsent);
  // Another writer sets it: the state read once stays until this one sets it.
  WriteFileText(p.user, "[Software\\Fernwick\\Tidemark]\nUIText=\"de\"\nDefaultCodePageAware=dword:00000000\n");
  EXPECT_FALSE(first.Name().has_value());
  EXPECT_EQ(LanguageOverride(RegistryStore(p.user, p.machine)).Name().value_or("?"), "de");
  ASSERT_EQ(first.Set(), err::kOk);
  EXPECT_EQ(first.state(), LanguageOverrideState::kPresent);
  EXPECT_EQ(first.Name().value_or("?"), "en");
  EXPECT_EQ(DecodedFile(p.user), "[Software\\Fernwick\\Tidemark]\r\nUIText=\"en\"\r\n"
                                 "DefaultCodePageAware=dword:00000000\r\n");
  // Clearing keeps the other values of the key.
  ASSERT_EQ(first.Clear(), err::kOk);
  EXPECT_EQ(first.state(), LanguageOverrideState::kAbsent);
  EXPECT_EQ(DecodedFile(p.user), "[Software\\Fernwick\\Tidemark]\r\nDefaultCodePageAware=dword:00000000\r\n");
}

TEST(RegistryStoreTest, OnlyANonEmptyStringOverridesAndTheMachineValueIsAFallback) {
  const Paths p = MakePaths();
  for (const char* value : {"UIText=\"\"", "UIText=dword:00000007"}) {
    WriteFileText(p.user, std::string("[Software\\Fernwick\\Tidemark]\n") + value + "\n");
    LanguageOverride o(RegistryStore(p.user, ""));
    EXPECT_FALSE(o.Name().has_value()) << value;
    EXPECT_EQ(o.state(), LanguageOverrideState::kAbsent) << value;
  }
  WriteFileText(p.machine, "[Software\\Fernwick\\Tidemark]\nUIText=\"fr\"\n");
  EXPECT_EQ(LanguageOverride(RegistryStore(p.user + ".none", p.machine)).Name().value_or("?"), "fr");
}

// --- the code-page decision ---

class CodePageChoiceTest : public ::testing::Test {
 protected:
  ~CodePageChoiceTest() override { SetDefaultCodePageAware(0); }
};

// Absent on a UTF-8 (or C-locale) system: created as 0. A stored value,
// the user's or else the machine-wide one (not copied), decides and is kept;
// a value of another type is left alone; other locales never touch it.
TEST_F(CodePageChoiceTest, TheStoredValueDecidesOnAUtf8System) {
  constexpr const char* kKey = "[Software\\Fernwick\\Tidemark]\n";
  const char* kMissing = "<missing>";
  const char* kCreated = "[Software\\Fernwick\\Tidemark]\r\nDefaultCodePageAware=dword:00000000\r\n";
  const struct {
    const char *user, *machine, *codeset;
    std::uint32_t decided;
    const char* user_after;  // nullptr: unchanged
  } cases[] = {
      {nullptr, nullptr, "UTF-8", 0, kCreated},
      {nullptr, nullptr, "ANSI_X3.4-1968", 0, kCreated},
      {"UIText=\"en\"\nDefaultCodePageAware=dword:1\n", nullptr, "utf8", 1, nullptr},
      {nullptr, "DefaultCodePageAware=dword:00000002\n", "UTF-8", 2, kMissing},
      {"DefaultCodePageAware=\"text\"\n", nullptr, "UTF-8", 0, nullptr},
      {nullptr, nullptr, "ISO-8859-1", 0, kMissing},
      {nullptr, "DefaultCodePageAware=dword:00000002\n", "EUC-JP", 0, kMissing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codeset) + " " + (c.user ? c.user : "-") + " " + (c.machine ? c.machine : "-"));
    const Paths p = MakePaths();
    if (c.user) WriteFileText(p.user, std::string(kKey) + c.user);
    if (c.machine) WriteFileText(p.machine, std::string(kKey) + c.machine);
    const std::string before = ReadFileText(p.user);
    RegistryStore store(p.user, p.machine);
    EXPECT_EQ(DecideNarrowCodePage(store, c.codeset), c.decided);
    EXPECT_EQ(DecodedFile(p.user), c.user_after ? c.user_after : DecodeTextFile(before, "UTF-8"));
    if (c.user_after == kCreated) {
      EXPECT_EQ(ReadFileText(p.user).substr(0, 2), "\xFF\xFE");
    }
  }
}

TEST_F(CodePageChoiceTest, ANonZeroValueMakesNarrowFilesALegacyCodePage) {
  const Paths p = MakePaths();
  WriteFileText(p.user, "[Software\\Fernwick\\Tidemark]\nDefaultCodePageAware=dword:1\n");
  RegistryStore store(p.user, p.machine);
  ASSERT_EQ(DecideNarrowCodePage(store, "UTF-8"), 1u);
  // On a UTF-8 system; any other locale keeps its own codeset.
  const std::string locale = LocaleCodeset();
  if (IsUtf8Codeset(locale) || IsCLocaleCodeset(locale)) {
    EXPECT_EQ(NarrowCodeset().substr(0, 2), "CP");
    SetDefaultCodePageAware(0);
    EXPECT_EQ(NarrowCodeset(), "UTF-8");
  }
}

}  // namespace
}  // namespace tidemark
