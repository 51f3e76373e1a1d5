// The user-visible texts the sound data core needs (undo names, status
// lines). They come from the UI text catalogue, which the core does not
// know: the application installs one lookup that maps each id to its
// catalogue slot. Without a lookup every text is empty.
#pragma once

#include <string>

namespace tidemark {

enum class CoreText {
  kUndoAdding,      // a marker or envelope change that added nodes ("undo" 0)
  kUndoDeleting,    // one that removed nodes ("undo" 1)
  kUndoChanging,    // one that moved or replaced a node ("undo" 2)
  kNoFurtherMarker,  // status line when a region selection wraps ("status" 1)
  // The undo names of the editing commands.
  kUndoDeleteSelection,
  kUndoCut,
  kUndoSilence,
  kUndoInsertSilence,
  kUndoPaste,
  kUndoPasteOver,
  kUndoPasteOverwrite,
  kUndoMixPaste,
  kUndoMixPasteSubtract,
  kUndoGain,
  kUndoOffset,
  kUndoReplaceChannels,
  kUndoFormatChange,
};

using CoreTextLookup = std::string (*)(CoreText id);

// Installs the lookup (null: none). Call before any document exists.
void SetCoreTextLookup(CoreTextLookup lookup);
// The text for `id`, or empty without a lookup.
std::string GetCoreText(CoreText id);

}  // namespace tidemark
