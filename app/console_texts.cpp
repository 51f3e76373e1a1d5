#include "app/console_texts.h"

#include <array>
#include <cstddef>

namespace tidemark::console {
namespace {

constexpr std::array<std::string_view, std::size_t(Text::kTextCount)> kTexts = {
    "unknown command \"%s\" (type help for the list)",
    "a double quote is not closed",
    "usage: %s",
    "not a valid number or position: \"%s\"",
    "not a known format word: \"%s\" (for example Wave16, AIFF24, WaveFloat, RawSigned8, RawLittleEndian16)",
    "no document is open",
    "there is no document number %s",
    "document %s is modified; use close! to close it anyway",
    "the document has no file of its own; use saveas PATH",
    "cannot save as \"%s\": 1-bit files cannot be written yet",
    "cannot save as \"%s\": the codec for this file type is not available yet",
    "the file type cannot store the sample format %s",
    "there is no marker number %s",
    "unknown tag \"%s\" (a four-letter id such as INAM, a tag name such as Name or Artist, or title, artist, comment, genre, date, ...)",
    "the clip's sample rate (%s Hz) differs from the document's; pasting it needs resampling, which is not available yet",
    "cannot open %s:",
    "%s is a folder; skipped",
    "cancelled; nothing was changed",
    "nothing selected",
    "nothing to paste",
    "nothing to undo",
    "nothing to redo",
    "no markers",
    "no tags",
    "no documents open",
    "the history is empty",
    "already open as document %s",
    "nothing to save: the file is up to date",
    "there are modified documents; type quit again to quit without saving",
    "untitled %s",
    "saved",
    "modified",
    "none",
    "Commands (positions in seconds, \"1.5\", or frames, \"66150f\"):",
};

struct HelpEntry {
  std::string_view key;
  CommandHelp help;
};

constexpr HelpEntry kHelp[] = {
    {"open", {"open PATH...", "opens sound files; a file already open becomes the active document"}},
    {"open-raw",
     {"open-raw PATH FORMATWORD RATE CHANNELS [OFFSET]",
      "opens a headerless file with the given sample format, rate, channel count and data offset in bytes"}},
    {"new", {"new RATE CHANNELS [FORMATWORD]", "makes a new empty document"}},
    {"docs", {"docs", "lists the documents: number, name, format word, rate, channels, frames, modified (*), active (>)"}},
    {"use", {"use N", "makes document N the active one"}},
    {"close", {"close [N]", "closes the active document or document N; close! closes a modified one"}},
    {"close!", {"close! [N]", "closes a document even when it is modified"}},
    {"info", {"info", "shows the active document's path, format, length, selection, channels, markers, undo and redo"}},
    {"select", {"select FROM TO | select all", "selects [FROM, TO); FROM = TO places the cursor"}},
    {"channels", {"channels MASK", "selects the channels edits act on: 1 left, 2 right, 3 both"}},
    {"delete", {"delete", "deletes the selection"}},
    {"cut", {"cut", "moves the selection to the clip"}},
    {"copy", {"copy", "copies the selection to the clip"}},
    {"paste", {"paste", "inserts the clip at the selection start"}},
    {"paste-over", {"paste-over", "replaces the selection with the clip"}},
    {"paste-overwrite", {"paste-overwrite", "overwrites from the selection start with the clip"}},
    {"mix-paste", {"mix-paste", "adds the clip to the sound from the selection start"}},
    {"mix-paste-subtract", {"mix-paste-subtract", "subtracts the clip from the sound from the selection start"}},
    {"silence", {"silence", "silences the selection (the selected channels)"}},
    {"insert-silence", {"insert-silence MS", "inserts MS milliseconds of silence at the selection start"}},
    {"gain", {"gain DB [DB]", "changes the selection's level in decibels (one value for the selected channels, or left and right); -inf silences"}},
    {"offset", {"offset VALUE [VALUE]", "adds a DC offset in full-scale units (1.0 = full scale)"}},
    {"undo", {"undo [N]", "undoes the last N steps (1)"}},
    {"redo", {"redo [N]", "redoes N undone steps (1)"}},
    {"history", {"history", "lists the undo history, newest first; > marks the next step undo takes"}},
    {"marker", {"marker add POS NAME [COMMENT] | list | delete INDEX... | move INDEX POS | set INDEX POS NAME [COMMENT] | export PATH | import PATH",
                "edits the markers; indices are those marker list shows (from 1)"}},
    {"region", {"region next | region prev", "selects the stretch between markers after or before the selection start"}},
    {"tag", {"tag [KEY VALUE]", "lists the tags, or sets one (an empty VALUE removes it)"}},
    {"save", {"save", "saves the active document to its file"}},
    {"saveas",
     {"saveas PATH [FORMATWORD]",
      "saves to PATH; without a format word .wav gives Wave, .aif/.aiff AIFF, .aifc AIFC, .au/.snd AU, other names keep the kind"}},
    {"onerror", {"onerror stop|continue", "whether a failing command ends a non-interactive session"}},
    {"help", {"help [COMMAND]", "lists the commands, or explains one"}},
    {"quit", {"quit", "ends the session"}},
};

}  // namespace

std::string_view ConsoleText(Text id) {
  const auto i = std::size_t(id);
  return i < kTexts.size() ? kTexts[i] : std::string_view();
}

CommandHelp HelpFor(std::string_view key) {
  for (const HelpEntry& e : kHelp)
    if (e.key == key) return e.help;
  return {};
}

}  // namespace tidemark::console
