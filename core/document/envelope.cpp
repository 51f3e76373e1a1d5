#include "core/document/envelope.h"

#include "platform/alloc.h"

namespace tidemark {

EnvelopePoint* NewEnvelopePoint(std::uint32_t position, float level) {
  EnvelopePoint* p = nullptr;
  if (MakeNew(&p)) return nullptr;
  p->position = position;
  p->level = level;
  return p;
}

}  // namespace tidemark
