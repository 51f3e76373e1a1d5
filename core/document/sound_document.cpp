#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"

#include <climits>

#include "core/sources/source_list.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/headless_editor_window.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

// The open documents, newest first. Documents live on the user-interface
// thread only, so the list needs no lock.
struct OpenDocuments {
  SoundDocument* first = nullptr;
  std::size_t count = 0;
  std::uint32_t next_untitled = 1;
  EditorWindowFactory factory = nullptr;
  Window* frame = nullptr;
};

OpenDocuments& Documents() {
  static OpenDocuments documents;
  return documents;
}

std::unique_ptr<Window> MakeHeadlessEditor(SoundDocument& document) {
  std::unique_ptr<Window> editor;  // empty when memory runs out
  (void)MakeNew<HeadlessEditorWindow>(&editor, document.channels);
  return editor;
}

bool SegmentsFit(const SegmentList& list, std::uint32_t length, std::uint16_t channels) {
  std::uint64_t end = 0;
  for (const Segment* s = list.first(); s; s = s->next) {
    if (!s->source || s->source->channels() != channels || s->length == 0 || s->position < end) return false;
    end = std::uint64_t{s->position} + s->length;
    if (end > length) return false;
  }
  return true;
}

}  // namespace

SoundDocument::~SoundDocument() = default;

void SetEditorWindowFactory(EditorWindowFactory factory) { Documents().factory = factory; }
void SetMainFrame(Window* frame) { Documents().frame = frame; }
Window* MainFrame() { return Documents().frame; }

Error CreateDocument(const std::optional<std::string>& path, SegmentList segments,
                     DocumentDescription description, SoundDocument** document) {
  *document = nullptr;
  const PcmFormat& format = description.format;
  if (description.length > kMaxFrames || (format.channels != 1 && format.channels != 2) ||
      !SegmentsFit(segments, description.length, format.channels))
    return err::kSizeLimit;
  std::string normal;
  if (path) {
    normal = NormaliseSourcePath(*path);
    if (normal.empty() || normal.size() >= PATH_MAX) return err::kCannotOpen;
  }

  std::unique_ptr<SoundDocument> doc;
  if (const Error rc = MakeNew(&doc)) return rc;
  const Error rc = TryAlloc([&] {
    if (path) (description.path_is_second ? doc->second_path : doc->path) = std::move(normal);
    if (description.metadata) {
      doc->metadata = std::move(*description.metadata);
    } else {
      doc->metadata[InfoText::Software] = std::string(kSoftwareStamp);
    }
  });
  if (rc) return rc;
  doc->segments = std::move(segments);
  doc->length = description.length;
  doc->rate = format.rate;
  doc->channels = format.channels;
  doc->code = format.code;
  doc->kind = format.kind;
  doc->markers = std::move(description.markers);
  doc->envelope = std::move(description.envelope);
  if (description.view) doc->view = *description.view;

  OpenDocuments& open = Documents();
  doc->editor = (open.factory ? open.factory : &MakeHeadlessEditor)(*doc);
  if (!doc->editor) return err::kWindowCreate;
  if (description.editor_view) doc->editor->Send(editor_msg::kSetViewState,
                                                 reinterpret_cast<MsgParam>(description.editor_view->data()), 0);
  if (description.selection_from != 0 || description.selection_to != 0)
    doc->editor->Send(editor_msg::kSetSelection, description.selection_from, description.selection_to);

  if (open.count == 0) open.next_untitled = 1;
  if (!doc->path && !doc->second_path) doc->untitled_number = open.next_untitled++;
  doc->next = open.first;
  open.first = doc.release();
  ++open.count;
  *document = open.first;
  return err::kOk;
}

void DestroyDocument(SoundDocument* document) {
  if (!document) return;
  OpenDocuments& open = Documents();
  for (SoundDocument** link = &open.first; *link; link = &(*link)->next) {
    if (*link == document) {
      *link = document->next;
      --open.count;
      break;
    }
  }
  delete document;
}

SoundDocument* FirstDocument() { return Documents().first; }
std::size_t OpenDocumentCount() { return Documents().count; }

void NotifyDocumentChanged(SoundDocument& document, std::uint32_t flags) {
  if (Window* frame = Documents().frame)
    frame->Send(frame_msg::kDocumentChanged, flags, reinterpret_cast<MsgParam>(&document));
}

void CountEdit(SoundDocument& document) {
  const bool was_saved =
      document.modification_counter == 0 && document.marker_change_counter == 0 && !document.format_changed;
  std::uint32_t& counter = document.modification_counter;
  if (counter != kStaysModified) counter = static_cast<std::int32_t>(counter) < 0 ? kStaysModified : counter + 1;
  NotifyDocumentChanged(document, doc_change::kContent | (was_saved ? doc_change::kSavedState : 0));
}

void GetSelection(const SoundDocument& document, std::uint32_t* from, std::uint32_t* to) {
  *from = *to = 0;
  if (document.editor)
    document.editor->Send(editor_msg::kGetSelection, reinterpret_cast<MsgParam>(from),
                          reinterpret_cast<MsgParam>(to));
}

void SetSelection(SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  if (document.editor) document.editor->Send(editor_msg::kSetSelection, from, to);
}

std::uint32_t GetChannelMask(const SoundDocument& document) {
  const std::uint32_t all = document.channels == 1 ? 1u : 3u;
  if (!document.editor) return all;
  return static_cast<std::uint32_t>(document.editor->Send(editor_msg::kGetChannelMask, 0, 0)) & all;
}

void SetChannelMask(SoundDocument& document, std::uint32_t mask) {
  if (document.editor) document.editor->Send(editor_msg::kSetChannelMask, mask, 0);
}

void SetDocumentTag(SoundDocument& document, InfoText slot, std::optional<std::string> text) {
  if (text && text->empty()) text.reset();
  std::optional<std::string>& entry = document.metadata[slot];
  if (entry == text) return;
  const bool was_saved = IsDocumentSaved(document) && !document.metadata_changed;
  entry = std::move(text);
  document.metadata_changed = true;
  if (was_saved) NotifyDocumentChanged(document, doc_change::kSavedState);
}

EditorViewState GetEditorViewState(const SoundDocument& document) {
  EditorViewState state{};
  if (document.editor)
    document.editor->Send(editor_msg::kGetViewState, reinterpret_cast<MsgParam>(state.data()), 0);
  return state;
}

}  // namespace tidemark
