// The remembered noise sample: a copy of a stretch of some document that
// hiss reduction can measure its noise profile from instead of the
// selection. The copy shares the document's sound sources by counted
// reference (as the clip does), so it holds no samples in memory and
// survives edits to the document and its closing. One per program.
#pragma once

#include <cstdint>

#include "core/edit/sound_clip.h"
#include "platform/error.h"

namespace tidemark {
struct SoundDocument;
}

namespace tidemark::NS_EFFECT_HISS {

// "The selection is too short for this operation."
inline constexpr Error kTooShort{47};

// Remembers [from, to) of `document` as the noise sample, in place of the
// one before. kTooShort, and the old sample kept, when the stretch is
// shorter than the shortest FFT frame hiss reduction uses at the
// document's rate; 77 when the range is not inside the document; 2.
[[nodiscard]] Error RememberNoiseSample(const SoundDocument& document, std::uint32_t from, std::uint32_t to);
// Forgets the noise sample (nothing when there is none).
void ForgetNoiseSample();
// The noise sample; empty when there is none.
ClipRef CurrentNoiseSample();

}  // namespace tidemark::NS_EFFECT_HISS
