#include "core/undo/envelope_commands.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/undo/internal/node_change.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

bool Linked(const EnvelopeList& list, const EnvelopePoint* point) {
  for (const EnvelopePoint* p = list.first(); p; p = p->next)
    if (p == point) return true;
  return false;
}

}  // namespace

Error AddEnvelopePoint(SoundDocument& document, std::uint32_t position, EnvelopePoint** added) {
  if (added) *added = nullptr;
  position = std::min(position, document.length);
  HeldNodes<EnvelopePoint> held;
  if (const Error rc = TryAlloc([&] { held.nodes.reserve(1); })) return rc;
  EnvelopePoint* point = NewEnvelopePoint(position, EnvelopeLevelAt(document.envelope, position));
  if (!point) return err::kOutOfMemory;
  held.nodes.push_back(point);
  if (const Error rc = ChangeEnvelope(document, change_op::kAdd, held.nodes)) return rc;
  RecordEnvelopeChange(document, ChangeWord(change_op::kDelete, change_name::kAdding), held.nodes);
  if (added) *added = point;
  return err::kOk;
}

Error MoveEnvelopePoint(SoundDocument& document, EnvelopePoint* point, std::uint32_t position, float level,
                        EnvelopePoint** moved) {
  if (moved) *moved = nullptr;
  if (!point || !std::isfinite(level) || !Linked(document.envelope, point)) return err::kSizeLimit;
  position = std::min(position, document.length);
  if (position == point->position && level == point->level) {
    if (moved) *moved = point;
    return err::kOk;
  }
  HeldNodes<EnvelopePoint> held;
  if (const Error rc = TryAlloc([&] { held.nodes.reserve(2); })) return rc;
  EnvelopePoint* made = NewEnvelopePoint(position, level);
  if (!made) return err::kOutOfMemory;
  point->AddRef();
  held.nodes.push_back(point);
  held.nodes.push_back(made);
  if (const Error rc = ChangeEnvelope(document, change_op::kReplace, held.nodes)) return rc;
  EnvelopePoint* const now[2] = {made, point};  // the point in the list first
  RecordEnvelopeChange(document, ChangeWord(change_op::kReplace, change_name::kChanging), now);
  if (moved) *moved = made;
  return err::kOk;
}

Error DeleteEnvelopePoint(SoundDocument& document, EnvelopePoint* point) {
  if (!point) return err::kSizeLimit;
  HeldNodes<EnvelopePoint> held;
  if (const Error rc = TryAlloc([&] { held.nodes.reserve(1); })) return rc;
  point->AddRef();
  held.nodes.push_back(point);
  if (const Error rc = ChangeEnvelope(document, change_op::kDelete, held.nodes)) return rc;
  RecordEnvelopeChange(document, ChangeWord(change_op::kAdd, change_name::kDeleting), held.nodes);
  return err::kOk;
}

Error DeleteEnvelopeRange(SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  HeldNodes<EnvelopePoint> held;
  const Error rc = TryAlloc([&] {
    for (EnvelopePoint* p = document.envelope.first(); p; p = p->next)
      if (p->position >= from && p->position < to) {
        held.nodes.push_back(p);
        p->AddRef();
      }
  });
  if (rc) return rc;
  if (held.nodes.empty()) return err::kOk;
  if (const Error changed = ChangeEnvelope(document, change_op::kDelete, held.nodes)) return changed;
  RecordEnvelopeChange(document, ChangeWord(change_op::kAdd, change_name::kDeleting), held.nodes);
  return err::kOk;
}

}  // namespace tidemark
