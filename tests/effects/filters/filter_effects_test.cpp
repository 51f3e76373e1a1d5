// Low-pass/high-pass and the equalisers: each block runs exactly the
// cascade its fields design for the document's rate (the designs
// themselves are checked in the dsp tests), the edge cases of the
// equalisers' band rules, and the ripple field written back as -0.10 dB.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "dsp/filters/equaliser.h"
#include "dsp/filters/lowpass_highpass.h"
#include "effects/filters/graphic_eq.h"
#include "effects/filters/lowpass_highpass.h"
#include "effects/filters/parametric_eq.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT::SBiQuadFilter;
using Designer = std::function<SBiQuadFilter(double rate)>;

SBiQuadFilter LowHigh(dsp::FilterDesign design, bool high, double hz, double rate, double stop_db, int sections) {
  dsp::LowpassHighpassParams p;
  p.design = design;
  p.highpass = high;
  p.cutoff = hz / rate;
  p.stopband_db = stop_db;
  p.sections = sections;
  SBiQuadFilter f;
  EXPECT_EQ(dsp::DesignLowpassHighpass(p, &f), 0u);
  return f;
}

SBiQuadFilter Parametric(std::array<std::array<double, 3>, 3> bands, double rate) {  // Hz, dB, octaves
  dsp::ParametricBand b[3];
  for (std::size_t i = 0; i < 3; ++i) b[i] = {bands[i][0] / rate, bands[i][1], bands[i][2]};
  SBiQuadFilter f;
  EXPECT_EQ(dsp::DesignParametricEq(b, &f), 0u);
  return f;
}

SBiQuadFilter Graphic(std::array<double, 10> gains, double rate) {
  SBiQuadFilter f;
  EXPECT_EQ(dsp::DesignGraphicEq(gains.data(), rate, &f), 0u);
  return f;
}

struct EffectCase {
  const char* what;
  CEffEntry& entry;
  SettingsBlock block;
  std::uint32_t rate;
  Designer design;  // null: the signal passes unchanged, bit for bit
};

std::vector<EffectCase> Cases() {
  using D = dsp::FilterDesign;
  const std::array<double, 10> flat{};
  return {
      {"butterworth lowpass 2 kHz", NS_EFFECT_HLPLPF::Entry(), BlockBytes(12).I16(4, 1200).I16(8, -4000).I16(10, 5),
       44100, [](double r) { return LowHigh(D::kButterworth, false, 2000, r, -40, 5); }},
      {"elliptic highpass 500 Hz", NS_EFFECT_HLPLPF::Entry(),
       BlockBytes(12).I16(0, 3).U8(2, 7).I16(4, -1200).I16(8, -6000).I16(10, 4), 48000,
       [](double r) { return LowHigh(D::kElliptic, true, 500, r, -60, 4); }},
      {"chebyshev1 with another ripple", NS_EFFECT_HLPLPF::Entry(),
       BlockBytes(12).I16(0, 1).I16(4, 0).I16(6, 0).I16(8, -4000).I16(10, 2), 44100,
       [](double r) { return LowHigh(D::kChebyshev1, false, 1000, r, -40, 2); }},
      {"chebyshev2 at 32 kHz and 44.1 kHz", NS_EFFECT_HLPLPF::Entry(),
       BlockBytes(12).I16(0, 2).I16(4, 6000).I16(8, -9000).I16(10, 15), 44100,
       [](double r) { return LowHigh(D::kChebyshev2, false, 0.4995 * r, r, -90, 15); }},
      {"parametric three bands", NS_EFFECT_PEQ::Entry(),
       BlockBytes(18).I16(0, 1200).I16(2, 300).I16(4, 1200).I16(6, -2400).I16(8, -600).I16(10, 2400)
           .I16(12, 0).I16(14, 1500).I16(16, 300), 44100,
       [](double r) { return Parametric({{{2000, 3, 1}, {250, -6, 2}, {1000, 15, 0.25}}}, r); }},
      {"parametric one band", NS_EFFECT_PEQ::Entry(),
       BlockBytes(18).I16(0, 1200).I16(4, 1200).I16(6, -2400).I16(10, 1200).I16(12, 600).I16(14, -1200).I16(16, 600),
       22050, [](double r) { return Parametric({{{2000, 0, 1}, {250, 0, 1}, {1000 * std::sqrt(2.0), -12, 0.5}}}, r); }},
      {"parametric flat", NS_EFFECT_PEQ::Entry(), BlockBytes(18).I16(4, 1200).I16(10, 1200).I16(16, 1200), 44100,
       nullptr},
      {"graphic flat", NS_EFFECT_GEQ::Entry(), BlockBytes(20), 44100, nullptr},
      {"graphic 16 kHz band above half of 22050 Hz", NS_EFFECT_GEQ::Entry(), BlockBytes(20).I16(18, -600), 22050,
       nullptr},
      {"graphic every band at 44.1 kHz", NS_EFFECT_GEQ::Entry(),
       BlockBytes(20).I16(0, 300).I16(2, -300).I16(8, 1500).I16(12, -1500).I16(18, 600), 44100,
       [](double r) { return Graphic({3, -3, 0, 0, 15, 0, -15, 0, 0, 6}, r); }},
      {"graphic 16 kHz band at half of 32 kHz", NS_EFFECT_GEQ::Entry(), BlockBytes(20).I16(18, 1200), 32000,
       [flat](double r) {
         auto g = flat;
         g[9] = 12;
         return Graphic(g, r);
       }},
  };
}

TEST(FilterEffects, EachBlockRunsTheCascadeItsFieldsDesign) {
  constexpr std::uint32_t kFrames = 6000, kFrom = 500, kTo = 5500;
  const auto input = RandomSamples(kFrames * 2, 12, 0.5f);
  for (EffectCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    DocumentPtr doc = MakeFloatDocument(input, 2, c.rate);
    Select(*doc, kFrom, kTo);
    ASSERT_EQ(ExecuteWithBlock(c.entry, *doc, c.block), 0u);
    std::vector<float> want = input;
    if (c.design) {
      dsp::BiquadKernel kernel;
      ASSERT_EQ(kernel.Init(c.design(c.rate), 2), 0u);
      kernel.Process(want.data() + kFrom * 2, kTo - kFrom, 3);
    }
    const auto out = ReadAll(*doc);
    ASSERT_EQ(out.size(), want.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i], want[i]) << i;
      ASSERT_TRUE(std::isfinite(out[i]));
    }
  }
}

TEST(FilterEffects, RippleIsWrittenBackAsATenthOfADecibel) {
  DocumentPtr doc = MakeFloatDocument(RandomSamples(200, 2), 1);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_HLPLPF::Entry(), *doc, BlockBytes(12).I16(6, -500).I16(10, 1)), 0u);
  const SettingsBlock& kept = NS_EFFECT_HLPLPF::Entry().GetSettingsStore().block();
  ASSERT_EQ(kept.size(), 12u);
  EXPECT_EQ(static_cast<std::int16_t>(kept.bytes[6] | kept.bytes[7] << 8), -10);
}

TEST(FilterEffects, FrequenciesAreHertzOnTheConsoleAndCentsInTheBlock) {
  const SettingsField& cutoff = *FindField(*NS_EFFECT_HLPLPF::Entry().GetSettingsLayout(), "cutoff");
  const std::pair<const char*, double> accepted[] = {{"2000", 1200}, {"31.25", -6000}, {"32000", 6000},
                                                     {"1000", 0},    {"2001.16", 1201}, {"707.1", -600}};
  for (auto [text, want] : accepted) {
    double stored = 0;
    std::string why;
    EXPECT_EQ(ParseFieldValue(cutoff, text, 44100, &stored, &why), 0u) << text;
    EXPECT_EQ(stored, want) << text;
  }
  for (const char* text : {"31.2", "32100", "0", "-5", "abc"}) {
    double stored = 0;
    std::string why;
    EXPECT_EQ(ParseFieldValue(cutoff, text, 44100, &stored, &why), err::kSizeLimit) << text;
    EXPECT_EQ(why, "cutoff lies in 31.25 ... 32000.00 Hz") << text;
  }
  // Every stored value prints as a text that reads back as itself.
  for (int v = -6000; v <= 6000; ++v) {
    double stored = 0;
    std::string why;
    ASSERT_EQ(ParseFieldValue(cutoff, FormatFieldValue(cutoff, v), 44100, &stored, &why), 0u) << v;
    ASSERT_EQ(stored, v);
  }
}

}  // namespace
}  // namespace tidemark::testing
