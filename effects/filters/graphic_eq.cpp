#include "effects/filters/graphic_eq.h"

#include <array>

#include "dsp/filters/equaliser.h"

namespace tidemark::NS_EFFECT_GEQ {

namespace {

constexpr SettingsField Band(std::string_view name, std::uint16_t k) {
  return {.name = name, .type = FieldType::kI16, .offset = static_cast<std::uint16_t>(2 * k), .min = -1500,
          .max = 1500, .def = 0, .unit = kUnitCentiDb};
}

constexpr std::array<SettingsField, dsp::kGraphicEqBands> kFields{{
    Band("g31", 0), Band("g63", 1), Band("g125", 2), Band("g250", 3), Band("g500", 4),
    Band("g1k", 5), Band("g2k", 6), Band("g4k", 7), Band("g8k", 8), Band("g16k", 9),
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(305) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::Design(const SettingsBlock& block, double rate, NS_EFFECT::SBiQuadFilter* filter) {
  double gains_db[dsp::kGraphicEqBands];
  for (std::size_t k = 0; k < dsp::kGraphicEqBands; ++k) gains_db[k] = GetField(kFields[k], block.bytes) / 100.0;
  return dsp::DesignGraphicEq(gains_db, rate, filter);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_GEQ
