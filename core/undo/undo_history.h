// A document's undo history: records newest first and a current position.
// The records in front of the position are undone ones (for redo); the
// record at the position and those behind it are done ones (for undo). The
// history has no limit; it is used on the user-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string_view>

#include "core/undo/undo_record.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// A change counter that can no longer return to the saved state.
inline constexpr std::uint32_t kStaysModified = 0x80000000u;

class UndoHistory {
 public:
  UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;
  ~UndoHistory();

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  // Records in front of the current position (the redo part).
  std::size_t redo_count() const { return redo_; }
  // Record `i` counted from the newest (0).
  UndoRecord& at(std::size_t i) const { return *records_[i]; }
  // What Undo and Redo would apply; null when there is nothing.
  UndoRecord* undo_record() const { return redo_ < records_.size() ? records_[redo_].get() : nullptr; }
  UndoRecord* redo_record() const { return redo_ > 0 ? records_[redo_ - 1].get() : nullptr; }

  // Destroys the undone records and links `record` as the newest, current
  // one. 2 when memory runs out: the whole history is cleared then and the
  // record destroyed.
  [[nodiscard]] Error Push(std::unique_ptr<UndoRecord> record);
  // Appends `record` behind the oldest (a history being restored, read
  // newest first). 2 when memory runs out (the record is destroyed).
  [[nodiscard]] Error AppendOldest(std::unique_ptr<UndoRecord> record);
  // Places the current position behind the `count` newest records; 77 when
  // there are fewer.
  [[nodiscard]] Error SetRedoCount(std::size_t count);
  void Clear();

  // Moves the position for an undo (one record older) or a redo (one newer)
  // and applies that record; an error from it leaves the position where it
  // was. 0 with nothing to apply.
  [[nodiscard]] Error Step(SoundDocument& document, bool redo);

 private:
  std::deque<std::unique_ptr<UndoRecord>> records_;  // newest first
  std::size_t redo_ = 0;
};

void PushUndoRecord(SoundDocument& document, std::unique_ptr<UndoRecord> record);
// Destroys every record; tells no one (the caller that empties the history
// tells the frame).
void ClearUndoHistory(SoundDocument& document);
bool CanUndo(const SoundDocument& document);
bool CanRedo(const SoundDocument& document);
// Apply the current record (undo) or the one in front of it (redo). The
// error of a failed Apply is returned with record and position unchanged;
// showing it is the caller's business.
[[nodiscard]] Error Undo(SoundDocument& document);
[[nodiscard]] Error Redo(SoundDocument& document);

// Records a sample edit after a successful ReplaceRange: takes over the
// request's lists (the request is left empty) and counts the edit
// (CountEdit). With recording switched off, or when the record cannot be
// made, the history is cleared instead and the request's material released.
void RecordEdit(SoundDocument& document, EditRequest& request, std::string_view name);

// Records a marker change that has been made: `word` holds the operation
// that undoes it and the name letter (ChangeWord), `nodes` the nodes in the
// order the operation takes them (each gets a reference of the record).
// Counts one step in the marker-change counter and tells the frame (32, and
// 64 when the document was saved). With recording switched off, when the
// record cannot be made or the nodes do not fit the operation, the history
// is cleared instead.
void RecordMarkerChange(SoundDocument& document, std::uint16_t word, std::span<Marker* const> nodes);
// Likewise for an envelope change; envelope changes count in no counter.
void RecordEnvelopeChange(SoundDocument& document, std::uint16_t word, std::span<EnvelopePoint* const> points);

// Moves a change counter one step for an undo (-1) or a redo (+1); a
// counter at kStaysModified stays. True when the step left or reached 0.
bool StepChangeCounter(std::uint32_t& counter, bool redo);

// Saved: both counters 0, the format and the tags unchanged.
bool IsDocumentSaved(const SoundDocument& document);
// After a save: clears both counters and the format and tag flags and tells the frame
// (content, saved state and format: 208).
void MarkDocumentSaved(SoundDocument& document);

}  // namespace tidemark
