#include "effects/filters/parametric_eq.h"

#include <array>
#include <cmath>

#include "dsp/filters/equaliser.h"

namespace tidemark::NS_EFFECT_PEQ {

namespace {

constexpr SettingsField Frequency(std::string_view name, std::uint16_t offset, double def) {
  return {.name = name, .type = FieldType::kI16, .offset = offset, .min = -6000, .max = 6000, .def = def,
          .unit = kUnitPitchHz};
}
constexpr SettingsField Gain(std::string_view name, std::uint16_t offset) {
  return {.name = name, .type = FieldType::kI16, .offset = offset, .min = -1500, .max = 1500, .def = 0,
          .unit = kUnitCentiDb};
}
constexpr SettingsField Width(std::string_view name, std::uint16_t offset, double min) {
  return {.name = name, .type = FieldType::kI16, .offset = offset, .min = min, .max = 3600, .def = 1200,
          .unit = kUnitCents};
}

constexpr std::array<SettingsField, 9> kFields{{
    Frequency("f1", 0, 1200), Gain("g1", 2), Width("w1", 4, 600),
    Frequency("f2", 6, -2400), Gain("g2", 8), Width("w2", 10, 600),
    Frequency("f3", 12, 0), Gain("g3", 14), Width("w3", 16, 300),
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(306) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::Design(const SettingsBlock& block, double rate, NS_EFFECT::SBiQuadFilter* filter) {
  dsp::ParametricBand bands[dsp::kParametricEqBands];
  for (std::size_t b = 0; b < dsp::kParametricEqBands; ++b) {
    bands[b].f_over_rate = 1000.0 * std::exp2(GetField(kFields[3 * b], block.bytes) / 1200.0) / rate;
    bands[b].gain_db = GetField(kFields[3 * b + 1], block.bytes) / 100.0;
    bands[b].width_octaves = GetField(kFields[3 * b + 2], block.bytes) / 1200.0;
  }
  return dsp::DesignParametricEq(bands, filter);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_PEQ
