// The console's effect commands through a session: the list of effects,
// Volume against the decibel rule, blocks and fields of every registered
// effect round-tripping through what the console prints, help effect, one
// table of the refusals and notices (which change nothing), mono made stereo.
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <utility>

#include <gtest/gtest.h>

#include "app/console_effect_commands.h"
#include "app/console_effect_dialog.h"
#include "config/error_messages.h"
#include "config/settings.h"
#include "config/settings_folder.h"
#include "config/text_catalogue.h"
#include "core/undo/undo_history.h"
#include "effects/framework/effect_registry.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark {
namespace {

using console::Result;
using testing::ConsoleRun;

CEffEntry& Volume() {
  CEffEntry* entry = EffectRegistry::FindByKey("Volume");
  EXPECT_TRUE(entry);
  return *entry;
}

using testing::ConsoleEffect;

TEST_F(ConsoleEffect, EffectsListsEveryRowWithWhatItOffers) {
  // An entry of the test's own fills a row this build may lack.
  testing::TestEntry local(323, false);
  const console::ScopedConsoleEffect in_place(local);
  const std::vector<std::string> lines = testing::Lines(Done("effects"));
  ASSERT_EQ(lines.size(), kBuiltInEffectCount);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const EffectDescription& row = EffectDescriptions()[i];
    const std::string& line = lines[i];
    char head[64];
    std::snprintf(head, sizeof head, "%3u  %s ", row.command, std::string(row.key_name).c_str());
    EXPECT_EQ(line.rfind(head, 0), 0u) << line;
    EXPECT_NE(line.find("ch " + std::to_string(row.channel_support) + " "), std::string::npos) << line;
    EXPECT_NE(line.find(row.chainable ? "chainable yes" : "chainable no"), std::string::npos) << line;
    EXPECT_NE(line.find(row.has_dialog ? "settings yes" : "settings no"), std::string::npos) << line;
    const CEffEntry* entry = console::ConsoleEffectEntry(row);
    EXPECT_EQ(line.find("(not available yet)") != std::string::npos, entry == nullptr) << line;
    if (entry) {
      EXPECT_NE(line.find("  " + entry->GetDisplayName()), std::string::npos) << line;
    }
  }
  EXPECT_EQ(lines[323 - kFirstEffectCommand].find("(not available yet)"), std::string::npos);
}

// Volume scales the selected channels by 10^(dB / 20), the dB rounded to
// the block's 0.01 dB, as one undo step named after the effect.
TEST_F(ConsoleEffect, VolumeScalesByTheDecibelFactor) {
  struct Case {
    std::string command;
    std::uint32_t mask;  // channels the command acts on
    double db;           // the level the block holds
  };
  const Case cases[] = {
      {"effect volume gain=-3", 3, -3.0},
      {"effect Volume gain=6.02", 3, 6.02},
      {"effect VOLUME gain=13", 3, 13.0},
      {"effect volume gain=-13", 3, -13.0},
      {"effect volume gain=-0.005", 3, -0.01},  // half away from zero
      {"effect 301 gain=2.5", 3, 2.5},
      {"effect volume block=2cfe", 3, -4.68},   // -468
      {"effect volume block=d007", 3, 13.0},    // 2000 is loaded as 1300
      {"effect volume gain=-6 block=0000", 3, -6.0},
  };
  for (const std::uint32_t mask : {3u, 1u, 2u}) {
    for (const Case& c : cases) {
      const std::vector<float> before = testing::RandomSamples(2 * 3000, 11, 0.5f);
      SoundDocument& doc = Adopt(before, 2);
      testing::Select(doc, 500, 2500);
      Done("channels " + std::to_string(mask));
      Done(c.command);
      const float factor = static_cast<float>(std::pow(10.0, c.db / 20.0));
      const std::vector<float> after = testing::ReadAll(doc);
      ASSERT_EQ(after.size(), before.size());
      for (std::size_t i = 0; i < after.size(); ++i) {
        const std::size_t frame = i / 2, channel = i % 2;
        const bool changed = frame >= 500 && frame < 2500 && (mask & (1u << channel));
        const float want = changed ? before[i] * factor : before[i];
        ASSERT_NEAR(after[i], want, 1e-6 * std::fabs(want)) << c.command << " mask " << mask << " at " << i;
      }
      ASSERT_EQ(doc.history.size(), 1u) << c.command;
      std::string name;
      ASSERT_TRUE(doc.history.undo_record()->GetName(&name).ok());
      EXPECT_EQ(name, Volume().GetDisplayName());
      Done("undo");
      EXPECT_EQ(testing::ReadAll(doc), before) << c.command;
      Done("close!");
    }
  }
}

// A probe value for `field`: its minimum, maximum, default or one between.
double Probe(const SettingsField& field, int kind, std::uint32_t rate) {
  const double max = FieldMax(field, rate);
  switch (kind) {
    case 0: return field.min;
    case 1: return max;
    case 2: return field.def;
    default: {
      const double between = field.min + (max - field.min) * 0.3719;
      return field.type == FieldType::kF32 ? between : std::round(between);
    }
  }
}

// Every field of every registered effect: a block of probe values goes in
// with block=, help prints its fields, and those printed values, given as
// FIELD=VALUE on top of the defaults, give back the same block byte for
// byte. This covers every effect the build registers.
TEST_F(ConsoleEffect, EveryFieldOfEveryRegisteredLayoutRoundTrips) {
  constexpr std::uint32_t kRate = 44100;
  int layouts = 0;
  for (CEffEntry* entry : EffectRegistry::Entries()) {
    if (!entry || !entry->GetSettingsLayout()) continue;
    ++layouts;
    const SettingsLayout& layout = *entry->GetSettingsLayout();
    const std::string key(entry->GetKeyName());
    const std::uint16_t channels = ChannelsSupported(entry->GetChannelSupport(), 2) ? 2 : 1;
    SoundDocument& doc = Adopt(testing::RandomSamples(std::size_t{channels} * 64, 5, 0.25f), channels, kRate);
    for (int kind = 0; kind < 4; ++kind) {
      SettingsBlock block = DefaultBlock(layout);
      for (const SettingsField& field : layout.fields) PutField(field, Probe(field, kind, kRate), block.bytes);
      testing::SelectAll(doc);
      Done("effect " + key + " block=" + console::BlockHex(block));
      const SettingsBlock kept = entry->GetSettingsBlock();
      EXPECT_EQ(kept, LoadBlock(layout, block, kRate)) << key << " probe " << kind;

      const std::string help = Done("help effect " + key);
      std::string pairs;
      for (const SettingsField& field : layout.fields) {
        const std::optional<std::string> value = testing::CurrentValue(help, field.name);
        ASSERT_TRUE(value) << key << "." << field.name << "\n" << help;
        EXPECT_EQ(*value, FormatFieldValue(field, GetField(field, kept.bytes))) << key << "." << field.name;
        pairs.append(" ").append(field.name).append("=").append(*value);
      }
      testing::SelectAll(doc);
      Done("effect " + key + " block=");
      EXPECT_EQ(entry->GetSettingsBlock(), DefaultBlock(layout)) << key;
      testing::SelectAll(doc);
      Done("effect " + key + pairs);
      EXPECT_EQ(console::BlockHex(entry->GetSettingsBlock()), console::BlockHex(kept)) << key << pairs;
    }
    Done("close!");
  }
  EXPECT_GT(layouts, 0);
}

// help effect NAME shows every field in block order with its offset, type,
// unit, range, default and the current value, then the current block.
TEST_F(ConsoleEffect, HelpEffectListsEveryFieldInBlockOrder) {
  testing::TestEntry local(304);
  const console::ScopedConsoleEffect in_place(local);
  std::vector<const CEffEntry*> entries{&local};
  // The local entry stands in for the registered one of its number.
  for (const CEffEntry* entry : EffectRegistry::Entries())
    if (entry && entry->GetCommandId() != local.GetCommandId()) entries.push_back(entry);
  for (const CEffEntry* entry : entries) {
    const std::string help = Done("help effect " + std::string(entry->GetKeyName()));
    const std::vector<std::string> lines = testing::Lines(help);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "effect " + std::string(entry->GetKeyName()) + " [block=HEX] [FIELD=VALUE ...]");
    const SettingsLayout* layout = entry->GetSettingsLayout();
    if (!layout) {
      EXPECT_EQ(help.find("\n  block="), std::string::npos) << help;
      continue;
    }
    std::size_t at = 0;
    for (const SettingsField& field : layout->fields) {
      const std::string head = "\n  " + std::string(field.name) + "  offset " + std::to_string(field.offset) + "  ";
      const std::size_t found = help.find(head, at);
      ASSERT_NE(found, std::string::npos) << entry->GetKeyName() << "." << field.name << "\n" << help;
      at = found + head.size();
      const std::string line = help.substr(found + 1, help.find('\n', found + 1) - found - 1);
      EXPECT_NE(line.find("  default " + FormatFieldValue(field, field.def) + "  "), std::string::npos) << line;
      if (!field.flag && field.words.empty()) {
        // Shown low to high: the hiss reduction's "reduction" is stored
        // negated, as 0..30 dB.
        double low = field.min, high = FieldMax(field, 44100);
        if (field.unit.scale < 0) std::swap(low, high);
        EXPECT_LE(std::stod(FormatFieldValue(field, low)), std::stod(FormatFieldValue(field, high))) << line;
        EXPECT_NE(line.find("  range " + FormatFieldValue(field, low) + ".." + FormatFieldValue(field, high) + "  "),
                  std::string::npos)
            << line;
      }
    }
    EXPECT_NE(help.find("  block=", at), std::string::npos) << help;
  }
  EXPECT_NE(Done("help effect").find("effect NAME"), std::string::npos);
  EXPECT_NE(Done("help").find("  effect NAME"), std::string::npos);
  // The test entry's four kinds of field, as written.
  const std::string help = Done("help effect fade");
  EXPECT_NE(help.find("  amount  offset 0  i16  unit %  range 0..200  default 50  current 50\n"), std::string::npos)
      << help;
  EXPECT_NE(help.find("  mode  offset 2  u8  unit -  range plain|fancy  default plain  current plain\n"),
            std::string::npos);
  EXPECT_NE(help.find("  loud  offset 3  u8  unit -  range off|on  default off  current off\n"), std::string::npos);
  EXPECT_NE(help.find("  level  offset 4  f32  unit -  range -1..1  default 0.25  current 0.25\n"),
            std::string::npos);
  EXPECT_NE(help.find("  block=32000000" "0000803E  (8 bytes, ranges at 44100 Hz)\n"), std::string::npos) << help;
}

// Every refusal and notice of the effect commands: malformed, unknown or
// out-of-range forms, effects a document's channel count rules out, empty
// selections. Each says what is wrong (stats too) and nothing runs: samples,
// channels, history and the last-used blocks stay as they were.
TEST_F(ConsoleEffect, RefusalsAndNoticesChangeNothing) {
  enum class Doc { kStereo, kNothingSelected, kMono, kThreeChannels };
  struct Case {
    std::string line;
    std::vector<std::string> says;  // pieces of the message, the notice for an empty selection
    Doc doc = Doc::kStereo;
  };
  testing::TestEntry fields(304);               // "fade": the test's layout with every kind of field
  testing::TestEntry without_settings(323, false);  // "channelexchange": stereo only, no settings
  const console::ScopedConsoleEffect fields_in_place(fields);
  const console::ScopedConsoleEffect without_in_place(without_settings);
  const auto out_of_range = [](const std::string& argument, std::size_t field) {
    return std::vector<std::string>{argument + ": " + DescribeError(console::kSettingOutOfRange),
                                    console::FieldRangeText(testing::kTestFields[field], 44100)};
  };
  const auto not_valid = [](const std::string& argument) {
    return std::vector<std::string>{argument + ": " + DescribeError(console::kSettingsNotValid)};
  };
  const std::string notice(UiText(text::kConsoleNothingSelected));
  std::vector<Case> cases = {
      {"effect", {"usage: effect"}},
      {"effect nosuch", {"effect nosuch"}},
      {"effect 299", {"effect 299"}},
      {"effect 328", {"effect 328"}},  // plug-in numbers name nothing here
      {"effect 527", {"effect 527"}},
      {"effect -301", {"effect -301"}},
      {"help effect nosuch", {"effect nosuch"}},
      {"help effect 528", {"effect 528"}},
      {"help volume now", {"usage: help"}},
      // Missing values, values outside the range (after rounding half away
      // from zero), malformed ones, unknown fields (every field named).
      {"effect fade amount", out_of_range("amount", 0)},
      {"effect fade amount=", out_of_range("amount=", 0)},
      {"effect fade mode=", out_of_range("mode=", 1)},
      {"effect fade amount=201", out_of_range("amount=201", 0)},
      {"effect fade amount=-1", out_of_range("amount=-1", 0)},
      {"effect fade amount=200.5", out_of_range("amount=200.5", 0)},
      {"effect fade level=1.5", out_of_range("level=1.5", 3)},
      {"effect fade mode=2", out_of_range("mode=2", 1)},
      {"effect fade amount=abc", out_of_range("amount=abc", 0)},
      {"effect fade amount=1e", out_of_range("amount=1e", 0)},
      {"effect fade amount=nan", out_of_range("amount=nan", 0)},
      {"effect fade amount=inf", out_of_range("amount=inf", 0)},
      {"effect fade level=-inf", out_of_range("level=-inf", 3)},
      {"effect fade amount=1,5", out_of_range("amount=1,5", 0)},
      {"effect fade amount=3dB", out_of_range("amount=3dB", 0)},
      {"effect fade mode=weird", out_of_range("mode=weird", 1)},
      {"effect fade loud=maybe", out_of_range("loud=maybe", 2)},
      {"effect fade bogus=1", out_of_range("bogus=1", 0)},
      {"effect fade =5", out_of_range("=5", 3)},
      // The first bad pair refuses the whole list; a later pair of the same
      // field is judged too.
      {"effect fade amount=10 amount=999 mode=fancy", out_of_range("amount=999", 0)},
      {"effect volume gain=1 gain=99", {"gain=99: ", console::FieldRangeText(Volume().GetSettingsLayout()->fields[0], 44100)}},
      // Blocks: odd hex, not hex, a prefix, twice.
      {"effect volume block=0a1", not_valid("block=0a1")},
      {"effect volume block=zz", not_valid("block=zz")},
      {"effect volume block=0x0000", {"block=0x0000:"}},
      {"effect volume block=0000 block=0000", {"usage: effect"}},
      {"effect volume preview -2", {"\"-2\""}},
      {"effect volume gain=-3 preview 1 preview", {"usage: effect"}},
      // An effect without settings takes no block and no field.
      {"effect 323 block=00", not_valid("block=00")},
      {"effect channelexchange amount=1", not_valid("amount=1")},
      // Channel counts: stereo only on mono; nothing for three channels.
      {"effect channelexchange", {without_settings.GetDisplayName() + ": " + DescribeError(Error(48))}, Doc::kMono},
      {"effect volume gain=-3", {DescribeError(Error(52))}, Doc::kThreeChannels},
      {"effect 323", {DescribeError(Error(52))}, Doc::kThreeChannels},
      {"stats", {DescribeError(Error(52))}, Doc::kThreeChannels},
      // Only the first character of WEIGHTING counts: 0 or a curve's letter.
      {"stats z", {"usage: stats"}},
      {"stats ?", {"usage: stats"}},
      {"stats E", {"usage: stats"}},
      {"stats 1", {"usage: stats"}},
      {"stats \xC3\xA9", {"usage: stats"}},
      {"stats 0 0", {"usage: stats"}},
      // An empty selection is the silent notice, done.
      {"effect volume gain=-3", {notice}, Doc::kNothingSelected},
      {"effect volume block=2cfe", {notice}, Doc::kNothingSelected},
      {"effect fade amount=10", {notice}, Doc::kNothingSelected},
      {"stats", {notice}, Doc::kNothingSelected},
  };
  // A row this build has no entry for (none once every effect exists).
  for (const EffectDescription& row : EffectDescriptions()) {
    if (console::ConsoleEffectEntry(row)) continue;
    cases.push_back({"effect " + std::string(row.key_name), {}});
    cases.push_back({"effect " + std::to_string(row.command) + " block=00", {}});
    break;
  }
  const SettingsBlock volume_block{{0x9C, 0xFF}};  // -100
  const SettingsBlock fields_block = DefaultBlock(testing::kTestLayout);
  for (const Case& c : cases) {
    const std::uint16_t channels = c.doc == Doc::kMono ? 1 : 2;
    const std::vector<float> samples = testing::RandomSamples(std::size_t{channels} * 500, 9, 0.5f);
    SoundDocument& doc = Adopt(samples, channels);
    if (c.doc == Doc::kNothingSelected) testing::Select(doc, 50, 50);
    // The core makes no three-channel document, so a stereo one claims a
    // third channel while the command looks at it (it must refuse before
    // reading a sample).
    if (c.doc == Doc::kThreeChannels) doc.channels = 3;
    Volume().GetSettingsStore().Set(volume_block);
    fields.GetSettingsStore().Set(fields_block);
    const Result result = Execute(c.line);
    doc.channels = channels;
    const std::string message = c.doc == Doc::kNothingSelected ? Out() : Err();
    if (c.doc == Doc::kNothingSelected) {
      EXPECT_EQ(result, Result::kDone) << c.line;
      EXPECT_EQ(Err(), "") << c.line;
    } else {
      EXPECT_EQ(result, Result::kFailed) << c.line;
      EXPECT_EQ(message.rfind("error: ", 0), 0u) << c.line << ": " << message;
      EXPECT_EQ(Out(), "") << c.line;
    }
    for (const std::string& piece : c.says) EXPECT_NE(message.find(piece), std::string::npos) << c.line << ": " << message;
    EXPECT_EQ(testing::ReadAll(doc), samples) << c.line;
    EXPECT_TRUE(doc.history.empty()) << c.line;
    EXPECT_EQ(Volume().GetSettingsBlock(), volume_block) << c.line;
    EXPECT_EQ(fields.GetSettingsBlock(), fields_block) << c.line;
    Done("close!");
  }
  // The stereo-only effect runs on a stereo document (it halves the samples).
  const std::vector<float> stereo = testing::RandomSamples(2 * 300, 3, 0.5f);
  SoundDocument& two = Adopt(stereo, 2);
  Done("effect 323");
  const std::vector<float> halved = testing::ReadAll(two);
  for (std::size_t i = 0; i < stereo.size(); ++i) ASSERT_EQ(halved[i], stereo[i] * 0.5f) << i;
}

TEST_F(ConsoleEffect, MonoSelectionBecomesStereoWhenTheEffectSaysSo) {
  testing::TestEntry to_stereo(304, true, true);  // channel support 7
  const console::ScopedConsoleEffect in_place(to_stereo);
  const std::vector<float> mono = testing::RandomSamples(1000, 8, 0.5f);
  SoundDocument& doc = Adopt(mono, 1);
  testing::Select(doc, 100, 600);
  Done("effect fade amount=25");
  ASSERT_EQ(doc.channels, 2);
  const std::vector<float> after = testing::ReadAll(doc);
  for (std::size_t f = 0; f < mono.size(); ++f) {
    const float want = f >= 100 && f < 600 ? mono[f] * 0.25f : mono[f];
    ASSERT_EQ(after[2 * f], want) << f;
    ASSERT_EQ(after[2 * f + 1], want) << f;
  }
  EXPECT_EQ(doc.history.size(), 1u);
}

// The settings' temporary sample bits decide the working format effect
// output is stored in.
TEST_F(ConsoleEffect, WorkingFormatFollowsTheTemporarySampleBits) {
  testing::TestEntry local(304);
  const console::ScopedConsoleEffect in_place(local);
  const std::string ini = SettingsFolder() + "/tide.ini";
  const auto on_16_bit_grid = [&](bool bits16) {
    Settings settings;
    settings.temporary_sample_bits = bits16 ? 16 : 32;
    settings.weighting_filter = 'c';
    EXPECT_EQ(SaveSettings(settings), 0u);
    const console::StartupSettings startup = console::LoadStartupSettings();
    std::remove(ini.c_str());
    EXPECT_EQ(startup.weighting, 'C');
    SoundDocument& doc = Adopt(testing::RandomSamples(2 * 400, 21, 0.5f), 2);
    Done("effect fade amount=33");
    std::size_t on_grid = 0;
    for (const float x : testing::ReadAll(doc)) on_grid += std::nearbyint(double(x) * 32768) == double(x) * 32768;
    Done("close!");
    return on_grid;
  };
  EXPECT_EQ(on_16_bit_grid(true), 2u * 400);
  EXPECT_LT(on_16_bit_grid(false), 40u);
  (void)console::LoadStartupSettings();  // the built-in settings again
}

}  // namespace
}  // namespace tidemark
