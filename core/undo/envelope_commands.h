// The editing of a document's volume envelope. Each command records one
// undo step of the envelope kind, tells the editor window to redraw and the
// frame that the undo history changed.
#pragma once

#include <cstdint>

#include "core/document/envelope.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Adds a point at `position` (limited to the length) with the envelope's
// current level there. The new point goes to `*added` when given.
[[nodiscard]] Error AddEnvelopePoint(SoundDocument& document, std::uint32_t position, EnvelopePoint** added = nullptr);

// Replaces `point`, which must be in the envelope (77 otherwise), by a new
// one at `position` (limited to the length) with `level` (finite, else 77).
// Nothing is recorded when both stay as they are. The new point goes to
// `*moved` when given (the old one when nothing changed).
[[nodiscard]] Error MoveEnvelopePoint(SoundDocument& document, EnvelopePoint* point, std::uint32_t position,
                                      float level, EnvelopePoint** moved = nullptr);

// Removes `point`, which must be in the envelope (77 otherwise).
[[nodiscard]] Error DeleteEnvelopePoint(SoundDocument& document, EnvelopePoint* point);

// Removes every point with from <= position < to; with none there nothing
// is recorded.
[[nodiscard]] Error DeleteEnvelopeRange(SoundDocument& document, std::uint32_t from, std::uint32_t to);

}  // namespace tidemark
