// The common face of the compressors: a block run that can be changed while
// a preview plays, told where the selection ends, and watched by a
// gain-reduction meter.
#pragma once

#include <cstdint>

#include "effects/framework/effect_run.h"
#include "platform/error.h"

namespace tidemark::NS_EFFECT {

// What shows the gain reduction during a preview: told the smallest overall
// gain (makeup included; 1.0 is no change) of each processed block.
class GainMeter {
 public:
  virtual ~GainMeter() = default;
  virtual void ShowGain(float smallest) = 0;
};

class CCompressIf : public CEffRun {
 public:
  // A live change: `inv_ratio` is 1 / ratio, `threshold` the linear T,
  // `makeup` the linear M. The delay lines are kept, so playback goes on
  // without a gap or a gain step. A new rate or channel count starts afresh
  // (2 when that allocation fails; the run is then as it was).
  [[nodiscard]] virtual Error Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio,
                                          float threshold, float window_ms, float makeup) = 0;
  // The selection length in frames: from there on (plus the window) the
  // gain returns to unity.
  virtual void SetEnd(std::uint64_t length) = 0;
  // The meter told after each block; null detaches it. Not owned.
  virtual void AttachMeter(GainMeter* meter) = 0;
  // The smallest overall gain applied during the last block.
  virtual float SmallestGain() const = 0;
};

}  // namespace tidemark::NS_EFFECT
