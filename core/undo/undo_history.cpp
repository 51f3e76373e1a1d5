#include "core/undo/undo_history.h"

#include "core/core_options.h"
#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

bool Negative(std::uint32_t counter) { return static_cast<std::int32_t>(counter) < 0; }

// A new change discards the redo part. A counter that is negative had its
// saved state in there, so it can never return to 0 again.
void SettleCountersForNewChange(SoundDocument& doc) {
  if (Negative(doc.modification_counter)) doc.modification_counter = kStaysModified;
  if (Negative(doc.marker_change_counter)) doc.marker_change_counter = kStaysModified;
}

bool RecordingOff() { return GetCoreOptions().undo_recording_disabled; }

void PushOrClear(SoundDocument& doc, Error made, std::unique_ptr<UndoRecord> record) {
  if (RecordingOff() || made != err::kOk) {
    // A stale record must never be applied to a document that changed
    // since: without this record the whole history goes.
    ClearUndoHistory(doc);
    return;
  }
  PushUndoRecord(doc, std::move(record));
}

}  // namespace

UndoHistory::UndoHistory() = default;
UndoHistory::~UndoHistory() { Clear(); }

Error UndoHistory::Push(std::unique_ptr<UndoRecord> record) {
  while (redo_ > 0) {
    records_.pop_front();
    --redo_;
  }
  return TryAlloc([&] { records_.push_front(std::move(record)); }, [&] { Clear(); });
}

Error UndoHistory::AppendOldest(std::unique_ptr<UndoRecord> record) {
  return TryAlloc([&] { records_.push_back(std::move(record)); });
}

Error UndoHistory::SetRedoCount(std::size_t count) {
  if (count > records_.size()) return err::kSizeLimit;
  redo_ = count;
  return err::kOk;
}

void UndoHistory::Clear() {
  // Newest first, the order in which they were made undone.
  while (!records_.empty()) records_.pop_front();
  redo_ = 0;
}

Error UndoHistory::Step(SoundDocument& document, bool redo) {
  UndoRecord* record = redo ? redo_record() : undo_record();
  if (!record) return err::kOk;
  // The position moves first: whoever the record tells sees the history
  // as it will be.
  const std::size_t before = redo_;
  redo_ = redo ? redo_ - 1 : redo_ + 1;
  const Error rc = record->Apply(document, redo);
  if (rc) redo_ = before;
  return rc;
}

void PushUndoRecord(SoundDocument& document, std::unique_ptr<UndoRecord> record) {
  (void)document.history.Push(std::move(record));  // out of memory leaves it cleared
}

void ClearUndoHistory(SoundDocument& document) { document.history.Clear(); }
bool CanUndo(const SoundDocument& document) { return document.history.undo_record() != nullptr; }
bool CanRedo(const SoundDocument& document) { return document.history.redo_record() != nullptr; }
Error Undo(SoundDocument& document) { return document.history.Step(document, false); }
Error Redo(SoundDocument& document) { return document.history.Step(document, true); }

void RecordEdit(SoundDocument& document, EditRequest& request, std::string_view name) {
  SettleCountersForNewChange(document);
  std::unique_ptr<UndoRecord> record;
  const Error made = RecordingOff() ? err::kOk : NewEditRecord(request, name, &record);
  PushOrClear(document, made, std::move(record));
  // Whatever was not taken over goes now.
  request.segments.Clear();
  request.markers.Clear();
  request.envelope.Clear();
  CountEdit(document);
}

void RecordMarkerChange(SoundDocument& document, std::uint16_t word, std::span<Marker* const> nodes) {
  SettleCountersForNewChange(document);
  const bool was_saved = IsDocumentSaved(document);
  std::unique_ptr<UndoRecord> record;
  const Error made = RecordingOff() ? err::kOk : NewMarkerChangeRecord(word, nodes, &record);
  PushOrClear(document, made, std::move(record));
  if (document.marker_change_counter != kStaysModified) ++document.marker_change_counter;
  NotifyDocumentChanged(document, doc_change::kUndoHistory | (was_saved ? doc_change::kSavedState : 0));
}

void RecordEnvelopeChange(SoundDocument& document, std::uint16_t word, std::span<EnvelopePoint* const> points) {
  SettleCountersForNewChange(document);
  std::unique_ptr<UndoRecord> record;
  const Error made = RecordingOff() ? err::kOk : NewEnvelopeChangeRecord(word, points, &record);
  PushOrClear(document, made, std::move(record));
  NotifyDocumentChanged(document, doc_change::kUndoHistory);
}

bool StepChangeCounter(std::uint32_t& counter, bool redo) {
  if (counter == kStaysModified) return false;
  const std::uint32_t before = counter;
  counter = redo ? counter + 1 : counter - 1;
  return before == 0 || counter == 0;
}

bool IsDocumentSaved(const SoundDocument& document) {
  return document.modification_counter == 0 && document.marker_change_counter == 0 && !document.format_changed &&
         !document.metadata_changed;
}

void MarkDocumentSaved(SoundDocument& document) {
  document.modification_counter = 0;
  document.marker_change_counter = 0;
  document.format_changed = false;
  document.metadata_changed = false;
  NotifyDocumentChanged(document, doc_change::kContent | doc_change::kSavedState | doc_change::kFormat);
}

}  // namespace tidemark
