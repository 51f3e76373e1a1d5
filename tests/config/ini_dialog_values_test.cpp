// Remembered dialog values: the "bcswifd" type strings, their layout and text.
#include "config/dialog_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "config/settings.h"

namespace tidemark {
namespace {

struct AllTypes {
  bool b;
  std::int8_t c;
  std::int16_t s;
  std::uint16_t w;
  std::int32_t i;
  float f;
  double d;
};

TEST(DialogValuesTest, LayoutIsNaturalAlignment) {
  EXPECT_EQ(DialogLayoutSize("bcswifd"), sizeof(AllTypes));
  for (const auto& [types, size] : {std::pair<const char*, std::size_t>{"b", 1}, {"bi", 8}, {"db", 16}, {"bs", 4},
                                    {"", 0}, {"bx", 0}})
    EXPECT_EQ(DialogLayoutSize(types), size) << types;
}

TEST(DialogValuesTest, FormatAndParseEveryType) {
  AllTypes v{};
  v.b = true;
  v.c = -128;
  v.s = -32768;
  v.w = 65535;
  v.i = -2147483647 - 1;
  v.f = 0.5f;
  v.d = 1.0 / 3.0;
  const auto bytes = std::as_bytes(std::span(&v, 1));
  const std::string text = FormatDialogValues("bcswifd", bytes);
  EXPECT_EQ(text, "1,-128,-32768,65535,-2147483648,5.000000e-01,3.33333333333333e-01");

  AllTypes back{};
  ASSERT_TRUE(ParseDialogValues("bcswifd", text, std::as_writable_bytes(std::span(&back, 1))));
  EXPECT_EQ(back.b, true);
  EXPECT_EQ(back.c, -128);
  EXPECT_EQ(back.s, -32768);
  EXPECT_EQ(back.w, 65535);
  EXPECT_EQ(back.i, INT32_MIN);
  EXPECT_EQ(back.f, 0.5f);
  EXPECT_NEAR(back.d, 1.0 / 3.0, 1e-14);
}

TEST(DialogValuesTest, ParsingIsAllOrNothing) {
  AllTypes keep{};
  keep.i = 77;
  auto refused = [&](std::string_view types, std::string_view text) {
    AllTypes v = keep;
    const bool ok = ParseDialogValues(types, text, std::as_writable_bytes(std::span(&v, 1)));
    return !ok && std::memcmp(&v, &keep, sizeof v) == 0;
  };
  EXPECT_TRUE(refused("bcswifd", "1,2,3,4,5,6"));           // too few
  EXPECT_TRUE(refused("b", "2"));                           // not a Boolean
  EXPECT_TRUE(refused("bc", "0,128"));                      // out of 8-bit range
  EXPECT_TRUE(refused("bcs", "0,0,32768"));
  EXPECT_TRUE(refused("bcsw", "0,0,0,-1"));
  EXPECT_TRUE(refused("bcswi", "0,0,0,0,2147483648"));
  EXPECT_TRUE(refused("bcswif", "0,0,0,0,0,x"));
  EXPECT_TRUE(refused("bcswifd", "0,0,0,0,0,0,1e"));
  EXPECT_TRUE(refused("q", "0"));                           // bad type string
  EXPECT_TRUE(refused("", ""));
  // A buffer smaller than the layout is refused.
  std::byte small[3]{};
  EXPECT_FALSE(ParseDialogValues("bi", "1,2", small));
  EXPECT_EQ(FormatDialogValues("bi", small), "");
  // Blanks around values are accepted, surplus values ignored.
  AllTypes v{};
  EXPECT_TRUE(ParseDialogValues("bcswifd", " 1 , 2,3,4,5, 1e3 ,-2.5,99",
                                std::as_writable_bytes(std::span(&v, 1))));
  EXPECT_EQ(v.f, 1000.0f);
  EXPECT_EQ(v.d, -2.5);
}

TEST(DialogValuesTest, SettingsRememberDialogsByName) {
  Settings s;
  struct {
    std::int32_t a;
    double b;
  } values{12, 2.25}, back{};
  s.SetDialogValues("Mixdown", "id", std::as_bytes(std::span(&values, 1)));
  EXPECT_TRUE(s.DialogValues("MIXDOWN", "id", std::as_writable_bytes(std::span(&back, 1))));
  EXPECT_EQ(back.a, 12);
  EXPECT_EQ(back.b, 2.25);
  values.a = 13;
  s.SetDialogValues("mixdown", "id", std::as_bytes(std::span(&values, 1)));
  ASSERT_EQ(s.dialogs.size(), 1u);
  EXPECT_EQ(s.dialogs[0].values, "13,2.25000000000000e+00");
  EXPECT_FALSE(s.DialogValues("Other", "id", std::as_writable_bytes(std::span(&back, 1))));
}

}  // namespace
}  // namespace tidemark
