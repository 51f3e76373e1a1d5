// Graphic EQ: ten one-octave peaking bands at 31.25 x 2^k Hz; the bands
// above half the document's rate are left out.
#pragma once

#include <cstdint>

#include "effects/filters/biquad_effect.h"

namespace tidemark::NS_EFFECT_GEQ {

// Block (20 bytes): band k = 0..9 at +2k, i16 gain -1500..1500 (0.01 dB),
// default 0; console names g31 g63 g125 g250 g500 g1k g2k g4k g8k g16k.
inline constexpr std::uint32_t kBlockSize = 20;

class CMyEffEntry : public NS_EFFECT::CBiquadEffEntry {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;

 protected:
  [[nodiscard]] Error Design(const SettingsBlock& block, double rate, NS_EFFECT::SBiQuadFilter* filter) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_GEQ
