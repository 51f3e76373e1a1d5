// The settings blocks of Volume, Normalize and Offset: their bytes at the
// documented offsets, every field clamped on load as a stored preset is,
// and every console value of every field parsing back to its stored value.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effects/framework/effect_entry.h"
#include "effects/framework/effect_registry.h"
#include "effects/framework/settings_block.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

using Bytes = std::vector<std::uint8_t>;

void I16(Bytes& b, std::int16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
}
void F32(Bytes& b, float v) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

Bytes VolumeBlock(std::int16_t gain) {
  Bytes b;
  I16(b, gain);
  return b;
}
Bytes NormalizeBlock(std::int16_t mode, std::int16_t peak, std::int16_t short_rms, std::int16_t rms,
                     std::uint8_t short_guard, std::uint8_t rms_guard) {
  Bytes b;
  for (std::int16_t v : {mode, peak, short_rms, rms}) I16(b, v);
  b.push_back(short_guard);
  b.push_back(rms_guard);
  return b;
}
Bytes OffsetBlock(std::int16_t mode, float value, std::uint8_t reserved = 0) {
  Bytes b;
  I16(b, mode);
  b.push_back(reserved);
  b.push_back(reserved);
  F32(b, value);
  return b;
}

const SettingsLayout& LayoutOf(std::string_view key) {
  CEffEntry* entry = EffectRegistry::FindByKey(key);
  EXPECT_NE(entry, nullptr) << key;
  EXPECT_NE(entry->GetSettingsLayout(), nullptr) << key;
  return *entry->GetSettingsLayout();
}

TEST(LevelBlocks, DefaultsLieAtTheirOffsets) {
  EXPECT_EQ(DefaultBlock(LayoutOf("Volume")).bytes, VolumeBlock(0));
  EXPECT_EQ(DefaultBlock(LayoutOf("Normalize")).bytes, NormalizeBlock(0, 0, -1500, -1500, 1, 1));
  EXPECT_EQ(DefaultBlock(LayoutOf("Offset")).bytes, OffsetBlock(0, 0.0f));
}

struct ClampCase {
  const char* what;
  const char* key;
  Bytes stored;
  Bytes loaded;
};

class LevelBlockLoad : public ::testing::TestWithParam<ClampCase> {};

TEST_P(LevelBlockLoad, ClampsEveryField) {
  EXPECT_EQ(LoadBlock(LayoutOf(GetParam().key), SettingsBlock{GetParam().stored}, 44100).bytes,
            GetParam().loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LevelBlockLoad,
    ::testing::Values(
        ClampCase{"volume above", "Volume", VolumeBlock(2000), VolumeBlock(1300)},
        ClampCase{"volume below", "Volume", VolumeBlock(-2000), VolumeBlock(-1300)},
        ClampCase{"volume in range", "Volume", VolumeBlock(-1299), VolumeBlock(-1299)},
        ClampCase{"volume empty", "Volume", {}, VolumeBlock(0)},
        ClampCase{"normalize above", "Normalize", NormalizeBlock(5, 100, 10, 1, 7, 255),
                  NormalizeBlock(2, 0, 0, 0, 7, 255)},
        ClampCase{"normalize below", "Normalize", NormalizeBlock(-3, -2000, -6000, -32768, 0, 0),
                  NormalizeBlock(0, -1000, -5000, -5000, 0, 0)},
        ClampCase{"normalize in range", "Normalize", NormalizeBlock(1, -1000, -5000, -1, 1, 0),
                  NormalizeBlock(1, -1000, -5000, -1, 1, 0)},
        ClampCase{"normalize short", "Normalize", Bytes{2, 0, 0x38, 0xFF},
                  NormalizeBlock(2, -200, -1500, -1500, 1, 1)},
        ClampCase{"offset above", "Offset", OffsetBlock(9, 2.0f, 0xAB), OffsetBlock(1, 1.0f)},
        ClampCase{"offset below", "Offset", OffsetBlock(-1, -1.5f), OffsetBlock(0, -1.0f)},
        ClampCase{"offset not a number", "Offset", OffsetBlock(1, std::numeric_limits<float>::quiet_NaN()),
                  OffsetBlock(1, 0.0f)},
        ClampCase{"offset infinite", "Offset", OffsetBlock(1, -std::numeric_limits<float>::infinity()),
                  OffsetBlock(1, -1.0f)},
        ClampCase{"offset without its float", "Offset", Bytes{1, 0, 0x11, 0x22}, OffsetBlock(1, 0.0f)}),
    [](const auto& param_info) {
      std::string name = param_info.param.what;
      for (char& c : name) c = c == ' ' ? '_' : c;
      return name;
    });

// Every stored value a console prints parses back to the same stored value.
TEST(LevelBlocks, EveryConsoleValueRoundTrips) {
  for (std::string_view key : {"Volume", "Normalize", "Offset"}) {
    const SettingsLayout& layout = LayoutOf(key);
    for (const SettingsField& field : layout.fields) {
      std::vector<double> values;
      if (field.type == FieldType::kF32) {
        values = {field.min, field.max, field.def, 0.1, -0.3333333432674408, 1e-7};
      } else {
        for (double v = field.min; v <= field.max; ++v) values.push_back(v);
      }
      for (double stored : values) {
        const std::string text = FormatFieldValue(field, stored);
        double parsed = 0;
        std::string why;
        ASSERT_EQ(ParseFieldValue(field, text, 44100, &parsed, &why), err::kOk)
            << key << "." << field.name << "=" << text << ": " << why;
        EXPECT_EQ(static_cast<float>(parsed), static_cast<float>(stored)) << key << "." << field.name << "=" << text;
      }
    }
  }
}

}  // namespace
}  // namespace tidemark
