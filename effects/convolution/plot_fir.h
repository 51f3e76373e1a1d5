// Drawn FIR filter: a frequency response given as (frequency, gain) points,
// designed as a linear-phase FIR and applied by partitioned convolution
// (with the clip guard), its delay compensated.
//
// Design: the gain is interpolated between the points (linearly in dB over
// frequency, or over log frequency), held flat beyond the first and last
// point; M = the power of two at least 4 x rate / (lowest point's
// frequency), within 256..262144; the zero-phase response sampled at the M
// bins k x rate / M is inverse-transformed, centred, cut to M - 1 taps
// (odd, symmetric) and shaped by a Blackman window. The centre tap's
// position is the declared pre-delay, so the output stays aligned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_FIRPLOT {

// Block (4 bytes and the points):
//   +0 u8  interpolation: 0 linear frequency, 1 logarithmic (default)
//   +1 u8  wide: 0 the points are in the narrow code page, else UTF-16LE
//   +2 reserved (2 bytes)
//   +4 the points "F:G,F:G,..." (F in Hz, 0 < F <= rate / 2; G in dB,
//      -120..24), to the end of the block; none: flat (one tap of 1.0, the
//      sound passes unchanged). Any order; a frequency given
//      twice, a missing or malformed number or one out of range refuses the
//      list.
inline constexpr std::uint32_t kBlockSize = 4;

// A point list that cannot be used.
inline constexpr Error kPointsUnusable{71};

struct Point {
  double hz = 0;
  double db = 0;
};

// Parses and sorts the points; false with `*why` on a fault.
bool ParsePoints(std::string_view text, std::uint32_t rate, std::vector<Point>* points, std::string* why);

// The linear-phase design (odd length) for `rate`.
[[nodiscard]] Error DesignDrawnFir(const std::vector<Point>& points, bool logarithmic, std::uint32_t rate,
                                   std::vector<float>* taps);

struct MySetupParams : CEffEntry::SetupParams {
  std::vector<float> taps;
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

}  // namespace tidemark::NS_EFFECT_FIRPLOT
