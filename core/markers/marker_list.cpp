#include "core/markers/marker_list.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "core/samples/sample_format.h"
#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

std::string_view CommentOf(const Marker& m) { return m.comment ? std::string_view(*m.comment) : std::string_view(); }

bool SameMarker(const Marker& a, const Marker& b) {
  return a.position == b.position && a.name == b.name && CommentOf(a) == CommentOf(b);
}

// floor(value * num / den + 0.5), exactly, for any 32-bit operands (den > 0).
std::uint64_t RoundedRatio(std::uint64_t value, std::uint64_t num, std::uint64_t den) {
  const unsigned __int128 twice = static_cast<unsigned __int128>(value) * num * 2 + den;
  const unsigned __int128 q = twice / (static_cast<unsigned __int128>(den) * 2);
  return q > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(q);
}

std::uint32_t ClampFrames(std::int64_t v) {
  if (v < 0) return 0;
  if (v > std::int64_t{kMaxFrames}) return kMaxFrames;
  return static_cast<std::uint32_t>(v);
}

// Stable bottom-up merge sort of a null-terminated chain by position. Needs
// no memory, so merging a list cannot fail half-way.
Marker* SortChain(Marker* head) {
  bool sorted = true;
  for (const Marker* p = head; p && p->next; p = p->next)
    if (p->next->position < p->position) {
      sorted = false;
      break;
    }
  if (sorted) return head;

  for (std::size_t width = 1;; width *= 2) {
    Marker* p = head;
    Marker* tail = nullptr;
    head = nullptr;
    std::size_t merges = 0;
    while (p) {
      ++merges;
      Marker* q = p;
      std::size_t p_size = 0;
      while (p_size < width && q) {
        ++p_size;
        q = q->next;
      }
      std::size_t q_size = width;
      while (p_size > 0 || (q_size > 0 && q)) {
        Marker* e;
        // Ties take from the left run, which keeps equal positions in order.
        if (p_size > 0 && (q_size == 0 || !q || p->position <= q->position)) {
          e = p;
          p = p->next;
          --p_size;
        } else {
          e = q;
          q = q->next;
          --q_size;
        }
        (tail ? tail->next : head) = e;
        tail = e;
      }
      p = q;
    }
    tail->next = nullptr;
    if (merges <= 1) return head;
  }
}

// Appends the `count` markers of one equal-position run, starting at
// `first` and chained by `next`, to `out` behind `*tail`, releasing each
// marker that repeats an earlier one of the run. Returns the node after the
// run. Long runs are checked through a sorted index; short ones, or any when
// memory for the index is short, against the markers kept so far.
Marker* EmitRun(Marker* first, std::size_t count, MarkerList& out, Marker** tail) {
  constexpr std::size_t kIndexedRun = 16;
  std::vector<char> drop;
  if (count > kIndexedRun) {
    const Error rc = TryAlloc([&] {
      std::vector<Marker*> run;
      run.reserve(count);
      for (Marker* p = first; run.size() < count; p = p->next) run.push_back(p);
      std::vector<std::uint32_t> order(count);
      for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
      std::sort(order.begin(), order.end(), [&run](std::uint32_t a, std::uint32_t b) {
        if (const int c = run[a]->name.compare(run[b]->name)) return c < 0;
        if (const int c = CommentOf(*run[a]).compare(CommentOf(*run[b]))) return c < 0;
        return a < b;
      });
      drop.assign(count, 0);
      for (std::size_t i = 1; i < count; ++i)
        if (SameMarker(*run[order[i - 1]], *run[order[i]])) drop[order[i]] = 1;
    });
    if (rc) drop.clear();  // no index: checked against the markers kept
  }

  Marker* run_head = nullptr;  // the first marker of the run kept in `out`
  Marker* p = first;
  for (std::size_t i = 0; i < count; ++i) {
    Marker* next = p->next;
    bool repeat = false;
    if (!drop.empty()) {
      repeat = drop[i] != 0;
    } else {
      for (const Marker* k = run_head; k && !repeat; k = k->next) repeat = SameMarker(*k, *p);
    }
    if (repeat) {
      p->next = nullptr;
      p->Release();
    } else {
      out.InsertAfterAdopt(*tail, p);
      *tail = p;
      if (!run_head) run_head = p;
    }
    p = next;
  }
  return p;
}

}  // namespace

bool InsertMarker(MarkerList& list, Marker* marker) {
  // In an ordered list the node itself, if linked, lies among those with
  // the same or a smaller position, so that prefix is all there is to check.
  Marker* after = nullptr;
  for (Marker* p = list.first(); p && p->position <= marker->position; p = p->next) {
    if (p == marker) return false;
    after = p;
  }
  list.InsertAfterAdopt(after, marker);
  return true;
}

MarkerList MergeSorted(MarkerList unsorted, std::uint32_t length) {
  // Take the nodes into a plain chain, clamping on the way.
  Marker* head = nullptr;
  Marker* tail = nullptr;
  while (Marker* m = unsorted.UnlinkAfter(nullptr)) {
    if (m->position > length) m->position = length;
    (tail ? tail->next : head) = m;
    tail = m;
  }
  head = SortChain(head);

  MarkerList out;
  Marker* out_tail = nullptr;
  for (Marker* p = head; p;) {
    std::size_t count = 1;
    for (const Marker* q = p->next; q && q->position == p->position; q = q->next) ++count;
    p = EmitRun(p, count, out, &out_tail);
  }
  return out;
}

MarkerList MergeSortedReversed(MarkerList reversed, std::uint32_t length) {
  MarkerList in_order;
  while (Marker* m = reversed.UnlinkAfter(nullptr)) in_order.PushFrontAdopt(m);
  return MergeSorted(std::move(in_order), length);
}

void ClampMonotone(MarkerList& list, std::uint32_t length) {
  std::uint32_t floor = 0;
  for (Marker* p = list.first(); p; p = p->next) {
    if (p->position > length) p->position = length;
    if (p->position < floor) p->position = floor;
    floor = p->position;
  }
}

Error CopyMarkerRange(const MarkerList& list, std::uint32_t from, std::uint32_t to, bool rebase, MarkerList* out) {
  MarkerList copy;
  Marker* tail = nullptr;
  for (const Marker* p = list.first(); p; p = p->next) {
    if (p->position < from || p->position >= to) continue;
    Marker* m = CloneMarker(*p);
    if (!m) {
      *out = MarkerList();
      return err::kOutOfMemory;
    }
    if (rebase) m->position -= from;
    copy.InsertAfterAdopt(tail, m);
    tail = m;
  }
  *out = std::move(copy);
  return err::kOk;
}

void ShiftMarkers(MarkerList& list, std::int64_t delta) {
  for (Marker* p = list.first(); p; p = p->next) p->position = ClampFrames(std::int64_t{p->position} + delta);
}

void ScaleMarkerRate(MarkerList& list, std::uint32_t old_rate, std::uint32_t new_rate, std::uint32_t maximum) {
  if (old_rate == 0) return;  // no ratio to scale by
  for (Marker* p = list.first(); p; p = p->next) {
    const std::uint64_t scaled = RoundedRatio(p->position, new_rate, old_rate);
    p->position = scaled > maximum ? maximum : static_cast<std::uint32_t>(scaled);
  }
}

void AdjustMarkersForStretch(SoundDocument& document, std::uint32_t start, std::uint32_t old_length,
                             std::uint32_t new_length, bool stretch) {
  const std::uint64_t old_end = std::uint64_t{start} + old_length;
  const std::int64_t difference = std::int64_t{new_length} - old_length;
  MarkerList& list = document.markers;

  if (stretch && new_length > 0) {
    const std::uint64_t last_inside = std::uint64_t{start} + new_length - 1;
    for (Marker* p = list.first(); p; p = p->next) {
      if (p->position >= old_end) {
        p->position = ClampFrames(std::int64_t{p->position} + difference);
      } else if (p->position >= start) {
        const std::uint64_t mapped = start + RoundedRatio(p->position - start, new_length, old_length);
        p->position = ClampFrames(static_cast<std::int64_t>(std::min(mapped, last_inside)));
      }
    }
    return;
  }

  // Markers in a removed tail leave the list; the editor window may hold
  // them, so it hears of each before the node can go.
  const std::uint64_t cut = std::uint64_t{start} + new_length;
  Marker* before = nullptr;
  for (Marker* p = list.first(); p;) {
    if (new_length < old_length && p->position >= cut && p->position < old_end) {
      Marker* gone = list.UnlinkAfter(before);
      p = before ? before->next : list.first();
      if (document.editor)
        document.editor->Send(editor_msg::kMarkerChanged, 'D', reinterpret_cast<MsgParam>(gone));
      gone->Release();
      continue;
    }
    if (p->position >= old_end) p->position = ClampFrames(std::int64_t{p->position} + difference);
    before = p;
    p = p->next;
  }
}

}  // namespace tidemark
