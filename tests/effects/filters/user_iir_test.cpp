// The IIR filter effect: descriptions run as lattices against the direct
// form in long double; a fault is shown by the dialog and changes nothing;
// the block's text in both of its forms.
#include "effects/filters/user_iir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/text_catalogue.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_USERIIR::Entry;

const SettingsLayout& Layout() { return *Entry().GetSettingsLayout(); }

SettingsBlock IirBlock(std::string_view text, bool wide = false) {
  SettingsBlock block{std::vector<std::uint8_t>(4, 0)};
  block.bytes[0] = wide ? 1 : 0;
  PutBlockText(Layout(), text, block);
  return block;
}

// y[n] = (sum a_k x[n-k] - sum_{k>=1} b_k y[n-k]) / b_0 over one channel.
std::vector<long double> DirectForm(const std::vector<float>& x, std::size_t channel, std::size_t channels,
                                    std::size_t from, std::size_t to, const std::vector<long double>& a,
                                    const std::vector<long double>& b) {
  std::vector<long double> in, out;
  for (std::size_t f = from; f < to; ++f) in.push_back(x[f * channels + channel]);
  for (std::size_t n = 0; n < in.size(); ++n) {
    long double y = 0;
    for (std::size_t k = 0; k < a.size() && k <= n; ++k) y += a[k] * in[n - k];
    for (std::size_t k = 1; k < b.size() && k <= n; ++k) y -= b[k] * out[n - k];
    out.push_back(y / b[0]);
  }
  return out;
}

class ProblemDialog final : public StubDialog {
 public:
  using StubDialog::StubDialog;
  void ShowProblem(CEffEntry&, std::string_view message) override { problem = message; }
  std::string problem;
};

struct FilterCase {
  const char* text;
  std::vector<long double> a, b;
  double tolerance;  // 0: bit for bit
};

TEST(UserIir, DescriptionsRunAsTheirDirectForm) {
  const FilterCase cases[] = {
      {"A0 = 1", {1}, {1}, 0},
      {"A = 0.5", {0.5}, {1}, 0},
      {"A0 = 0.2\nB1 = -0.8", {0.2L}, {1, -0.8L}, 2e-6},
      {"# a biquad, B0 given\nB0 = 2\nA0 = 0.135\nA1 = 0.27\nA2 = 0.135\nB1 = -2.286\nB2 = 0.8256",
       {0.135L, 0.27L, 0.135L}, {2, -2.286L, 0.8256L}, 2e-6},
      {"r = 0.95\nw = 2*PI*440/SR_HZ\nA0 = 1 - r\nB1 = -2*r*cos(w)\nB2 = r^2\nA3 = 0.01\nB4 = -0.0001",
       {0.05L, 0, 0, 0.01L}, {1, -2 * 0.95L * std::cos(2 * 3.141592653589793L * 440 / 44100), 0.9025L, 0, -0.0001L},
       2e-5},
  };
  constexpr std::size_t kFrames = 3000, kFrom = 200, kTo = 2700;
  const auto input = RandomSamples(kFrames * 2, 5, 0.5f);
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.text);
    DocumentPtr doc = MakeFloatDocument(input, 2);
    Select(*doc, kFrom, kTo);
    ASSERT_EQ(ExecuteWithBlock(Entry(), *doc, IirBlock(c.text)), 0u);
    const auto out = ReadAll(*doc);
    for (std::size_t ch = 0; ch < 2; ++ch) {
      const auto want = DirectForm(input, ch, 2, kFrom, kTo, c.a, c.b);
      for (std::size_t i = 0; i < want.size(); ++i) {
        const float got = out[(kFrom + i) * 2 + ch];
        if (c.tolerance == 0) {
          ASSERT_EQ(got, static_cast<float>(want[i])) << i;
        } else {
          ASSERT_NEAR(got, static_cast<double>(want[i]), c.tolerance) << i;
        }
      }
    }
    for (std::size_t i = 0; i < kFrom * 2; ++i) ASSERT_EQ(out[i], input[i]);
    for (std::size_t i = kTo * 2; i < out.size(); ++i) ASSERT_EQ(out[i], input[i]);
  }
}

struct FaultCase {
  const char* text;
  dsp::IirDescResult fault;
};

TEST(UserIir, AFaultIsShownAndChangesNothing) {
  const FaultCase cases[] = {
      {"A0 = 1\nB1 = 1", {dsp::IirDescError::kUnstable, 0}},  // a pole on the unit circle
      {"B1 = -2.5\nB2 = 1.5", {dsp::IirDescError::kUnstable, 0}},
      {"A0 = 1\nB1", {dsp::IirDescError::kNothingAfter, 2}},
      {"B0 = 0", {dsp::IirDescError::kB0IsZero, 1}},
  };
  ASSERT_GT(LoadProcessTextCatalogue(), 0u);
  const auto input = RandomSamples(400, 9, 0.5f);
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.text);
    DocumentPtr doc = MakeFloatDocument(input, 1);
    SelectAll(*doc);
    ProblemDialog dialog(std::optional<SettingsBlock>(IirBlock(c.text)));
    ScopedSettingsDialog installed(&dialog);
    EXPECT_EQ(Entry().Execute(doc.get()), NS_EFFECT_USERIIR::kDescriptionUnusable);
    EXPECT_EQ(ReadAll(*doc), input);
    EXPECT_EQ(dialog.problem, NS_EFFECT_USERIIR::DescribeFault(c.fault));
    EXPECT_GT(dialog.problem.size(), 40u);
    if (c.fault.line > 0) {
      EXPECT_NE(dialog.problem.find(" " + std::to_string(c.fault.line) + ":"), std::string::npos);
    }
    EXPECT_EQ(dialog.problem.find('%'), std::string::npos);
  }
}

TEST(UserIir, BlockTextInBothForms) {
  const SettingsBlock narrow = IirBlock("A0 = 1\nB1 = -0.5");
  EXPECT_EQ(std::string(narrow.bytes.begin() + 4, narrow.bytes.end()), "A0 = 1\nB1 = -0.5");
  EXPECT_EQ(GetBlockText(Layout(), narrow), "A0 = 1\nB1 = -0.5");

  const std::string text = "# \xC3\xA9\xE2\x82\xAC\nA = 1";  // U+00E9, U+20AC
  const SettingsBlock wide = IirBlock(text, true);
  ASSERT_EQ(wide.size(), 4u + 2 * 10);
  EXPECT_EQ(wide.bytes[8], 0xE9);
  EXPECT_EQ(wide.bytes[9], 0x00);
  EXPECT_EQ(wide.bytes[10], 0xAC);
  EXPECT_EQ(wide.bytes[11], 0x20);
  EXPECT_EQ(GetBlockText(Layout(), wide), text);

  SettingsBlock ended = narrow;
  ended.bytes[10] = 0;  // a NUL ends the text early
  EXPECT_EQ(GetBlockText(Layout(), ended), "A0 = 1");
  SettingsBlock odd = wide;
  odd.bytes.push_back('X');  // half a code unit is not text
  EXPECT_EQ(GetBlockText(Layout(), odd), text);
  EXPECT_EQ(GetBlockText(Layout(), SettingsBlock{{0, 0, 0, 0}}), "");
  // Loading keeps the text whole; the reserved bytes become 0.
  SettingsBlock dirty = narrow;
  dirty.bytes[2] = 7;
  EXPECT_EQ(LoadBlock(Layout(), dirty, 44100), narrow);
}

}  // namespace
}  // namespace tidemark::testing
