#include "core/edit/sound_clip.h"

#include <mutex>

#include "core/core_options.h"
#include "core/document/core_text.h"
#include "core/edit/edit_commands.h"
#include "core/markers/marker_list.h"
#include "core/document/internal/segment_edit.h"
#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

// The process-wide clip and the installed link. The lock guards the slot
// only; a clip handed out lives on its own references.
struct ClipSlot {
  std::mutex lock;
  ClipRef clip;
  SystemClipboardLink* link = nullptr;
};

ClipSlot& Slot() {
  static ClipSlot slot;
  return slot;
}

SystemClipboardLink* ActiveLink() {
  if (!GetCoreOptions().use_system_clipboard) return nullptr;
  std::lock_guard<std::mutex> hold(Slot().lock);
  return Slot().link;
}

// Swaps `clip` into the slot; the old clip is released by the caller's copy.
ClipRef Exchange(ClipRef clip) {
  std::lock_guard<std::mutex> hold(Slot().lock);
  std::swap(Slot().clip, clip);
  return clip;
}

}  // namespace

ClipRef NewClip(std::uint32_t rate, std::uint16_t channels, SampleCode code) {
  ClipRef clip;
  if (MakeNew(&clip)) return {};
  clip->rate = rate;
  clip->channels = channels;
  clip->code = code;
  return clip;
}

Error CopyEnvelopeRange(const EnvelopeList& list, std::uint32_t from, std::uint32_t to, EnvelopeList* out) {
  EnvelopeList copy;
  EnvelopePoint* tail = nullptr;
  for (const EnvelopePoint* p = list.first(); p; p = p->next) {
    if (p->position < from || p->position >= to) continue;
    EnvelopePoint* made = NewEnvelopePoint(p->position - from, p->level);
    if (!made) {
      out->Clear();
      return err::kOutOfMemory;
    }
    copy.InsertAfterAdopt(tail, made);
    tail = made;
  }
  *out = std::move(copy);
  return err::kOk;
}

Error CopyToClip(const SoundDocument& document, std::uint32_t from, std::uint32_t to, ClipRef* out) {
  if (from > to || to > document.length) return err::kSizeLimit;
  ClipRef clip = NewClip(document.rate, document.channels, document.code);
  if (!clip) return err::kOutOfMemory;
  clip->length = to - from;
  if (const Error rc = CopyRange(document.segments, from, to - from, &clip->segments)) return rc;
  if (const Error rc = CopyMarkerRange(document.markers, from, to, true, &clip->markers)) return rc;
  if (const Error rc = CopyEnvelopeRange(document.envelope, from, to, &clip->envelope)) return rc;
  *out = std::move(clip);
  return err::kOk;
}

void SetSystemClipboardLink(SystemClipboardLink* link) {
  std::lock_guard<std::mutex> hold(Slot().lock);
  Slot().link = link;
}

Error SetCurrentClip(ClipRef clip) {
  // The previous clip goes first: a failed announcement leaves no clip.
  Exchange(ClipRef());
  if (!clip) return err::kOk;
  if (SystemClipboardLink* link = ActiveLink()) {
    if (const Error rc = link->Announce(clip)) return rc;
  }
  Exchange(std::move(clip));
  return err::kOk;
}

ClipRef GetCurrentClip() {
  std::lock_guard<std::mutex> hold(Slot().lock);
  return Slot().clip;
}

void ClearCurrentClip() {
  const ClipRef old = Exchange(ClipRef());
  if (!old) return;
  if (SystemClipboardLink* link = ActiveLink()) link->Withdraw();
}

Error ClipForPaste(ClipRef* out) {
  *out = GetCurrentClip();
  if (*out) return err::kOk;
  if (SystemClipboardLink* link = ActiveLink()) return link->Fetch(out);
  return err::kOk;
}

Error CopySelection(SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  if (from >= to) return err::kOk;
  ClipRef clip;
  if (const Error rc = CopyToClip(document, from, to, &clip)) return rc;
  const Error rc = SetCurrentClip(std::move(clip));
  NotifyDocumentChanged(document, doc_change::kClipboard);
  return rc;
}

Error CutSelection(SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  if (from >= to) return err::kOk;
  if (const Error rc = CopySelection(document, from, to)) return rc;
  EditRequest request;
  request.start = from;
  request.old_length = to - from;
  request.markers_and_envelope = true;
  const Error rc = ApplyEdit(document, request, GetCoreText(CoreText::kUndoCut));
  if (rc == err::kOk) SetSelection(document, from, from);
  return rc;
}

}  // namespace tidemark
