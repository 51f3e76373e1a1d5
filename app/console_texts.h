// The console editor's own texts (messages, notices and help): slots of the
// text catalogue, so that they appear in the user's language. The messages
// live in the "text" section (text::kConsole...), the help descriptions in
// "keyassign/desc"; the usage lines are command syntax and stay as written.
// Engine errors come from the catalogue's error messages.
#pragma once

#include <string_view>

#include "config/text_slots.h"

namespace tidemark::console {

// The catalogue text of `slot` (printf form where its name says so).
std::string_view ConsoleText(TextSlot slot);

// The help of one command: usage line and description.
struct CommandHelp {
  std::string_view usage;
  std::string_view description;
  std::string_view details;  // lines after the usage (fields per format); may be empty
};

// The help entry named `key` (the command name as the table uses it), or
// an entry with empty fields when there is none.
CommandHelp HelpFor(std::string_view key);

}  // namespace tidemark::console
