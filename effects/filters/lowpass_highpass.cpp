#include "effects/filters/lowpass_highpass.h"

#include <array>
#include <cmath>
#include <string_view>

#include "dsp/filters/lowpass_highpass.h"

namespace tidemark::NS_EFFECT_HLPLPF {

namespace {

constexpr std::string_view kDesigns[] = {"butterworth", "chebyshev1", "chebyshev2", "elliptic"};
constexpr std::string_view kKinds[] = {"lowpass", "highpass"};

constexpr std::array<SettingsField, 6> kFields{{
    {.name = "design", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 3, .def = 0, .words = kDesigns},
    {.name = "kind", .type = FieldType::kU8, .offset = 2, .min = 0, .max = 1, .def = 0, .words = kKinds},
    {.name = "cutoff", .type = FieldType::kI16, .offset = 4, .min = -6000, .max = 6000, .def = 1200,
     .unit = kUnitPitchHz},
    {.name = "ripple", .type = FieldType::kI16, .offset = 6, .min = -10, .max = -10, .def = -10,
     .unit = kUnitCentiDb},
    {.name = "stopband", .type = FieldType::kI16, .offset = 8, .min = -9000, .max = -2000, .def = -4000,
     .unit = kUnitCentiDb},
    {.name = "sections", .type = FieldType::kI16, .offset = 10, .min = 1, .max = 15, .def = 5},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(307) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::Design(const SettingsBlock& block, double rate, NS_EFFECT::SBiQuadFilter* filter) {
  dsp::LowpassHighpassParams p;
  p.design = static_cast<dsp::FilterDesign>(GetField(kFields[0], block.bytes));
  p.highpass = GetField(kFields[1], block.bytes) != 0;
  p.cutoff = 1000.0 * std::exp2(GetField(kFields[2], block.bytes) / 1200.0) / rate;
  p.stopband_db = GetField(kFields[4], block.bytes) / 100.0;
  p.sections = static_cast<int>(GetField(kFields[5], block.bytes));
  return dsp::DesignLowpassHighpass(p, filter);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_HLPLPF
