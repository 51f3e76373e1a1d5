// One open sound: a segment list over sound sources with its markers,
// envelope, metadata and the state its editor window shows. The open
// documents form a list, newest first; documents are changed only on the
// user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/document/document_metadata.h"
#include "core/document/envelope.h"
#include "core/markers/marker.h"
#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "core/undo/undo_history.h"
#include "platform/error.h"
#include "platform/window.h"

namespace tidemark {

// The five view words a workspace keeps for a document, stored and returned
// unchanged.
struct DocumentViewState {
  std::uint16_t word1 = 0;
  std::uint32_t word2 = 0;
  std::uint32_t word3 = 0;
  std::uint32_t word4 = 0;
  std::uint16_t word5 = 3;
  bool operator==(const DocumentViewState&) const = default;
};

// The editor window's own view state, as the window reports it.
using EditorViewState = std::array<std::uint8_t, 24>;

struct SoundDocument {
  SoundDocument* next = nullptr;  // the next older open document
  std::unique_ptr<Window> editor;  // owns the selection and the view
  SegmentList segments;
  std::uint32_t length = 0;  // frames, at most kMaxFrames
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
  std::optional<std::string> path;         // absent for a new document
  std::optional<std::string> second_path;  // the opened file's path when the document keeps none of its own
  SampleCode code = sample_code::kS16;     // what Save writes by default
  PcmFileKind kind = PcmFileKind::Wave;
  MarkerList markers;
  EnvelopeList envelope;
  DocumentMetadata metadata;
  UndoHistory history;  // newest first, with the current position
  std::uint32_t modification_counter = 0;  // 0: equals the saved file; 0x80000000: stays modified
  std::uint32_t marker_change_counter = 0;
  bool format_changed = false;
  // A tag changed since the last save: the document counts as modified so
  // that a following save writes the new texts.
  bool metadata_changed = false;
  bool own_flag = false;  // the document's own flag bit, kept by the workspace
  DocumentViewState view;
  std::uint32_t untitled_number = 0;  // 0 for a document with a path

  ~SoundDocument();
};

// What a new document starts from; CreateDocument takes over its lists.
struct DocumentDescription {
  PcmFormat format;
  std::uint32_t length = 0;
  MarkerList markers;
  EnvelopeList envelope;
  // The opened file's texts; absent for a new sound (its software entry is
  // then preset).
  std::optional<DocumentMetadata> metadata;
  // Keep the path in the second slot; the document has no file path of its own.
  bool path_is_second = false;
  // A restored document's view words, editor view state and selection.
  std::optional<DocumentViewState> view;
  std::optional<EditorViewState> editor_view;
  std::uint32_t selection_from = 0;
  std::uint32_t selection_to = 0;
};

// Makes an editor window for a new document; null when none can be made.
using EditorWindowFactory = std::unique_ptr<Window> (*)(SoundDocument& document);
// The factory CreateDocument uses (the headless editor window by default).
void SetEditorWindowFactory(EditorWindowFactory factory);
// The main frame that receives document-changed notices; none by default.
void SetMainFrame(Window* frame);
Window* MainFrame();

// Creates a document over `segments` (taken over, positions absolute) and
// links it first in the open list. Errors: 77 when the length exceeds
// kMaxFrames, 25 when the absolute form of the path is too long, 2 out of
// memory, 3 when the editor window cannot be made; on error nothing is kept
// and the lists handed in are released.
[[nodiscard]] Error CreateDocument(const std::optional<std::string>& path, SegmentList segments,
                                   DocumentDescription description, SoundDocument** document);

// Closes the document's window: unlinks and frees it with everything it
// holds; sources whose last reference goes close and delete owned files.
void DestroyDocument(SoundDocument* document);

// Owns one open document: closes it (DestroyDocument) when it goes.
struct DocumentCloser {
  void operator()(SoundDocument* document) const { DestroyDocument(document); }
};
using DocumentPtr = std::unique_ptr<SoundDocument, DocumentCloser>;

// The newest open document (follow `next` for the others), and their number.
SoundDocument* FirstDocument();
std::size_t OpenDocumentCount();

// Tells the main frame that `document` changed (doc_change flags).
void NotifyDocumentChanged(SoundDocument& document, std::uint32_t flags);

// Counts one applied edit in the modification counter and tells the frame:
// 80 for the first modification, 16 after. A counter that is negative (the
// saved state lay in discarded redo steps) becomes 0x80000000 for good.
void CountEdit(SoundDocument& document);

// The selection, asked of the editor window ([0, 0) without one).
void GetSelection(const SoundDocument& document, std::uint32_t* from, std::uint32_t* to);
// Tells the editor window to select [from, to) (nothing without a window).
void SetSelection(SoundDocument& document, std::uint32_t from, std::uint32_t to);
// The editor window's selected-channel mask (every channel without a window).
std::uint32_t GetChannelMask(const SoundDocument& document);
// Sets the selected-channel mask; a mask with no channel of the document
// keeps the old one.
void SetChannelMask(SoundDocument& document, std::uint32_t mask);

// Changes one tag text (an empty or absent text removes it) and, when it
// differs from the old one, marks the metadata changed and tells the frame
// (64 when the document was saved before).
void SetDocumentTag(SoundDocument& document, InfoText slot, std::optional<std::string> text);

// The editor window's view state (zeros without a window).
EditorViewState GetEditorViewState(const SoundDocument& document);

}  // namespace tidemark
