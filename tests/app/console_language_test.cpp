// The console editor speaks the user's language: its own messages and the
// engine's error messages come from the language file the locale chooses,
// and a Japanese user without a Japanese file gets no texts at all.
#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "app/console_session.h"
#include "app/console_texts.h"
#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "platform/error_numbers.h"
#include "tests/app/console_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

namespace fs = std::filesystem;

// The text of `slot` in a shipped language file, up to its first "%".
std::string ShippedText(const std::string& language, TextSlot slot) {
  const char* source = std::getenv("TIDEMARK_SOURCE_DIR");
  EXPECT_NE(source, nullptr) << "TIDEMARK_SOURCE_DIR is not set (ctest sets it)";
  TextCatalogue catalogue;
  EXPECT_EQ(catalogue.LoadFile(std::string(source ? source : "") + "/UIText/" + language + ".txt", "UTF-8"),
            err::kOk);
  std::string text(catalogue.Text(slot));
  return text.substr(0, text.find('%'));
}

// Runs `program` under the locale `lang` with `commands` on standard input.
int RunIn(const std::string& program, const std::string& lang, const std::string& commands, std::string* output) {
  const std::string dir = testing::MakeTempDir("console_lang_in");
  testing::WriteWholeFile(dir + "/in.txt", std::vector<std::uint8_t>(commands.begin(), commands.end()));
  return testing::Run("env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=" + lang + " " + program + " < " + dir +
                          "/in.txt",
                      output);
}

TEST(ConsoleLanguage, JapaneseLocalePrintsJapaneseMessages) {
  const std::string unknown_ja = ShippedText("ja", text::kConsoleUnknownCommand);
  const std::string unknown_en = ShippedText("en", text::kConsoleUnknownCommand);
  ASSERT_FALSE(unknown_ja.empty());
  ASSERT_NE(unknown_ja, unknown_en);
  std::string output;
  EXPECT_EQ(RunIn(TIDEMARK_EDIT_PROGRAM, "ja_JP.UTF-8", "frobnicate\n", &output), 1);
  EXPECT_NE(output.find(unknown_ja + "frobnicate"), std::string::npos) << output;
  EXPECT_EQ(output.find(unknown_en), std::string::npos) << output;

  // An engine error (the file cannot be opened) in Japanese too, and the
  // help descriptions.
  TextCatalogue ja;
  ASSERT_EQ(ja.LoadFile(std::string(std::getenv("TIDEMARK_SOURCE_DIR")) + "/UIText/ja.txt", "UTF-8"), err::kOk);
  EXPECT_EQ(RunIn(TIDEMARK_EDIT_PROGRAM, "ja_JP.UTF-8", "onerror continue\nopen /nonexistent/x.wav\nhelp cut\n",
                  &output),
            1);
  EXPECT_NE(output.find(DescribeError(err::kCannotOpen, ja).substr(0, 12)), std::string::npos) << output;
  EXPECT_NE(output.find(std::string(ja.Text(text::kKeyDescCut))), std::string::npos) << output;

  EXPECT_EQ(RunIn(TIDEMARK_EDIT_PROGRAM, "en_GB.UTF-8", "frobnicate\n", &output), 1);
  EXPECT_NE(output.find(unknown_en + "frobnicate"), std::string::npos) << output;
}

// Every command's help describes that command: in both shipped languages no
// two commands share a description, and none is empty.
TEST(ConsoleLanguage, EveryCommandHelpHasItsOwnText) {
  std::string commands;
  for (const console::Command& c : console::Commands()) commands += "help " + std::string(c.name) + "\n";
  for (const char* lang : {"en_GB.UTF-8", "ja_JP.UTF-8"}) {
    std::string output;
    ASSERT_EQ(RunIn(TIDEMARK_EDIT_PROGRAM, lang, commands, &output), 0) << lang << output;
    std::map<std::string, std::string> owner;  // description -> command
    for (const console::Command& c : console::Commands()) {
      const std::string usage(console::HelpFor(c.name).usage);
      ASSERT_FALSE(usage.empty()) << c.name;
      const std::size_t at = output.find(usage + "\n  ");
      ASSERT_NE(at, std::string::npos) << lang << " " << c.name;
      const std::size_t from = at + usage.size() + 3;
      const std::string description = output.substr(from, output.find('\n', from) - from);
      EXPECT_FALSE(description.empty()) << lang << " " << c.name;
      const auto [it, fresh] = owner.emplace(description, std::string(c.name));
      EXPECT_TRUE(fresh) << lang << ": " << c.name << " borrows the help of " << it->second << ": " << description;
    }
  }
}

TEST(ConsoleLanguage, JapaneseWithoutAJapaneseFileGetsNoTexts) {
  // A copy of the program with English only beside it.
  const std::string dir = testing::MakeTempDir("console_lang_copy");
  const fs::path program = TIDEMARK_EDIT_PROGRAM;
  fs::create_directories(dir + "/UIText");
  fs::copy_file(program, dir + "/tidemark");
  fs::copy_file(program.parent_path() / "UIText" / "en.txt", dir + "/UIText/en.txt");
  const std::string unknown_en = ShippedText("en", text::kConsoleUnknownCommand);
  std::string output;
  EXPECT_EQ(RunIn(dir + "/tidemark", "ja_JP.UTF-8", "frobnicate\n", &output), 1);
  EXPECT_EQ(output.find(unknown_en), std::string::npos) << "English must not stand in for Japanese: " << output;
  EXPECT_NE(output.find("error: "), std::string::npos) << output;  // the failure is still reported
  // Another language falls back to English.
  EXPECT_EQ(RunIn(dir + "/tidemark", "de_DE.UTF-8", "frobnicate\n", &output), 1);
  EXPECT_NE(output.find(unknown_en + "frobnicate"), std::string::npos) << output;
}

}  // namespace
}  // namespace tidemark
