// The one edit operation's argument: replace [start, start + old_length) with
// new_length frames of new segments (and, with the flag, new markers and
// envelope points). ReplaceRange turns it into its exact inverse.
#pragma once

#include <cstdint>

#include "core/document/envelope.h"
#include "core/markers/marker.h"
#include "core/document/segment.h"

namespace tidemark {

struct EditRequest {
  std::uint32_t start = 0;
  std::uint32_t old_length = 0;
  std::uint32_t new_length = 0;
  SegmentList segments;   // positions relative to start; gaps read as silence
  MarkerList markers;     // positions relative to start
  EnvelopeList envelope;  // positions relative to start
  bool markers_and_envelope = false;  // clear: the document's marker and envelope lists stay as they are
};

}  // namespace tidemark
