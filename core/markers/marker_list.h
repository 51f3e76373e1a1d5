// Operations on marker lists: ordered insertion, merging, clamping, copying,
// shifting and rescaling. Lists hold one reference per node (MarkerList).
#pragma once

#include <cstdint>

#include "core/markers/marker.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Links `marker` after every marker with the same or a smaller position and
// takes over the caller's reference. False, and nothing changes, when the
// node is already in the list.
bool InsertMarker(MarkerList& list, Marker* marker);

// Sorts `unsorted` into a new list: positions above `length` become
// `length`, each marker is inserted in order, and a marker whose position,
// name and comment (absent counting as empty) equal those of one already
// placed is dropped (released).
MarkerList MergeSorted(MarkerList unsorted, std::uint32_t length);

// MergeSorted for a list built by prepending (file readers do): the order
// is turned back first, so markers at equal positions keep their file order.
MarkerList MergeSortedReversed(MarkerList reversed, std::uint32_t length);

// For an ordered list: positions limited to `length`, and any position below
// its predecessor's lifted to it.
void ClampMonotone(MarkerList& list, std::uint32_t length);

// New nodes for the markers with from <= position < to, positions minus
// `from` when `rebase` is set. 2 when memory runs out (`out` is then empty).
[[nodiscard]] Error CopyMarkerRange(const MarkerList& list, std::uint32_t from, std::uint32_t to,
                                    bool rebase, MarkerList* out);

// Adds `delta` to every position, limited to 0 ... kMaxFrames.
void ShiftMarkers(MarkerList& list, std::int64_t delta);

// position := min(round(position * new_rate / old_rate), maximum).
void ScaleMarkerRate(MarkerList& list, std::uint32_t old_rate, std::uint32_t new_rate, std::uint32_t maximum);

// Moves the document's markers when [start, start + old_length) becomes
// new_length frames: mapped proportionally with `stretch` (and a new length
// above 0), else markers in a removed tail are deleted; markers at or behind
// the old end move by the difference.
void AdjustMarkersForStretch(SoundDocument& document, std::uint32_t start, std::uint32_t old_length,
                             std::uint32_t new_length, bool stretch);

}  // namespace tidemark
