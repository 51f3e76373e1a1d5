// Time stretch and pitch-and-speed change of a document's selection, for the
// console and automation: each runs as a pull run under the caller's
// progress scope (progress shown, Ctrl-C honoured) and is one undo step.
#pragma once

#include "effects/framework/progress_scope.h"
#include "platform/error.h"

namespace tidemark {
struct SoundDocument;
}

namespace tidemark::NS_EFFECT {

inline constexpr double kStretchMinSpeed = 0.1, kStretchMaxSpeed = 10.0;
inline constexpr double kPitchSpeedMin = 0.5, kPitchSpeedMax = 2.0;

// The selection played `speed` times as fast with its pitch kept (WSOLA):
// round(length / speed) frames replace it. `smoothing` takes 60 ms
// crossfades instead of 30 ms (smoother on sustained sounds, softer
// attacks). err::kSizeLimit (77) for a speed outside 0.1..10 or a result
// past the length limit; kNoSelection without a selection.
[[nodiscard]] Error TimeStretch(ProgressScope& scope, SoundDocument& document, double speed, bool smoothing);

// The pitch times `pitch` and the tempo times `speed` (each 0.5..2): a
// stretch by speed / pitch (phase vocoder when `for_music`, else WSOLA)
// read by the pitch change's interpolator at `pitch`; round(length / speed)
// frames. Errors as TimeStretch's.
[[nodiscard]] Error TimeStretch2(ProgressScope& scope, SoundDocument& document, double pitch, double speed,
                                 bool for_music);

}  // namespace tidemark::NS_EFFECT
