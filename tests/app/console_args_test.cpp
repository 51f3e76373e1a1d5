#include "app/console_args.h"

#include <cmath>

#include <gtest/gtest.h>

namespace tidemark::console {
namespace {

using Words = std::vector<std::string>;

TEST(ConsoleArgs, SplitsOnBlanksAndGroupsQuotedWords) {
  EXPECT_EQ(SplitArguments("  select \t 1.5   2f "), (Words{"select", "1.5", "2f"}));
  EXPECT_EQ(SplitArguments(""), Words{});
  EXPECT_EQ(SplitArguments("   "), Words{});
  EXPECT_EQ(SplitArguments(R"(marker add 1 "two words" "")"), (Words{"marker", "add", "1", "two words", ""}));
  // \" and \\ inside quotes; other backslashes stay, and outside quotes a
  // backslash is an ordinary character.
  EXPECT_EQ(SplitArguments(R"(tag INAM "say \"hi\" \\ \n")"), (Words{"tag", "INAM", R"(say "hi" \ \n)"}));
  EXPECT_EQ(SplitArguments(R"(open C:\x\"y")"), (Words{"open", R"(C:\x\y)"}));
  // Quotes join with the letters beside them.
  EXPECT_EQ(SplitArguments(R"(ab"c d"e f)"), (Words{"abc de", "f"}));
  EXPECT_EQ(SplitArguments("a\r"), Words{"a"});
  EXPECT_FALSE(SplitArguments(R"(tag INAM "open)"));
  EXPECT_FALSE(SplitArguments(R"(tag "a \")"));
}

TEST(ConsoleArgs, PositionsInSecondsAndFramesClampToTheDocument) {
  const auto at = [](std::string_view text, std::uint32_t length = 100000) {
    const std::optional<Position> p = ParsePosition(text, 44100);
    EXPECT_TRUE(p) << text;
    return p ? ClampPosition(*p, length) : 0xDEADu;
  };
  // 1e-3 s is 44.1 frames and rounds to 44; just over half a frame rounds
  // up; past either end clamps to it.
  for (const auto& [text, frame] : {std::pair{"1.5", 66150u}, {"66150f", 66150u}, {"0", 0u}, {"+0.5", 22050u},
                                    {"1e-3", 44u}, {".5", 22050u}, {"0.0000113379", 1u}, {"3", 100000u},
                                    {"999999999999999999999999f", 100000u}, {"1e300", 100000u}, {"-1", 0u},
                                    {"-5f", 0u}})
    EXPECT_EQ(at(text), frame) << text;

  const std::optional<Position> neg = ParsePosition("-0.001", 44100);
  ASSERT_TRUE(neg);
  EXPECT_TRUE(neg->negative);
  EXPECT_TRUE(ParsePosition("-3f", 44100)->negative);
  EXPECT_FALSE(ParsePosition("0f", 44100)->negative);
  EXPECT_FALSE(ParsePosition("-0f", 44100)->negative);

  for (const char* bad : {"", "f", "1.5f", "12ff", "abc", "1,5", "1.5s", "inf", "-inf", "nan", "--1", "+-1",
                          "1e", "0x10", " 1", "1 ", "1-2", "-f", "e5"})
    EXPECT_FALSE(ParsePosition(bad, 44100)) << '"' << bad << '"';
}

TEST(ConsoleArgs, NumbersCountsAndDecibels) {
  EXPECT_EQ(ParseNumber("-2.25"), -2.25);
  EXPECT_EQ(ParseNumber("1E2"), 100.0);
  EXPECT_FALSE(ParseNumber("1e999"));  // not finite
  EXPECT_FALSE(ParseNumber("Infinity"));

  EXPECT_EQ(ParseCount("0", 10), 0u);
  EXPECT_EQ(ParseCount("10", 10), 10u);
  for (const char* bad : {"11", "-1", "+1", ""}) EXPECT_FALSE(ParseCount(bad, 10)) << bad;
  EXPECT_FALSE(ParseCount("99999999999999999999999", UINT64_MAX - 1));

  for (const auto& [text, factor] : {std::pair{"-inf", 0.0f}, {"0", 1.0f}, {"20", 10.0f}, {"-6.020599913279624", 0.5f}})
    EXPECT_EQ(ParseDecibels(text), factor) << text;
  EXPECT_NEAR(*ParseDecibels("3"), std::pow(10.0, 3.0 / 20), 1e-6);
  for (const char* bad : {"inf", "+inf", "nan", "", "6dB", "1000", "x"})
    EXPECT_FALSE(ParseDecibels(bad)) << bad;  // 1000 dB overflows a float factor
}

TEST(ConsoleArgs, FormatWords) {
  const auto w = ParseFormatWord("Wave16");
  ASSERT_TRUE(w);
  EXPECT_EQ(w->kind, PcmFileKind::Wave);
  EXPECT_EQ(w->code, sample_code::kS16);
  const auto f = ParseFormatWord("wavefloat");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->code, sample_code::kFloat);
  EXPECT_EQ(ParseFormatWord("AIFF24")->kind, PcmFileKind::AIFF);
  EXPECT_FALSE(ParseFormatWord(""));
  EXPECT_FALSE(ParseFormatWord("Wave17"));
  EXPECT_FALSE(ParseFormatWord("mp3"));
}

}  // namespace
}  // namespace tidemark::console
