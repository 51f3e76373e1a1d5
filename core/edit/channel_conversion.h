// Making a mono document stereo in place, for effects whose output has two
// channels: every segment, in the document and in its undo history, becomes
// a stereo view of its source (each sample doubled), so earlier undo steps
// still fit the document.
#pragma once

#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Nothing for a document that is not mono. 2 when memory runs out, with the
// document and its history unchanged.
[[nodiscard]] Error ConvertToStereo(SoundDocument& document);

}  // namespace tidemark
