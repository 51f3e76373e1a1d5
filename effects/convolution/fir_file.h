// FIR filter from a file: the impulse response read from a sound file (any
// the program opens, or a ".fir" file, a WAV file by another name) applied
// by partitioned convolution, followed by the clip guard.
#pragma once

#include <cstdint>
#include <string>

#include "effects/convolution/impulse_response.h"
#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_FIRFILE {

// Block (4 bytes and the path):
//   +0 u8  normalise: 0 off, nonzero on (default on)
//   +1 u8  wide: 0 the path is in the narrow code page, else UTF-16LE
//          (default, and what the console writes)
//   +2 reserved (2 bytes)
//   +4 the response file's path, to the end of the block (none: a unit
//      impulse, the sound passes unchanged)
inline constexpr std::uint32_t kBlockSize = 4;

struct MySetupParams : CEffEntry::SetupParams {
  NS_EFFECT::ImpulseResponse ir;  // at the document's rate
  bool normalise = true;
  std::uint32_t rate = 44100;
};

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  // Loads the response and converts it to the document's rate: 25, 15, 16,
  // 18 from the file, 2 out of memory.
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_FIRFILE
