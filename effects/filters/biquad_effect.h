// What the biquad effects share (low-pass/high-pass, the equalisers): their
// settings design a cascade for the document's rate, and the run is a
// CBiQuadFilter named after the effect.
#pragma once

#include "dsp/filters/biquad.h"
#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT {

struct BiquadSetupParams : CEffEntry::SetupParams {
  SBiQuadFilter filter;
};

class CBiquadEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  // The cascade `block` (loaded and clamped) describes at `rate` Hz.
  [[nodiscard]] virtual Error Design(const SettingsBlock& block, double rate, SBiQuadFilter* filter) = 0;

  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

}  // namespace tidemark::NS_EFFECT
