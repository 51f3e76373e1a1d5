#include "core/undo/internal/node_change.h"

#include <algorithm>
#include <functional>
#include <type_traits>
#include <vector>

#include "core/markers/marker_list.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_record.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

MarkerList& ListOf(SoundDocument& doc, Marker*) { return doc.markers; }
EnvelopeList& ListOf(SoundDocument& doc, EnvelopePoint*) { return doc.envelope; }

bool LinkSorted(MarkerList& list, Marker* m) { return InsertMarker(list, m); }
bool LinkSorted(EnvelopeList& list, EnvelopePoint* p) { return InsertEnvelopePoint(list, p); }

void Tell(SoundDocument& doc, std::uint8_t letter, Marker* m) {
  if (doc.editor) doc.editor->Send(editor_msg::kMarkerChanged, letter, reinterpret_cast<MsgParam>(m));
}
void Tell(SoundDocument&, std::uint8_t, EnvelopePoint*) {}

void TellDone(SoundDocument&, Marker*) {}
void TellDone(SoundDocument& doc, EnvelopePoint*) {
  if (doc.editor) doc.editor->Send(editor_msg::kRedraw, 0, 0);
}

// The node before `node` in `list` (null for the first); `*found` tells
// whether `node` is linked at all.
template <typename Node>
Node* Predecessor(const NodeList<Node>& list, const Node* node, bool* found) {
  Node* before = nullptr;
  for (Node* p = list.first(); p; before = p, p = p->next)
    if (p == node) {
      *found = true;
      return before;
    }
  *found = false;
  return nullptr;
}

// Whether `position` keeps the order between `before` and the node after it.
template <typename Node>
bool FitsBetween(const Node* before, const Node* after, std::uint32_t position) {
  return (!before || before->position <= position) && (!after || position <= after->position);
}

// The nodes sorted by address for membership tests; 77 when one is named
// twice, 2 when the copy cannot be made.
template <typename Node>
Error SortedDistinct(std::span<Node*> nodes, std::vector<Node*>* sorted) {
  if (const Error rc = TryAlloc([&] { sorted->assign(nodes.begin(), nodes.end()); })) return rc;
  std::sort(sorted->begin(), sorted->end(), std::less<Node*>());
  if (std::adjacent_find(sorted->begin(), sorted->end()) != sorted->end()) return err::kSizeLimit;
  return err::kOk;
}

template <typename Node>
Error LinkAll(SoundDocument& doc, NodeList<Node>& list, std::span<Node*> nodes) {
  std::vector<Node*> sorted;
  if (const Error e = SortedDistinct(nodes, &sorted)) return e;
  for (const Node* p = list.first(); p; p = p->next)
    if (std::binary_search(sorted.begin(), sorted.end(), p, std::less<const Node*>())) return err::kSizeLimit;
  for (Node* n : nodes) {
    n->AddRef();
    LinkSorted(list, n);  // cannot refuse: checked above
    Tell(doc, change_op::kAdd, n);
  }
  return err::kOk;
}

template <typename Node>
Error UnlinkAll(SoundDocument& doc, NodeList<Node>& list, std::span<Node*> nodes) {
  std::vector<Node*> sorted;
  if (const Error e = SortedDistinct(nodes, &sorted)) return e;
  auto held = [&](const Node* p) { return std::binary_search(sorted.begin(), sorted.end(), p, std::less<const Node*>()); };
  std::size_t linked = 0;
  for (const Node* p = list.first(); p; p = p->next) linked += held(p) ? 1 : 0;
  if (linked != nodes.size()) return err::kSizeLimit;

  std::size_t k = 0;
  Node* before = nullptr;
  for (Node* p = list.first(); p;) {
    if (!held(p)) {
      before = p;
      p = p->next;
      continue;
    }
    Tell(doc, change_op::kDelete, p);
    Node* n = list.UnlinkAfter(before);
    nodes[k++] = n;
    n->Release();  // the list's reference; the caller holds another
    p = before ? before->next : list.first();
  }
  return err::kOk;
}

template <typename Node>
Error Exchange(SoundDocument& doc, NodeList<Node>& list, Node* old_node, Node* new_node) {
  bool linked = false;
  Node* before = Predecessor(list, old_node, &linked);
  bool other = false;
  Predecessor(list, new_node, &other);
  if (!linked || other) return err::kSizeLimit;
  Tell(doc, change_op::kDelete, old_node);
  list.UnlinkAfter(before)->Release();
  new_node->AddRef();
  Node* after = before ? before->next : list.first();
  if (FitsBetween(before, after, new_node->position))
    list.InsertAfterAdopt(before, new_node);
  else
    LinkSorted(list, new_node);
  Tell(doc, change_op::kAdd, new_node);
  return err::kOk;
}

Error Move(SoundDocument& doc, MarkerList& list, Marker* node, Marker* detached) {
  bool linked = false;
  Marker* before = Predecessor(list, node, &linked);
  bool other = false;
  Predecessor(list, detached, &other);
  if (!linked || other) return err::kSizeLimit;
  Tell(doc, change_op::kDelete, node);
  std::swap(node->position, detached->position);
  if (!FitsBetween(before, node->next, node->position)) {
    Marker* m = list.UnlinkAfter(before);  // the list's reference moves along
    LinkSorted(list, m);
  }
  Tell(doc, change_op::kAdd, node);
  return err::kOk;
}

template <typename Node>
Error Change(SoundDocument& doc, std::uint8_t op, std::span<Node*> nodes, bool can_move) {
  if (nodes.empty() || std::find(nodes.begin(), nodes.end(), nullptr) != nodes.end()) return err::kSizeLimit;
  NodeList<Node>& list = ListOf(doc, nodes[0]);
  const bool pair = op == change_op::kReplace || op == change_op::kMove;
  if (pair && (nodes.size() != 2 || nodes[0] == nodes[1])) return err::kSizeLimit;
  Error rc;
  const Node* shown = nodes.size() == 1 || pair ? nodes[0] : nullptr;
  switch (op) {
    case change_op::kAdd:
      rc = LinkAll(doc, list, nodes);
      break;
    case change_op::kDelete:
      rc = UnlinkAll(doc, list, nodes);
      break;
    case change_op::kReplace:
      rc = Exchange(doc, list, nodes[0], nodes[1]);
      shown = nodes[1];
      break;
    case change_op::kMove:
      if constexpr (std::is_same_v<Node, Marker>) {
        rc = can_move ? Move(doc, list, nodes[0], nodes[1]) : err::kSizeLimit;
      } else {
        rc = err::kSizeLimit;
      }
      break;
    default:
      rc = err::kSizeLimit;
  }
  if (rc) return rc;
  TellDone(doc, nodes[0]);
  if (shown && doc.editor) doc.editor->Send(editor_msg::kShowPosition, shown->position, 0);
  return err::kOk;
}

}  // namespace

bool InsertEnvelopePoint(EnvelopeList& list, EnvelopePoint* point) {
  // In an ordered list a linked node lies among those with the same or a
  // smaller position, so that prefix is all there is to check.
  EnvelopePoint* after = nullptr;
  for (EnvelopePoint* p = list.first(); p && p->position <= point->position; p = p->next) {
    if (p == point) return false;
    after = p;
  }
  list.InsertAfterAdopt(after, point);
  return true;
}

Error ChangeMarkers(SoundDocument& document, std::uint8_t op, std::span<Marker*> nodes) {
  return Change(document, op, nodes, true);
}

Error ChangeEnvelope(SoundDocument& document, std::uint8_t op, std::span<EnvelopePoint*> points) {
  return Change(document, op, points, false);
}

}  // namespace tidemark
