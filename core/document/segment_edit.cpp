#include "core/document/internal/segment_edit.h"

#include <cstring>

#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

constexpr SegmentGain kUnityGain{};

std::uint64_t EndOf(const Segment& s) { return std::uint64_t{s.position} + s.length; }

bool BitwiseEqual(const SegmentGain& a, const SegmentGain& b) {
  return std::memcmp(&a, &b, sizeof(SegmentGain)) == 0;
}

// Two neighbours merge when they read on from each other: same source, no
// gap in the document, contiguous source frames (any frames, for silence)
// and equal gain blocks.
bool CanMerge(const Segment& a, const Segment& b) {
  if (a.source.get() != b.source.get() || EndOf(a) != b.position) return false;
  if (a.source->kind() != SourceKind::Silence &&
      std::uint64_t{a.source_offset} + a.length != b.source_offset)
    return false;
  return GainBlocksEqual(a.gain.get(), b.gain.get());
}

// Merges neighbours from `from` (the list's head when null) up to `stop`,
// the first segment after the edited span (null: the end of the list). Only
// these pairs can have become neighbours through the edit.
void MergeSpan(SegmentList& list, Segment* from, Segment* stop) {
  Segment* s = from ? from : list.first();
  while (s && s != stop && s->next) {
    Segment* n = s->next;
    if (!CanMerge(*s, *n)) {
      s = n;
      continue;
    }
    s->length += n->length;
    if (n == stop) stop = s;
    list.Remove(n);  // the unique_ptr handed back frees the node
  }
}

std::unique_ptr<Segment> CopyPiece(const Segment& s, std::uint32_t from, std::uint32_t to,
                                   std::uint32_t base) {
  auto piece = std::make_unique<Segment>();
  piece->source = s.source;
  piece->position = from - base;
  piece->length = to - from;
  piece->source_offset = s.source_offset + (from - s.position);
  if (s.gain) piece->gain = std::make_unique<SegmentGain>(*s.gain);
  return piece;
}

// The request's own content must fit what it claims: segments sorted,
// non-overlapping, inside [0, new length), over sources with the document's
// channel count; markers and envelope points sorted and at most new length.
template <typename Node>
bool NodesFit(const NodeList<Node>& list, std::uint32_t limit) {
  std::uint32_t last = 0;
  for (const Node* p = list.first(); p; p = p->next) {
    if (p->position < last || p->position > limit) return false;
    last = p->position;
  }
  return true;
}

bool RequestFits(const SoundDocument& doc, const EditRequest& r) {
  std::uint64_t end = 0;
  for (const Segment* s = r.segments.first(); s; s = s->next) {
    if (!s->source || s->source->channels() != doc.channels || s->length == 0) return false;
    if (s->position < end || EndOf(*s) > r.new_length) return false;
    end = EndOf(*s);
  }
  if (!r.markers_and_envelope) return true;
  if (r.new_length == 0 && (!r.markers.empty() || !r.envelope.empty())) return false;
  return NodesFit(r.markers, r.new_length) && NodesFit(r.envelope, r.new_length);
}

// Takes the entries in [start, start + old) out of `list` (rebased by
// -start), shifts those after by new - old, and links `incoming` (rebased by
// +start) where the removed ones were. Returns the removed entries.
template <typename Node>
NodeList<Node> SpliceNodes(NodeList<Node>& list, std::uint32_t start, std::uint32_t old_length,
                           std::uint32_t new_length, NodeList<Node>& incoming) {
  const std::uint64_t end = std::uint64_t{start} + old_length;
  Node* before = nullptr;  // the last entry below start
  for (Node* p = list.first(); p && p->position < start; p = p->next) before = p;

  NodeList<Node> removed;
  Node* removed_tail = nullptr;
  while (true) {
    Node* p = before ? before->next : list.first();
    if (!p || p->position >= end) break;
    Node* node = list.UnlinkAfter(before);
    node->position -= start;
    removed.InsertAfterAdopt(removed_tail, node);
    removed_tail = node;
  }
  if (new_length != old_length)
    for (Node* p = before ? before->next : list.first(); p; p = p->next)
      p->position = p->position - old_length + new_length;
  Node* tail = before;
  while (Node* node = incoming.UnlinkAfter(nullptr)) {
    node->position += start;
    list.InsertAfterAdopt(tail, node);
    tail = node;
  }
  return removed;
}

}  // namespace

bool GainBlocksEqual(const SegmentGain* a, const SegmentGain* b) {
  if (!a && !b) return true;
  if (!a) return BitwiseEqual(*b, kUnityGain);
  if (!b) return BitwiseEqual(*a, kUnityGain);
  return BitwiseEqual(*a, *b);
}

Error CopyRange(const SegmentList& list, std::uint32_t start, std::uint32_t length, SegmentList* out) {
  SegmentList copy;
  const std::uint64_t end = std::uint64_t{start} + length;
  const Error rc = TryAlloc([&] {
    for (const Segment* s = list.first(); length > 0 && s && s->position < end; s = s->next) {
      if (EndOf(*s) <= start || s->length == 0) continue;
      const std::uint32_t from = s->position > start ? s->position : start;
      const std::uint32_t to = static_cast<std::uint32_t>(EndOf(*s) < end ? EndOf(*s) : end);
      copy.PushBack(CopyPiece(*s, from, to, start));
    }
  });
  if (rc) {
    *out = SegmentList();
    return rc;
  }
  *out = std::move(copy);
  return err::kOk;
}

Error ReplaceRange(SoundDocument& doc, EditRequest& r) {
  const std::uint32_t S = r.start, O = r.old_length, N = r.new_length, L = doc.length;
  if (L > kMaxFrames || O > kMaxFrames || N > kMaxFrames || O > L || S > L - O ||
      std::uint64_t{L} - O + N > kMaxFrames || !RequestFits(doc, r))
    return err::kSizeLimit;

  if (doc.editor) doc.editor->Send(editor_msg::kSetSelection, S, std::uint64_t{S} + O);

  SegmentList removed;
  if (const Error rc = CopyRange(doc.segments, S, O, &removed)) return rc;

  // The split below is the only allocation left, made before anything
  // is unlinked.
  const std::uint32_t E = S + O;
  SegmentList& list = doc.segments;
  Segment* s = list.first();
  while (s && EndOf(*s) <= S) s = s->next;
  if (s && s->position < S && EndOf(*s) > E) {
    std::unique_ptr<Segment> second;
    if (const Error rc = TryAlloc([&] { second = CopyPiece(*s, S, static_cast<std::uint32_t>(EndOf(*s)), 0); }))
      return rc;
    s->length = S - s->position;
    s = list.InsertBefore(s->next, std::move(second));
  } else if (s && s->position < S) {
    s->length = S - s->position;  // overlaps the start: keep the part before it
    s = s->next;
  }
  while (s && EndOf(*s) <= E) {
    Segment* n = s->next;
    list.Remove(s);
    s = n;
  }
  if (s && s->position < E) {  // overlaps the end: keep the part after it
    const std::uint32_t cut = E - s->position;
    s->source_offset += cut;
    s->length -= cut;
    s->position = E;
  }
  // `s` is now the first segment at or after E.
  Segment* after = s;
  Segment* before = after ? after->prev : list.last();
  if (N != O)
    for (Segment* p = after; p; p = p->next) p->position = p->position - O + N;

  while (!r.segments.empty()) {
    std::unique_ptr<Segment> seg = r.segments.Remove(r.segments.first());
    seg->position += S;
    list.InsertBefore(after, std::move(seg));
  }
  MergeSpan(list, before, after);

  doc.length = L - O + N;

  MarkerList removed_markers;
  EnvelopeList removed_envelope;
  if (r.markers_and_envelope) {
    removed_markers = SpliceNodes(doc.markers, S, O, N, r.markers);
    removed_envelope = SpliceNodes(doc.envelope, S, O, N, r.envelope);
  }

  if (doc.editor) doc.editor->Send(editor_msg::kContentReplaced, O, N);

  r.old_length = N;
  r.new_length = O;
  r.segments = std::move(removed);
  r.markers = std::move(removed_markers);
  r.envelope = std::move(removed_envelope);
  return err::kOk;
}

}  // namespace tidemark
