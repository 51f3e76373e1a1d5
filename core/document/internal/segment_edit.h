// The one edit operation on a document's segment list, and copying stretches
// of a segment list.
#pragma once

#include <cstdint>

#include "core/document/edit_request.h"
#include "core/document/segment.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Replaces [start, start + old_length) of the document with the request's
// content, telling the editor window (set selection first, content replaced
// last). On success the request holds the exact inverse edit; on error (77
// for limits, 2 out of memory) nothing has changed. The modification counter
// is not touched: the caller that records the edit counts it.
[[nodiscard]] Error ReplaceRange(SoundDocument& document, EditRequest& request);

// Copies [start, start + length) of `list` into `out` with positions relative
// to `start`: pieces cut by a boundary are trimmed, each holds its own source
// reference and a copy of its gain block. 2 when memory runs out (`out` is
// then empty).
[[nodiscard]] Error CopyRange(const SegmentList& list, std::uint32_t start, std::uint32_t length, SegmentList* out);

// Whether two gain blocks count as equal for merging: both absent, one absent
// and the other exactly {1, 0, 1, 0}, or both bitwise equal.
bool GainBlocksEqual(const SegmentGain* a, const SegmentGain* b);

}  // namespace tidemark
