// Effects that hand a per-channel factor to the document's range-gain
// operation instead of streaming samples through a worker.
#pragma once

#include <cmath>
#include <functional>

#include "effects/framework/effect_entry.h"

namespace tidemark {

// 10^(level / 2000) for a level in 0.01 dB.
inline double CentiDbToLinear(double level) { return std::pow(10.0, level / 2000.0); }

// Execute of a range-gain entry: 0xFFFFFFFB without a selection; the params;
// the dialog when the entry has one, else the quiet setup (which may scan
// under a progress scope); then `factor(params)` for the masked channels
// (1 for the others) applied to the selection as one undo step named by the
// entry. `factor` may answer 0xFFFFFFFB to change nothing.
[[nodiscard]] Error ExecuteRangeGain(CEffEntry_Std& entry, SoundDocument* target,
                                     const std::function<Error(const CEffEntry::SetupParams&, float*)>& factor);

}  // namespace tidemark
