// Settings blocks: loading as a preset is loaded (defaults, clamping, short
// and long blocks) and the console's text form of a field.
#include "effects/framework/settings_block.h"
#include "platform/error_numbers.h"

#include <array>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/effects/effect_test_util.h"

namespace tidemark {
namespace {

constexpr std::array<std::string_view, 3> kModes{"peak", "short", "rms"};
double HalfRateUpTo20k(std::uint32_t rate) { return rate < 40002 ? rate / 2.0 : 20000.0; }

// i16 level at 0, f32 frequency at 4 (bytes 2-3 reserved), i16 mode at 8,
// u8 flag at 10, byte 11 reserved.
constexpr std::array<SettingsField, 4> kFields{{
    {.name = "level", .type = FieldType::kI16, .offset = 0, .min = -1300, .max = 1300, .def = -600,
     .unit = kUnitCentiDb},
    {.name = "freq", .type = FieldType::kF32, .offset = 4, .min = 1, .max = 20000, .def = 440, .unit = kUnitHz,
     .max_for_rate = HalfRateUpTo20k},
    {.name = "mode", .type = FieldType::kI16, .offset = 8, .min = 0, .max = 2, .def = 1, .words = kModes},
    {.name = "guard", .type = FieldType::kU8, .offset = 10, .min = 0, .max = 1, .def = 1, .flag = true},
}};
constexpr SettingsLayout kLayout{12, kFields};

SettingsBlock Bytes(std::vector<std::uint8_t> bytes) { return SettingsBlock{std::move(bytes)}; }

std::vector<std::uint8_t> Block(std::int16_t level, float freq, std::int16_t mode, std::uint8_t guard,
                                std::uint8_t reserved = 0) {
  return testing::BlockBytes(12).I16(0, level).U8(2, reserved).U8(3, reserved).F32(4, freq).I16(8, mode).U8(10, guard)
      .U8(11, reserved).bytes();
}

TEST(SettingsBlock, DefaultsFillAnEmptyBlock) {
  EXPECT_EQ(LoadBlock(kLayout, {}, 44100).bytes, Block(-600, 440.0f, 1, 1));
  EXPECT_EQ(DefaultBlock(kLayout).bytes, Block(-600, 440.0f, 1, 1));
}

struct LoadCase {
  const char* what;
  std::vector<std::uint8_t> stored;
  std::uint32_t rate;
  std::vector<std::uint8_t> loaded;
};

class SettingsBlockLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SettingsBlockLoad, ClampsCompletesAndKeeps) {
  EXPECT_EQ(LoadBlock(kLayout, Bytes(GetParam().stored), GetParam().rate).bytes, GetParam().loaded);
}

std::vector<std::uint8_t> Longer() {
  auto b = Block(100, 1000.0f, 2, 0);
  b.insert(b.end(), {0xAA, 0xBB});
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsBlockLoad,
    ::testing::Values(
        LoadCase{"in range", Block(100, 1000.0f, 2, 0), 44100, Block(100, 1000.0f, 2, 0)},
        LoadCase{"too high", Block(2000, 30000.0f, 7, 5), 44100, Block(1300, 20000.0f, 2, 5)},
        LoadCase{"rate-bound max", Block(2000, 30000.0f, 7, 1), 32000, Block(1300, 16000.0f, 2, 1)},
        LoadCase{"too low", Block(-32768, -5.0f, -1, 0), 44100, Block(-1300, 1.0f, 0, 0)},
        LoadCase{"not a number", Block(0, std::numeric_limits<float>::quiet_NaN(), 0, 0), 44100,
                 Block(0, 440.0f, 0, 0)},
        LoadCase{"reserved bytes zeroed", Block(0, 440.0f, 0, 0, 0x55), 44100, Block(0, 440.0f, 0, 0)},
        LoadCase{"short: the rest from the defaults", {0x64, 0x00, 0, 0, 0, 0}, 44100, Block(100, 440.0f, 1, 1)},
        LoadCase{"odd length cuts a field", {0x64}, 44100, Block(-600, 440.0f, 1, 1)},
        LoadCase{"longer: extra bytes kept", Longer(), 44100, Longer()}),
    [](const ::testing::TestParamInfo<LoadCase>& param_info) {
      std::string name = param_info.param.what;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

struct ParseCase {
  const char* field;
  const char* text;
  std::uint32_t rate;
  double stored;  // NaN: refused
};

TEST(SettingsBlock, ParsesTheConsoleForm) {
  const double refused = std::numeric_limits<double>::quiet_NaN();
  const ParseCase cases[] = {
      {"level", "-3", 44100, -300},     {"level", "-3.005", 44100, -301}, {"level", "2.994", 44100, 299},
      {"level", "+13", 44100, 1300},    {"level", "13.01", 44100, refused}, {"level", "1e1", 44100, 1000},
      {"level", "abc", 44100, refused}, {"level", "", 44100, refused},      {"level", "3dB", 44100, refused},
      {"freq", "440.5", 44100, 440.5},  {"freq", "20000", 32000, refused}, {"freq", "16000", 32000, 16000},
      {"mode", "RMS", 44100, 2},        {"mode", "1", 44100, 1},           {"mode", "3", 44100, refused},
      {"guard", "off", 44100, 0},       {"guard", "yes", 44100, 1},        {"guard", "2", 44100, refused},
      {"level", "nan", 44100, refused}, {"level", "inf", 44100, refused},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(std::string(c.field) + "=" + c.text);
    const SettingsField* field = FindField(kLayout, c.field);
    ASSERT_NE(field, nullptr);
    double stored = 0;
    std::string why;
    const Error rc = ParseFieldValue(*field, c.text, c.rate, &stored, &why);
    if (std::isnan(c.stored)) {
      EXPECT_EQ(rc, err::kSizeLimit);
      EXPECT_NE(why.find(c.field), std::string::npos) << why;
    } else {
      EXPECT_EQ(rc, err::kOk) << why;
      EXPECT_EQ(stored, c.stored);
    }
  }
  EXPECT_EQ(FindField(kLayout, "LEVEL"), &kFields[0]);
  EXPECT_EQ(FindField(kLayout, "gain"), nullptr);
}

}  // namespace
}  // namespace tidemark
