// Reverb: the response of a rectangular room synthesised from the settings
// and applied by partitioned convolution (with the clip guard). The output
// is always stereo, one channel per microphone: a mono selection becomes
// stereo, a stereo one feeds its left channel to the left microphone's
// response and its right channel to the right one's.
//
// The room: a floor plan of (2 x shape) m by 6 m, 3 m high; source and
// microphones stand 1.5 m above the floor. A position is outside the room
// when a coordinate is not strictly between 0 and the wall (a stored
// infinity is held to +-1000 m, so outside; a stored NaN takes the field's
// default, as in any block); it is replaced by (1.5, 1.0).
//
// The response, time 0 being the sound leaving the source:
//  - early reflections: the image sources of the room whose reflection
//    count (|nx| + |ny| + |nz| bounces) is 1 .. the reflection count, and
//    the direct sound (order 0) when that option is on; each arrives after
//    its distance at 343 m/s (linearly interpolated between samples) with
//    gain sqrt(1 - a_wall)^(wall bounces) sqrt(1 - a_floor)^(floor and
//    ceiling bounces) / distance (distance at least 0.1 m) times the
//    microphone's pattern gain toward it. Absorption a = value / 200
//    (0.40 .. 0.90).
//  - the diffuse tail: seeded noise, independent per microphone, starting
//    with the direct sound, building up as 1 - exp(-t / tb) with
//    tb = (100 % - diffusion) x 2 ms (4 .. 40 ms) and decaying by 60 dB in
//    T60 = length x 125 / A seconds, where A = (2 a_wall + a_floor) / 3 in
//    the block's units: more absorption decays faster, a longer length
//    slower. Its energy is that of the direct sound at 1 m times T60 / 0.5 s
//    and the microphone pattern's diffuse-field power. The tone bands (a
//    +4 dB peak each, bandwidth the width, left out above 0.45 x rate) and
//    the balance (a low shelf of the low level and a high shelf of the high
//    level at the turnover frequency) colour the tail only.
//  - the length in frames: until the tail has decayed to the response
//    floor (T60 x floor / -60 dB after the direct sound); reflections that
//    would arrive later are left out.
// The microphones: spacing apart, centred on the listener, across the
// direction they face, which is the direction to the source turned by the
// microphone angle (counter-clockwise seen from above); each points 55
// degrees outward from it. Pattern gain a + (1 - a) cos(theta): omni a = 1,
// subcardioid 0.7, cardioid 0.5, supercardioid 0.37, hypercardioid 0.25,
// figure of eight 0 (mode 0 .. 5).
// The pre-delay of the response is the direct sound's arrival at the
// nearer microphone (rounded down to a frame), so the convolution keeps
// the direct sound in place.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/convolution/impulse_response.h"
#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_REVERB {

// Block (64 bytes, little-endian):
//   +0  f32 source x (m)              default 3.0
//   +4  f32 source y (m)              default 2.0
//   +8  f32 listener x (m)            default 5.0
//   +12 f32 listener y (m)            default 4.0
//   +16 i16 wall absorption 80..180              default 125
//   +18 i16 floor and ceiling absorption 80..180 default 135
//   +20 i16 room shape 4..5                      default 4
//   +22 i16 reflection count 2..15               default 12
//   +24 i16 diffusion 80..98 %                   default 94
//   +26 i16 response floor -8000..-4000 (0.01 dB) default -5000
//   +28 i16 microphone pattern 0..5              default 0 (omni)
//   +30 u8  direct sound included                default 1
//   +31 reserved
//   +32 i16 microphone angle 0..359 degrees      default 0
//   +34 i16 microphone spacing 20..28 (0.01 m)   default 24
//   +36 u8  normalise the response               default 1
//   +37 reserved
//   +38 i16 band 1 frequency -6000..6000 cents re 1 kHz  default -1200
//   +40 i16 band 1 width 100..600 cents                  default 300
//   +42, +44 band 2 (default 0, 300), +46, +48 band 3 (default 1200, 300)
//   +50 i16 low level -2000..1000 (0.01 dB)      default 0
//   +52 i16 turnover frequency 300..3600 Hz      default 1200
//   +54 i16 high level -2000..1000 (0.01 dB)     default -600
//   +56 i16 length 10..60 (0.1 s)                default 20
//   +58 reserved (6 bytes)
inline constexpr std::uint32_t kBlockSize = 64;

// The room's outside replacement.
inline constexpr double kFallbackX = 1.5;
inline constexpr double kFallbackY = 1.0;

const SettingsLayout& Layout();

// The response of the block (held to its ranges first) at `rate`: two
// channels, the delay set to the pre-delay. Samples are rounded to float,
// as they are applied and as a saved response holds them. `moved` (when
// given) tells whether a position was outside the room. Errors: 2.
[[nodiscard]] Error SynthesiseRoomResponse(const SettingsBlock& block, std::uint32_t rate,
                                           NS_EFFECT::ImpulseResponse* out, bool* moved = nullptr);

// Whether the block (held to its ranges) asks for normalisation.
bool NormaliseOption(const SettingsBlock& block, std::uint32_t rate);

struct MySetupParams : CEffEntry::SetupParams {
  NS_EFFECT::ImpulseResponse ir;
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
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_REVERB
