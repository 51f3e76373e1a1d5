// The edit kind of undo record: an applied EditRequest (now its inverse)
// and the name of the command that made it.
#include "core/undo/undo_record.h"

#include <bit>
#include <string>

#include "core/io/chunk_writer.h"
#include "core/document/internal/segment_edit.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

class EditRecord final : public UndoRecord {
 public:
  explicit EditRecord(std::string name) : name_(std::move(name)) {}

  // Moves the request's lists in (cannot fail).
  void TakeOver(EditRequest& request) { request_ = std::move(request); }

  Error GetName(std::string* name) const override {
    return TryAlloc([&] { *name = name_; });
  }

  Error Apply(SoundDocument& document, bool redo) override {
    if (const Error rc = ReplaceRange(document, request_)) return rc;
    std::uint32_t flags = doc_change::kUndoHistory;
    if (document.modification_counter != kStaysModified)
      flags |= doc_change::kContent | (StepChangeCounter(document.modification_counter, redo)
                                           ? doc_change::kSavedState
                                           : 0);
    NotifyDocumentChanged(document, flags);
    if (document.editor) document.editor->Send(editor_msg::kRedraw, 0, 0);
    return err::kOk;
  }

  std::size_t ListMarkers(Marker** nodes) const override { return request_.markers.List(nodes); }
  std::size_t ListEnvelopePoints(EnvelopePoint** points) const override { return request_.envelope.List(points); }

  Error Serialize(ChunkWriter& writer) const override {
    return TryAlloc([&] {
      const std::u16string name = Utf8ToUtf16(name_);
      // Everything is built first, so that a source without a number fails
      // the record before any of it is written.
      RecordBytes bytes("hist");
      const std::uint8_t head[2] = {static_cast<std::uint8_t>(UndoKind::kEdit),
                                    static_cast<std::uint8_t>(request_.markers_and_envelope ? 1 : 0)};
      bytes.Append(head, 2);
      bytes.U32(request_.start);
      bytes.U32(request_.old_length);
      bytes.U32(request_.new_length);
      bytes.U32(static_cast<std::uint32_t>(request_.segments.size()));
      bytes.U32(static_cast<std::uint32_t>(request_.markers.size()));
      bytes.U32(static_cast<std::uint32_t>(request_.envelope.size()));
      bytes.U32(static_cast<std::uint32_t>(name.size()));
      for (const Segment* s = request_.segments.first(); s; s = s->next) {
        std::uint32_t number = 0;
        if (!s->source || !writer.SourceNumber(*s->source.get(), &number)) return err::kSizeLimit;
        const SegmentGain gain = s->gain ? *s->gain : SegmentGain{};
        bytes.Append("sblk", 4);
        bytes.U32(s->length);
        bytes.U32(s->position);
        bytes.U32(s->source_offset);
        bytes.U32(number);
        for (const float f : {gain.gain0, gain.gain1, gain.offset0, gain.offset1}) bytes.U32(std::bit_cast<std::uint32_t>(f));
      }
      if (!name.empty()) {
        bytes.Append("wtxt", 4);
        for (const char16_t c : name) bytes.U16(c);
      }
      return bytes.WriteTo(writer);
    });
  }

  UndoKind kind() const override { return UndoKind::kEdit; }
  SegmentList* edit_segments() override { return &request_.segments; }

 private:
  EditRequest request_;
  std::string name_;
};

}  // namespace

Error NewEditRecord(EditRequest& request, std::string_view name, std::unique_ptr<UndoRecord>* out) {
  out->reset();
  std::string kept;
  if (const Error rc = TryAlloc([&] { kept.assign(TruncateUtf8ToUtf16Units(name, kMaxUndoNameUnits)); }))
    return rc;
  std::unique_ptr<EditRecord> record;
  if (const Error rc = MakeNew(&record, std::move(kept))) return rc;
  record->TakeOver(request);
  *out = std::move(record);
  return err::kOk;
}

}  // namespace tidemark
