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

void AddRef(EnvelopePoint* point) { ++point->refs; }

void Release(EnvelopePoint* point) {
  if (--point->refs == 0) delete point;
}

}  // namespace tidemark
