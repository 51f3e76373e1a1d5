// The document's marker commands. Each records one undo step, tells the
// editor window which nodes left and entered the list, and counts in the
// marker-change counter.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/markers/marker.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Adds the markers of `list` (taken over) to the document's list in order.
// An empty list adds nothing and records nothing.
[[nodiscard]] Error AddMarkers(SoundDocument& document, MarkerList list);

// Removes the given nodes, which must be in the document's list.
[[nodiscard]] Error DeleteMarkers(SoundDocument& document, std::span<Marker* const> nodes);

// Moves `marker` (same name and comment) or replaces it by an edited copy.
[[nodiscard]] Error ChangeMarker(SoundDocument& document, Marker* marker, std::uint32_t position,
                                 std::string_view name, std::string_view comment);

}  // namespace tidemark
