// Low-pass/high-pass: a Butterworth, Chebyshev (I or II) or elliptic
// filter of order 2 x sections around a cutoff frequency.
#pragma once

#include <cstdint>

#include "effects/filters/biquad_effect.h"

namespace tidemark::NS_EFFECT_HLPLPF {

// Block (12 bytes):
//   +0  i16 design: 0 Butterworth, 1 Chebyshev I, 2 Chebyshev II, 3 elliptic; default 0
//   +2  u8  kind: 0 low-pass, else high-pass (loads as 1); default 0
//   +3  reserved
//   +4  i16 cutoff: -6000..6000 cents re 1 kHz (31.25 Hz..32 kHz), default 1200 (2 kHz)
//   +6  i16 ripple: always -10 (0.10 dB), whatever a block holds
//   +8  i16 stopband: -9000..-2000 (0.01 dB), default -4000
//   +10 i16 sections: 1..15, default 5
inline constexpr std::uint32_t kBlockSize = 12;

class CMyEffEntry : public NS_EFFECT::CBiquadEffEntry {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;

 protected:
  [[nodiscard]] Error Design(const SettingsBlock& block, double rate, NS_EFFECT::SBiQuadFilter* filter) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_HLPLPF
