#include "core/undo/marker_commands.h"

#include <vector>

#include "core/undo/internal/node_change.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

std::string_view CommentOf(const Marker& m) { return m.comment ? std::string_view(*m.comment) : std::string_view(); }

}  // namespace

Error AddMarkers(SoundDocument& document, MarkerList list) {
  if (list.empty()) return err::kOk;
  for (const Marker* m = list.first(); m; m = m->next)
    if (m->position > document.length) return err::kSizeLimit;
  HeldNodes<Marker> held;
  if (const Error rc = TryAlloc([&] { held.nodes.reserve(list.size()); })) return rc;
  // The list's references become ours.
  while (Marker* m = list.UnlinkAfter(nullptr)) held.nodes.push_back(m);
  if (const Error rc = ChangeMarkers(document, change_op::kAdd, held.nodes)) return rc;
  RecordMarkerChange(document, ChangeWord(change_op::kDelete, change_name::kAdding), held.nodes);
  return err::kOk;
}

Error DeleteMarkers(SoundDocument& document, std::span<Marker* const> nodes) {
  if (nodes.empty()) return err::kOk;
  HeldNodes<Marker> held;
  if (const Error rc = TryAlloc([&] { held.nodes.reserve(nodes.size()); })) return rc;
  for (Marker* m : nodes) {
    if (!m) return err::kSizeLimit;
    m->AddRef();  // keeps each node alive once the list lets go of it
    held.nodes.push_back(m);
  }
  if (const Error rc = ChangeMarkers(document, change_op::kDelete, held.nodes)) return rc;
  RecordMarkerChange(document, ChangeWord(change_op::kAdd, change_name::kDeleting), held.nodes);
  return err::kOk;
}

Error ChangeMarker(SoundDocument& document, Marker* marker, std::uint32_t position, std::string_view name,
                   std::string_view comment) {
  if (!marker || position > document.length) return err::kSizeLimit;
  // The new node is made first: its name is the cleaned one that the
  // comparison below must see.
  Marker* made = NewMarker(name, comment, position);
  if (!made) return err::kOutOfMemory;
  HeldNodes<Marker> held;
  if (const Error rc = TryAlloc([&] { held.nodes.reserve(2); }, [&] { made->Release(); })) return rc;
  marker->AddRef();
  held.nodes.push_back(marker);
  held.nodes.push_back(made);
  const bool same_text = made->name == marker->name && CommentOf(*made) == CommentOf(*marker);
  if (same_text && position == marker->position) {
    // Nothing would change; a node that is not in the list is still refused.
    bool linked = false;
    for (const Marker* p = document.markers.first(); p; p = p->next) linked = linked || p == marker;
    return linked ? err::kOk : err::kSizeLimit;
  }
  if (same_text) {
    // A move: the detached node ends up carrying the old position.
    if (const Error rc = ChangeMarkers(document, change_op::kMove, held.nodes)) return rc;
    RecordMarkerChange(document, ChangeWord(change_op::kMove, change_name::kChanging), held.nodes);
    return err::kOk;
  }
  if (const Error rc = ChangeMarkers(document, change_op::kReplace, held.nodes)) return rc;
  Marker* const now[2] = {made, marker};  // the node in the list first
  RecordMarkerChange(document, ChangeWord(change_op::kReplace, change_name::kChanging), now);
  return err::kOk;
}

}  // namespace tidemark
