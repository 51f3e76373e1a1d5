// The document's volume envelope for mixdown: points sorted by position,
// each a linear gain factor.
#pragma once

#include <cstdint>

#include "core/document/node_list.h"
#include "platform/intrusive_ref.h"

namespace tidemark {

struct EnvelopePoint : RefCounted<EnvelopePoint> {
  EnvelopePoint* next = nullptr;
  std::uint32_t position = 0;  // frames
  float level = 1.0f;          // linear gain factor
};

// A new point with one reference; null when memory runs out.
EnvelopePoint* NewEnvelopePoint(std::uint32_t position, float level);

using EnvelopeList = NodeList<EnvelopePoint>;

// Multiplies `frames` interleaved float frames starting at document frame
// `first_frame` by the envelope's gain: the first level before the first
// point, a per-frame linear run between points, the last level after the
// last point. Stretches whose gain is exactly 1 are left untouched; an empty
// list leaves the signal unchanged.
void EvaluateEnvelope(const EnvelopeList& list, std::uint16_t channels, std::uint32_t first_frame,
                      std::uint32_t frames, float* buffer);

// The envelope's level at `frame` (1 for an empty list).
float EnvelopeLevelAt(const EnvelopeList& list, std::uint32_t frame);

}  // namespace tidemark
