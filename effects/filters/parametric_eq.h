// Parametric EQ: a high shelf, a low shelf and a peaking band; a band with
// a gain of 0 dB is left out.
#pragma once

#include <cstdint>

#include "effects/filters/biquad_effect.h"

namespace tidemark::NS_EFFECT_PEQ {

// Block (18 bytes), band b = 1..3 at +6(b-1):
//   +0 i16 frequency fb: -6000..6000 cents re 1 kHz
//   +2 i16 gain gb: -1500..1500 (0.01 dB), default 0
//   +4 i16 width wb: cents (bands 1 and 2: 600..3600, band 3: 300..3600), default 1200
// Default frequencies: band 1 1200 (2 kHz), band 2 -2400 (250 Hz), band 3 0 (1 kHz).
inline constexpr std::uint32_t kBlockSize = 18;

class CMyEffEntry : public NS_EFFECT::CBiquadEffEntry {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;

 protected:
  [[nodiscard]] Error Design(const SettingsBlock& block, double rate, NS_EFFECT::SBiQuadFilter* filter) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_PEQ
