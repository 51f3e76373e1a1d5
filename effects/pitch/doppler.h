// Doppler: a source passing a pair of microphones. The source moves along a
// straight line at the speed setting (positive: left to right, so it
// approaches the left microphone first) and passes the microphones' centre
// at the middle of the selection, at the closest distance. The microphones
// sit on a line parallel to the path, the left one (channel 0) half the
// spacing to the left of the centre, the right one half to the right.
//
// Output frame n of a channel reads the input at n + tau0 - tau_n, the
// emission time of the sound that reaches that microphone at n + tau0
// (tau_n from the quadratic of the propagation time, tau0 the time from the
// source's starting place to the centre), clamped to the selection, through
// a Kaiser-windowed sinc (16 lobes each side, cut off at 0.45 cycles per
// frame so that the fastest approach does not alias). The level follows
// |tau0 / tau_n|. Modes: 0 pitch only (level unchanged), 1 level only (read
// at n), 2 both. With the directional option each channel's level is also
// multiplied by (1 + cos(theta - theta_c)) / 2, theta the direction of the
// source from the microphone (0 straight to the right along the path, pi to
// the left, pi/2 abeam) and theta_c = 3 pi / 4 for the left microphone,
// pi / 4 for the right one.
// The output is stereo and as long as the selection. A stored speed of
// magnitude below 20 km/h loads as 20 with its sign; 0 as 20 (left to right).
#pragma once

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_DOPPLER {

// Block (10 bytes): +0 i16 speed, -120..120 km/h (magnitude 20..120), 50;
// +2 i16 closest distance, 100..500 (0.01 m), 300; +4 i16 mode, 0..2, 2;
// +6 i16 microphone spacing, 20..28 (0.01 m), 24; +8 u8 directional option, 0.
inline constexpr std::uint32_t kBlockSize = 10;

struct MySetupParams : CEffEntry::SetupParams {
  float speed = 0;     // m/s, signed
  float distance = 3;  // m
  std::int32_t mode = 2;
  float spacing = 0.24f;  // m
  std::uint8_t option = 0;
};

// The speed in km/h a stored value stands for.
int LoadedSpeed(int stored_kmh);

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

}  // namespace tidemark::NS_EFFECT_DOPPLER
