// Voice pitch: the pitch moves by the pitch setting while the spectral
// envelope (the formants) moves by the formant setting. Two stages: a phase
// vocoder with identity phase locking stretches the selection by the pitch
// ratio r (when the length is kept) and moves its cepstral envelope by f / r
// (f the formant ratio); the eased interpolator then reads it at r frames per
// output frame, which brings the envelope to f and the harmonics to r.
// Output length: the selection's when the option keeps the length, else
// selection / r rounded to the nearest frame, as a pitch change gives.
#pragma once

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_VOPITCH {

// Block (6 bytes): +0 i16 pitch, -1200..1200 cents; +2 i16 half the formant
// shift in semitones (-6..6); +4 u8 whose top bit adds one semitone to the
// formant shift; +5 u8 option, non-zero keeps the length. All 0 by default.
// The formant shift (-12..12) is pulled to within one octave of the pitch.
inline constexpr std::uint32_t kBlockSize = 6;

struct MySetupParams : CEffEntry::SetupParams {
  int pitch_cents = 0;
  int formant_semitones = 0;  // after the pull towards the pitch
  bool keep_length = false;
};

// The formant shift after the pull to within one octave of `pitch_cents`.
int PullFormant(int formant_semitones, int pitch_cents);

class CMyEffEntry : public CEffEntry_Resample {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, ResampleEffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_VOPITCH
