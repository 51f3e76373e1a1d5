// The console's stand-in for the settings dialogs: blocks written in
// hexadecimal, and FIELD=VALUE pairs applied to a block, over a layout of
// the test's own that has every kind of field.
#include <gtest/gtest.h>

#include "app/console_effect_dialog.h"
#include "app/settings_effect_options.h"
#include "tests/app/console_effect_test_util.h"

namespace tidemark {
namespace {

using console::CommandBlock;
using console::SettingsRefusal;
using testing::kTestFields;
using testing::kTestLayout;

struct HexCase {
  std::string_view text;
  std::optional<std::vector<std::uint8_t>> bytes;
};

TEST(ConsoleEffectDialog, BlockHexParsesPairsOfDigitsAndRefusesTheRest) {
  const HexCase cases[] = {
      {"", std::vector<std::uint8_t>{}},
      {"00ff", std::vector<std::uint8_t>{0x00, 0xFF}},
      {"0A0b", std::vector<std::uint8_t>{0x0A, 0x0B}},
      {"d007", std::vector<std::uint8_t>{0xD0, 0x07}},
      {"0a1", std::nullopt},   // odd count
      {"0", std::nullopt},
      {"zz", std::nullopt},    // not a digit
      {"0x12", std::nullopt},
      {"12 4", std::nullopt},
      {"+1", std::nullopt},
      {"1g", std::nullopt},
  };
  for (const HexCase& c : cases) {
    const std::optional<SettingsBlock> block = console::ParseBlockHex(c.text);
    ASSERT_EQ(block.has_value(), c.bytes.has_value()) << c.text;
    if (block) {
      EXPECT_EQ(block->bytes, *c.bytes) << c.text;
    }
  }
}

// Pair lists applied to the defaults and the stored values of amount,
// mode, loud and level they give. The refusals are in the console's table.
TEST(ConsoleEffectDialog, PairsSetFieldsInDisplayUnits) {
  constexpr double kLevel = 0.25f;  // the default
  const std::pair<std::vector<std::string>, std::array<double, 4>> cases[] = {
      {{}, {50, 0, 0, kLevel}},
      {{"amount=120"}, {120, 0, 0, kLevel}},
      {{"AMOUNT=7"}, {7, 0, 0, kLevel}},      // names in any case
      {{"amount=12.5"}, {13, 0, 0, kLevel}},  // half away from zero
      {{"amount=+0.49"}, {0, 0, 0, kLevel}},
      {{"mode=fancy"}, {50, 1, 0, kLevel}},
      {{"mode=PLAIN"}, {50, 0, 0, kLevel}},
      {{"mode=1"}, {50, 1, 0, kLevel}},
      {{"loud=on"}, {50, 0, 1, kLevel}},
      {{"loud=yes", "loud=off"}, {50, 0, 0, kLevel}},  // the later pair wins
      {{"level=-0.75"}, {50, 0, 0, -0.75}},
      {{"level=0.1"}, {50, 0, 0, 0.1f}},
      {{"amount=200", "mode=fancy", "loud=1", "level=1"}, {200, 1, 1, 1}},
  };
  for (const auto& [pairs, stored] : cases) {
    SettingsRefusal refusal;
    const std::optional<SettingsBlock> block = CommandBlock(&kTestLayout, {}, 44100, pairs, &refusal);
    ASSERT_TRUE(block) << (pairs.empty() ? "" : pairs[0]) << refusal.ranges;
    ASSERT_EQ(block->size(), kTestLayout.size);
    for (std::size_t f = 0; f < kTestFields.size(); ++f)
      EXPECT_EQ(GetField(kTestFields[f], block->bytes), stored[f]) << kTestFields[f].name;
  }
  // A refusal names the argument and the error.
  SettingsRefusal refusal;
  EXPECT_FALSE(CommandBlock(&kTestLayout, {}, 44100, {"amount=10", "amount=999"}, &refusal));
  EXPECT_EQ(refusal.argument, "amount=999");
  EXPECT_EQ(refusal.error, console::kSettingOutOfRange);
}

// The base block is loaded as a preset is: clamped, short blocks completed
// from the defaults, longer ones kept whole; pairs apply on top.
TEST(ConsoleEffectDialog, BaseBlockIsLoadedAsAPresetBeforeThePairs) {
  struct BaseCase {
    std::vector<std::uint8_t> base;
    std::vector<std::string> pairs;
    std::vector<std::uint8_t> expected;
  };
  const BaseCase cases[] = {
      // amount 0x0190 = 400 clamps to 200 (0x00C8); mode 7 clamps to 1; the
      // flag keeps its byte; level +3.0 clamps to 1.0 (0x3F800000).
      {{0x90, 0x01, 0x07, 0x05, 0x00, 0x00, 0x40, 0x40}, {}, {0xC8, 0x00, 0x01, 0x05, 0x00, 0x00, 0x80, 0x3F}},
      // The fields a 3-byte block holds whole come from it, the rest are defaults.
      {{0x0A, 0x00, 0x01}, {}, {0x0A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x80, 0x3E}},
      {{0x0A}, {}, {0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3E}},
      // Extra bytes stay as they were.
      {{0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAB, 0xCD}, {"mode=fancy"},
       {0x0A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAB, 0xCD}},
  };
  for (const BaseCase& c : cases) {
    SettingsRefusal refusal;
    const auto block = CommandBlock(&kTestLayout, SettingsBlock{c.base}, 44100, c.pairs, &refusal);
    ASSERT_TRUE(block) << refusal.ranges;
    EXPECT_EQ(block->bytes, c.expected);
  }
}

TEST(ConsoleEffectDialog, AnEffectWithoutSettingsTakesNoPairs) {
  SettingsRefusal refusal;
  EXPECT_EQ(CommandBlock(nullptr, {}, 44100, {}, &refusal), SettingsBlock{});
  EXPECT_FALSE(CommandBlock(nullptr, {}, 44100, {"gain=1"}, &refusal));
  EXPECT_EQ(refusal.argument, "gain=1");
  EXPECT_EQ(refusal.error, console::kSettingsNotValid);
}

// A field whose upper end follows the document's rate is judged at that rate.
TEST(ConsoleEffectDialog, RateDependentRangesUseTheDocumentRate) {
  static constexpr SettingsField kFrequency[] = {
      {.name = "frequency", .type = FieldType::kI16, .offset = 0, .min = 1, .max = 20000, .def = 1000,
       .unit = kUnitHz, .max_for_rate = [](std::uint32_t rate) { return std::min(20000.0, rate * 0.5); }},
  };
  const SettingsLayout layout{2, kFrequency};
  SettingsRefusal refusal;
  EXPECT_TRUE(CommandBlock(&layout, {}, 44100, {"frequency=20000"}, &refusal));
  EXPECT_FALSE(CommandBlock(&layout, {}, 32000, {"frequency=20000"}, &refusal));
  EXPECT_NE(refusal.ranges.find("16000"), std::string::npos) << refusal.ranges;
  // A stored value above the rate's limit is clamped to it on load.
  const auto block = CommandBlock(&layout, SettingsBlock{{0x20, 0x4E}}, 32000, {}, &refusal);
  ASSERT_TRUE(block);
  EXPECT_EQ(GetField(kFrequency[0], block->bytes), 16000);
}

TEST(SettingsEffectOptions, WorkingFormatAndWeightingFromTheSettings) {
  const std::pair<std::int32_t, SampleCode> bits[] = {
      {32, sample_code::kFloat}, {24, sample_code::kS24}, {16, sample_code::kS16},
      {8, sample_code::kFloat},  {0, sample_code::kFloat}, {-24, sample_code::kFloat},
  };
  for (const auto& [b, code] : bits) EXPECT_EQ(EffectWorkingCodeForBits(b), code) << b;
  const std::pair<char, char> weightings[] = {{'0', '0'}, {'A', 'A'}, {'d', 'D'}, {'E', '0'}, {'x', '0'}, {'\0', '0'}};
  for (const auto& [stored, used] : weightings) {
    Settings settings;
    settings.weighting_filter = stored;
    EXPECT_EQ(StatisticsWeighting(settings), used) << int(stored);
  }
}

}  // namespace
}  // namespace tidemark
