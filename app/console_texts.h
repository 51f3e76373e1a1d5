// The console editor's own texts (messages, notices and help), English for
// now, each under a named id so that they can move into the text catalogue
// with the language files. Engine errors are not here: they come from the
// catalogue's error messages.
#pragma once

#include <string_view>

namespace tidemark::console {

enum class Text {
  // Messages about the command line itself.
  kUnknownCommand,    // %s: the command
  kUnclosedQuote,
  kBadArguments,      // %s: the usage line
  kBadNumber,         // %s: the text
  kBadFormatWord,     // %s: the text
  kNoDocument,
  kNoSuchDocument,    // %s: the number
  kDocumentModified,  // %s: the number
  kNoPathUseSaveAs,
  kOneBitSaveRefused,   // %s: the extension
  kCodecSaveRefused,    // %s: the extension
  kKindCannotStore,     // %s: the format word
  kNoSuchMarker,        // %s: the index
  kUnknownTag,          // %s: the key
  kClipRateDiffers,     // %s: the clip's rate
  kCannotOpenFile,      // %s: the path (followed by the engine's message)
  kFolderSkipped,       // %s: the path
  kCancelled,
  // Notices (not failures).
  kNothingSelected,
  kNothingToPaste,
  kNothingToUndo,
  kNothingToRedo,
  kNoMarkers,
  kNoTags,
  kNoDocuments,
  kHistoryEmpty,
  kAlreadyOpen,       // %s: the number
  kNothingToSave,
  kQuitWarning,
  // Output words.
  kUntitled,          // %s: the number
  kSavedWord,
  kModifiedWord,
  kNoneWord,
  kHelpHeader,
  kTextCount
};

// The text of `id` (printf form where its comment names arguments).
std::string_view ConsoleText(Text id);

// The help of one command: usage line and description.
struct CommandHelp {
  std::string_view usage;
  std::string_view description;
};

// The help entry named `key` (the command name as the table uses it), or
// an entry with empty fields when there is none.
CommandHelp HelpFor(std::string_view key);

}  // namespace tidemark::console
