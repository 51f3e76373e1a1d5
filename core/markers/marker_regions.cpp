#include "core/markers/marker_regions.h"

#include <string>

#include "core/document/core_text.h"
#include "core/undo/marker_commands.h"
#include "core/markers/marker_list.h"
#include "core/samples/sample_format.h"
#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

void ShowNoFurtherMarker() {
  Window* frame = MainFrame();
  if (!frame) return;
  // The status line is a courtesy; the selection is made without it.
  (void)TryAlloc([&] {
    const std::string text = GetCoreText(CoreText::kNoFurtherMarker);
    frame->Send(frame_msg::kStatusText, 0, reinterpret_cast<MsgParam>(text.c_str()));
  });
}

void Select(SoundDocument& document, std::uint32_t from, std::uint32_t to, bool wrapped) {
  if (wrapped) ShowNoFurtherMarker();
  if (!document.editor) return;
  document.editor->Send(editor_msg::kSetSelection, from, to);
  document.editor->Send(editor_msg::kShowPosition, from, 0);
}

// Where the region that starts at `m` ends.
std::uint32_t RegionEnd(const SoundDocument& document, const Marker& m) {
  return m.next ? m.next->position : document.length;
}

std::uint32_t SelectionStart(const SoundDocument& document) {
  std::uint32_t from = 0, to = 0;
  GetSelection(document, &from, &to);
  return from;
}

}  // namespace

void SelectNextRegion(SoundDocument& document) {
  const Marker* first = document.markers.first();
  if (!first) return;
  const std::uint32_t f = SelectionStart(document);
  const Marker* m = first;
  while (m && m->position <= f) m = m->next;
  if (m && m->position < document.length) return Select(document, m->position, RegionEnd(document, *m), false);

  if (first->position != 0) return Select(document, 0, first->position, true);
  const Marker* beyond = first;
  while (beyond && beyond->position == 0) beyond = beyond->next;
  Select(document, 0, beyond ? beyond->position : document.length, false);
}

void SelectPreviousRegion(SoundDocument& document) {
  const Marker* first = document.markers.first();
  if (!first) return;
  const std::uint32_t f = SelectionStart(document);
  const Marker* last_before = nullptr;
  for (const Marker* m = first; m && m->position < f; m = m->next) last_before = m;
  if (last_before) return Select(document, last_before->position, RegionEnd(document, *last_before), false);
  if (f > 0) return Select(document, 0, first->position, true);

  const Marker* last_inside = nullptr;
  for (const Marker* m = first; m && m->position < document.length; m = m->next) last_inside = m;
  if (last_inside) return Select(document, last_inside->position, document.length, false);
  Select(document, 0, document.length, true);
}

Error CopyMarkersFromDocument(SoundDocument& target, const SoundDocument& source) {
  MarkerList list;
  if (const Error rc = CopyMarkerRange(source.markers, 0, UINT32_MAX, false, &list)) return rc;
  if (list.empty()) return err::kOk;
  if (source.rate != target.rate) ScaleMarkerRate(list, source.rate, target.rate, kMaxFrames);

  std::uint32_t start = SelectionStart(target);
  if (start > target.length) start = target.length;
  // Limited to the room behind the selection start while the positions are
  // still relative to it, so that no marker lands past the document's end.
  list = MergeSorted(std::move(list), target.length - start);
  ShiftMarkers(list, start);
  return AddMarkers(target, std::move(list));
}

}  // namespace tidemark
