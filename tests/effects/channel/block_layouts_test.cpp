// The settings blocks of every effect: sizes, field offsets and defaults
// written out byte for byte, every field of every layout clamped on load,
// and the console's names and units mapping to the stored values and back.
#include <bit>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "effects/channel/channel_exchange.h"
#include "effects/channel/mid_side.h"
#include "effects/channel/mono_output.h"
#include "effects/channel/pan.h"
#include "effects/framework/effect_registry.h"
#include "effects/generators/noise_generator.h"
#include "effects/generators/sine_generator.h"
#include "effects/level/normalize.h"
#include "effects/level/offset.h"
#include "effects/level/volume.h"
#include "effects/time/delay.h"
#include "effects/time/fade.h"
#include "platform/error_numbers.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

const SettingsLayout& LayoutOf(CEffEntry& entry) {
  const SettingsLayout* layout = entry.GetSettingsLayout();
  EXPECT_NE(layout, nullptr) << entry.GetKeyName();
  static const SettingsLayout kNone{};
  return layout ? *layout : kNone;
}

struct DefaultsCase {
  CEffEntry& (*entry)();
  BlockBytes bytes;
};

class BlockDefaults : public ::testing::TestWithParam<DefaultsCase> {};

TEST_P(BlockDefaults, SizeOffsetsAndDefaultsByteForByte) {
  CEffEntry& entry = GetParam().entry();
  const SettingsLayout& layout = LayoutOf(entry);
  EXPECT_EQ(layout.size, GetParam().bytes.bytes().size());
  EXPECT_EQ(DefaultBlock(layout).bytes, GetParam().bytes.bytes());
  // Reserved bytes are zeroed on load.
  SettingsBlock dirty = GetParam().bytes;
  std::vector<bool> covered(layout.size, false);
  for (const SettingsField& field : layout.fields)
    for (std::size_t i = 0; i < (field.type == FieldType::kF32 ? 4u : field.type == FieldType::kI16 ? 2u : 1u); ++i)
      covered.at(field.offset + i) = true;
  for (std::size_t i = 0; i < layout.size; ++i)
    if (!covered[i]) dirty.bytes[i] = 0xA5;
  EXPECT_EQ(LoadBlock(layout, dirty, 44100).bytes, GetParam().bytes.bytes());
}

INSTANTIATE_TEST_SUITE_P(
    Effects, BlockDefaults,
    ::testing::Values(
        DefaultsCase{NS_EFFECT_FADE::Entry, BlockBytes(2).I16(0, 0)},
        DefaultsCase{NS_EFFECT_PAN::Entry, BlockBytes(8).I16(0, 45).I16(2, 100).I16(4, 24).U8(6, 0)},
        DefaultsCase{NS_EFFECT_MONO::Entry, BlockBytes(4).I16(0, 0).I16(2, -600)},
        DefaultsCase{NS_EFFECT_DELAY::Entry, BlockBytes(8).I16(0, 400).I16(2, -300).I16(4, 0).U8(6, 0)},
        DefaultsCase{NS_EFFECT_GENSINE::Entry, BlockBytes(12).F32(0, 440.0f).I16(4, 50).I16(6, 0).I16(8, 440)},
        DefaultsCase{NS_EFFECT_GENNOISE::Entry, BlockBytes(4).I16(0, -2000)},
        DefaultsCase{NS_EFFECT_VOLUME::Entry, BlockBytes(2)},
        DefaultsCase{NS_EFFECT_MAXIMIZE::Entry, BlockBytes(10).I16(4, -1500).I16(6, -1500).U8(8, 1).U8(9, 1)},
        DefaultsCase{NS_EFFECT_OFFSET::Entry, BlockBytes(8)}));

TEST(BlockLayouts, EffectsWithoutSettingsHaveNoBlock) {
  EXPECT_EQ(NS_EFFECT_MIDSIDE::Entry().GetSettingsLayout(), nullptr);
  EXPECT_EQ(NS_EFFECT_CHXCHG::Entry().GetSettingsLayout(), nullptr);
}

// Every field of every registered layout, stored one at a time (the rest
// default) just outside its range, at its default, and for floats as NaN
// and infinities, at rates on both sides of the rate-bound maxima: it loads
// within its range (a flag keeps any byte) and the other fields keep their
// defaults.
TEST(BlockLayouts, EveryFieldLoadsWithinItsRange) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  int fields = 0;
  for (CEffEntry* entry : EffectRegistry::Entries()) {
    if (!entry || !entry->GetSettingsLayout()) continue;
    const SettingsLayout& layout = *entry->GetSettingsLayout();
    for (const SettingsField& field : layout.fields) {
      ++fields;
      for (const std::uint32_t rate : {8000u, 32000u, 44100u, 48000u}) {
        const double max = FieldMax(field, rate);
        std::vector<std::pair<double, double>> cases{{field.def, field.def}};  // stored, loaded
        if (field.flag) {
          cases.insert(cases.end(), {{9, 9}, {255, 255}});
        } else if (field.type == FieldType::kF32) {
          cases.insert(cases.end(), {{field.min - 0.5, field.min}, {max * 1.5 + 1, max},
                                     {std::numeric_limits<double>::quiet_NaN(), field.def}, {-kInf, field.min},
                                     {kInf, max}});
        } else {
          const double lowest = field.type == FieldType::kI16 ? -32768 : 0;
          const double highest = field.type == FieldType::kI16 ? 32767 : 255;
          for (const double stored : {field.min - 1, lowest, max + 1, highest})
            if (stored >= lowest && stored <= highest && (stored < field.min || stored > max))
              cases.emplace_back(stored, stored < field.min ? field.min : max);
        }
        for (const auto& [stored, loaded] : cases) {
          SettingsBlock block = DefaultBlock(layout);
          PutField(field, stored, block.bytes);
          const SettingsBlock got = LoadBlock(layout, block, rate);
          EXPECT_EQ(GetField(field, got.bytes), loaded)
              << entry->GetKeyName() << "." << field.name << "=" << stored << " at " << rate;
          for (const SettingsField& other : layout.fields) {
            if (&other == &field) continue;
            EXPECT_EQ(GetField(other, got.bytes), other.def) << other.name;
          }
        }
      }
    }
  }
  EXPECT_GE(fields, 20);
  // The one rate-bound maximum: half the rate, at most 20000 Hz.
  const SettingsField* freq = FindField(LayoutOf(NS_EFFECT_GENSINE::Entry()), "freq");
  ASSERT_NE(freq, nullptr);
  for (const auto& [rate, max] : {std::pair{32000u, 16000.0}, {44100u, 20000.0}, {48000u, 20000.0}})
    EXPECT_EQ(FieldMax(*freq, rate), max) << rate;
}

// What a dialog hands back is held to the layout as a stored block is: a
// short block is completed from the defaults (Normalize's test has the
// clamping).
TEST(BlockLayouts, DialogResultIsLoadedLikeAPreset) {
  DocumentPtr doc = MakeFloatDocument(std::vector<float>(10, 0.0f), 1, 32000);
  SelectAll(*doc);
  StubDialog dialog(SettingsBlock{{0xFA, 0x00, 0x05}});  // time 250 ms, then one stray byte
  ScopedSettingsDialog installed(&dialog);
  CEffEntry::SetupParamsPtr params;
  ASSERT_EQ(NS_EFFECT_DELAY::Entry().CreateSetupParams(doc.get(), 0, &params), 0u);
  SettingsBlock block;
  ASSERT_EQ(dynamic_cast<CEffEntry_Std&>(NS_EFFECT_DELAY::Entry()).Setup(*params, block), 0u);
  EXPECT_EQ(block.bytes, BlockBytes(8).I16(0, 250).I16(2, -300).I16(4, 0).U8(6, 0).bytes());
  const auto& delay = static_cast<const NS_EFFECT_DELAY::MySetupParams&>(*params);
  EXPECT_EQ(delay.time_ms, 250u);
  EXPECT_NEAR(delay.feedback, std::pow(10.0, -300 / 2000.0), 1e-6);
}

// The console's FIELD=VALUE forms: value text to stored value and back.
struct ConsoleCase {
  CEffEntry& (*entry)();
  const char* field;
  const char* text;
  double stored;
  const char* printed;
};

class ConsoleFields : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleFields, UnitsAndWordsToStoredAndBack) {
  const ConsoleCase& c = GetParam();
  const SettingsField* field = FindField(LayoutOf(c.entry()), c.field);
  ASSERT_NE(field, nullptr) << c.field;
  double stored = 0;
  std::string why;
  ASSERT_EQ(ParseFieldValue(*field, c.text, 44100, &stored, &why), 0u) << why;
  EXPECT_EQ(stored, c.stored);
  EXPECT_EQ(FormatFieldValue(*field, stored), c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ConsoleFields,
    ::testing::Values(ConsoleCase{NS_EFFECT_FADE::Entry, "shape", "OUT-IN", 2, "out-in"},
                      ConsoleCase{NS_EFFECT_FADE::Entry, "shape", "in-out", 3, "in-out"},
                      ConsoleCase{NS_EFFECT_PAN::Entry, "angle", "-90", -90, "-90"},
                      ConsoleCase{NS_EFFECT_PAN::Entry, "distance", "2.5", 250, "2.50"},
                      ConsoleCase{NS_EFFECT_PAN::Entry, "spacing", "0.235", 24, "0.24"},
                      ConsoleCase{NS_EFFECT_PAN::Entry, "widen", "on", 1, "on"},
                      ConsoleCase{NS_EFFECT_MONO::Entry, "source", "right", 2, "right"},
                      ConsoleCase{NS_EFFECT_MONO::Entry, "gain", "-6", -600, "-6.00"},
                      ConsoleCase{NS_EFFECT_DELAY::Entry, "time", "250", 250, "250"},
                      ConsoleCase{NS_EFFECT_DELAY::Entry, "feedback", "-1", -100, "-1.00"},
                      ConsoleCase{NS_EFFECT_DELAY::Entry, "output", "-12", -1200, "-12.00"},
                      ConsoleCase{NS_EFFECT_DELAY::Entry, "mode", "feedforward", 1, "feedforward"},
                      ConsoleCase{NS_EFFECT_GENSINE::Entry, "freq", "440.5", 440.5, "440.5"},
                      ConsoleCase{NS_EFFECT_GENSINE::Entry, "level", "100", 100, "100"},
                      ConsoleCase{NS_EFFECT_GENSINE::Entry, "display", "note", 1, "note"},
                      ConsoleCase{NS_EFFECT_GENSINE::Entry, "pitch", "432", 432, "432"},
                      ConsoleCase{NS_EFFECT_GENNOISE::Entry, "level", "-20", -2000, "-20.00"}));

// Every stored value the console prints parses back to itself: each value
// of the integer fields, a few of the float ones.
TEST(BlockLayouts, EveryConsoleValueOfEveryLayoutRoundTrips) {
  for (CEffEntry* entry : EffectRegistry::Entries()) {
    if (!entry || !entry->GetSettingsLayout()) continue;
    for (const SettingsField& field : entry->GetSettingsLayout()->fields) {
      const double max = FieldMax(field, 44100);
      std::vector<double> values{field.min, max, field.def};
      if (field.type == FieldType::kF32) {
        for (const double v : {0.1, -0.3333333432674408, 1e-7, 440.5, double(440.1f)})
          if (v >= field.min && v <= max) values.push_back(v);
      } else {
        // Every value the console can give: each one, or each step.
        const double step = field.step > 0 ? field.step : 1;
        for (double v = field.min + step; v < max; v += step) values.push_back(v);
      }
      for (const double stored : values) {
        const std::string text = FormatFieldValue(field, stored);
        double parsed = 0;
        std::string why;
        ASSERT_EQ(ParseFieldValue(field, text, 44100, &parsed, &why), 0u) << field.name << "=" << text << ": " << why;
        EXPECT_EQ(static_cast<float>(parsed), static_cast<float>(stored)) << entry->GetKeyName() << "." << field.name;
      }
    }
  }
}

}  // namespace
}  // namespace tidemark::testing
