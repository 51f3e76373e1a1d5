#include "core/document/envelope.h"

#include <new>

namespace tidemark {

EnvelopePoint* NewEnvelopePoint(std::uint32_t position, float level) {
  auto* p = new (std::nothrow) EnvelopePoint;
  if (!p) return nullptr;
  p->position = position;
  p->level = level;
  return p;
}

}  // namespace tidemark
