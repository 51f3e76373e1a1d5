// The change operations on a document's marker list and envelope: linking,
// unlinking, exchanging and moving nodes, with what the editor window is
// told. The undo records and the marker and envelope commands share them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/document/envelope.h"
#include "core/markers/marker.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// One reference to each of some nodes, given back on scope exit; the
// commands hold their nodes this way across a change and its record.
template <typename Node>
class HeldNodes {
 public:
  HeldNodes() = default;
  HeldNodes(const HeldNodes&) = delete;
  HeldNodes& operator=(const HeldNodes&) = delete;
  ~HeldNodes() {
    for (Node* n : nodes) n->Release();
  }
  std::vector<Node*> nodes;
};

// Applies `op` (change_op) to the document's marker list:
//  'A' links every node at its sorted place (the list takes a reference);
//  'D' unlinks every node (the list's reference goes) and leaves `nodes` in
//      the order they had in the list;
//  'R' unlinks nodes[0] and links nodes[1] where it was, or at its sorted
//      place when its position does not fit there;
//  'M' exchanges the positions of nodes[0] (in the list) and nodes[1]
//      (detached); nodes[0] keeps its place unless its new position breaks
//      the order, when it moves to its sorted place.
// The editor window hears of every node that leaves ('D') or enters ('A')
// the list and, when one node was affected, which position to show. The
// caller holds a reference to every node. 77 when the nodes do not fit the
// operation (one not in the list, or already in it, repeated, null, a wrong
// count), 2 when memory runs out; nothing changes then.
[[nodiscard]] Error ChangeMarkers(SoundDocument& document, std::uint8_t op, std::span<Marker*> nodes);

// Likewise for envelope points ('A', 'D', 'R'); the editor window has no
// notice for points and is told to redraw.
[[nodiscard]] Error ChangeEnvelope(SoundDocument& document, std::uint8_t op, std::span<EnvelopePoint*> points);

// Links `point` after every point with the same or a smaller position and
// takes over the caller's reference; false, and nothing changes, when it is
// already in the list.
bool InsertEnvelopePoint(EnvelopeList& list, EnvelopePoint* point);

}  // namespace tidemark
