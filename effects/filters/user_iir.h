// IIR filter: a recursive filter whose coefficients the user writes as
// formulas (one "NAME = EXPRESSION" per line), run as a lattice.
#pragma once

#include <cstdint>
#include <string>

#include "dsp/filters/iir_description.h"
#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_USERIIR {

// Block (4 bytes and the text):
//   +0 u8  wide: 0 the text is in the narrow code page, else UTF-16LE
//   +1 reserved (3 bytes)
//   +4 the description, to the end of the block
inline constexpr std::uint32_t kBlockSize = 4;

// A description that cannot be used: parse error, order above 99, unstable.
inline constexpr Error kDescriptionUnusable{71};

struct MySetupParams : CEffEntry::SetupParams {
  NS_EFFECT::SLatticeIIR filter;
};

// The catalogue's words for a description's fault: "The filter description
// has an error in line N:\n<fault>", or without the line when it belongs to
// none.
std::string DescribeFault(const dsp::IirDescResult& fault);

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  // Reads the description at the document's rate; a fault is shown by the
  // settings dialog in force and answers kDescriptionUnusable.
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_USERIIR
