// Commands over the stretches between markers: selecting the region after
// or before the selection start, and taking over another document's markers.
#pragma once

#include <cstdint>

#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Selects from the first marker after the selection start to the marker
// that follows it (or to the end). Behind the last marker it wraps to the
// start, showing the "no further marker" status line when the first marker
// is not at 0. Nothing happens without markers; otherwise the editor window
// is told to show the new selection.
void SelectNextRegion(SoundDocument& document);

// Selects from the last marker before the selection start to the marker
// after it (or to the end). Without one: from 0 to the first marker (with
// the status line) when the selection starts after 0, else it wraps to the
// region behind the last marker before the end (the whole document, with
// the status line, when there is none).
void SelectPreviousRegion(SoundDocument& document);

// Copies `source`'s markers into `target` as one undoable step: scaled to
// the target's rate, placed from the selection start on and limited to the
// target's end. `source` may be `target`. Errors: 2 out of memory, or
// AddMarkers's.
[[nodiscard]] Error CopyMarkersFromDocument(SoundDocument& target, const SoundDocument& source);

}  // namespace tidemark
