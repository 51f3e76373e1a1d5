// Hiss reduction: attenuates steady background noise by comparing the
// short-time spectrum of the selection with a noise profile measured by
// CNoiseScan, over the selection itself or over the remembered noise
// sample. The gain rule is the decision-directed Wiener rule of
// dsp/spectral/stft_denoiser.h.
#pragma once

#include <cstdint>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_HISS {

// Block (12 bytes), console names in quotes:
//   +0  i16 "mode": the noise type, 0 hiss, 1 broadband, 2 tonal; default 1.
//       Peaks of the profile that stand at least 6 dB over the valleys
//       around them are tonal lines in the noise. Hiss leaves them out of
//       the noise (the floor between the valleys stands in for them), so
//       tones in the noise sample are kept; broadband takes the profile as
//       measured; tonal counts them 12 dB stronger, so hum and whistles go
//       down to the reduction limit.
//   +2  i16 "strength": 1..3, default 2: the noise is counted 0, 3 or 6 dB
//       over its measured power (more strength removes more of the noise
//       under the signal, at the signal's expense).
//   +4  i16 "reduction": -3000..0 (0.01 dB), default -1000: no bin is
//       attenuated by more than this. The console takes whole dB 0..30.
//   +6  i16 "tone": -600..600 (0.01 dB, steps of 50), default 0: the treble
//       balance; the noise above 8 kHz is counted this much stronger,
//       rising along log frequency from 0 at 1 kHz.
//   +8  i16 "fft": 0..3, default 0: the FFT length, 2048 x 2^fft up to
//       48 kHz (twice that up to 96 kHz, four times above).
//   +10 u8  "usesample": measure the profile over the remembered noise
//       sample (honoured only when one exists); default 1.
//   +11 u8  "smoothing": suppress musical noise (decision-directed
//       estimate over time and gain smoothing over frequency; off: every
//       frame on its own); default 1.
inline constexpr std::uint32_t kBlockSize = 12;

enum Mode : std::int16_t { kHiss = 0, kBroadband = 1, kTonal = 2 };

// "The sample rates of the sounds differ.": the noise sample's rate is not
// the document's.
inline constexpr Error kRatesDiffer{49};

struct MySetupParams : CEffEntry::SetupParams {
  std::int16_t mode = kBroadband;
  std::int16_t strength = 2;
  double reduction_db = 10;  // positive
  double tone_db = 0;
  int fft_choice = 0;
  bool use_sample = true;
  bool smoothing = true;
};

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  // Measures (or reuses) the noise profile under `scope`, then makes the
  // run. Besides the run's errors: 47 when the noise sample is shorter
  // than one FFT frame, 49 when it has another rate.
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_HISS
