// A singly linked list of reference-counted nodes sorted by position: the
// shape shared by a document's markers and its envelope points. The list
// holds one reference per node it links; undo records and clips hold their
// own lists of the same nodes. The nodes count with a plain count: a
// document with its lists and undo records is changed on one thread only,
// and a clip holds copies of the nodes, never the document's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace tidemark {

// Node requirements: `Node* next`, `std::uint32_t position`, and the
// AddRef() and Release() of RefCounted.
template <typename Node>
class NodeList {
 public:
  NodeList() = default;
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  NodeList(NodeList&& o) noexcept : first_(std::exchange(o.first_, nullptr)) {}
  NodeList& operator=(NodeList&& o) noexcept {
    if (this != &o) {
      Clear();
      first_ = std::exchange(o.first_, nullptr);
    }
    return *this;
  }
  ~NodeList() { Clear(); }

  Node* first() const { return first_; }
  bool empty() const { return first_ == nullptr; }
  std::size_t size() const { return List(nullptr); }
  // Puts the nodes in order into `out` (when given; room for size()) and
  // gives their count.
  std::size_t List(Node** out) const {
    std::size_t n = 0;
    for (Node* p = first_; p; p = p->next, ++n)
      if (out) out[n] = p;
    return n;
  }

  // Links `node` in front; the list takes over the caller's reference.
  void PushFrontAdopt(Node* node) {
    node->next = first_;
    first_ = node;
  }
  // Links `node` after `after` (in front when null); takes over the reference.
  void InsertAfterAdopt(Node* after, Node* node) {
    if (!after) return PushFrontAdopt(node);
    node->next = after->next;
    after->next = node;
  }
  // Unlinks the node after `before` (the first when null) and hands its
  // reference to the caller.
  Node* UnlinkAfter(Node* before) {
    Node*& link = before ? before->next : first_;
    Node* node = link;
    if (node) {
      link = node->next;
      node->next = nullptr;
    }
    return node;
  }
  // The last node, or null.
  Node* last() const {
    Node* p = first_;
    while (p && p->next) p = p->next;
    return p;
  }
  void Clear() {
    while (Node* n = UnlinkAfter(nullptr)) n->Release();
  }

 private:
  Node* first_ = nullptr;
};

}  // namespace tidemark
