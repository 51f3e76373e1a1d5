// What the console editor sets up before its first command: the text
// catalogue of the user's language, the settings, and the lookup through which the core
// finds its undo names and status lines in it.
#pragma once

#include "app/console_session.h"
#include "formats/open_sound_file.h"

namespace tidemark::console {

// Loads the process text catalogue and installs the core's text lookup.
// Silent on failure (texts are then empty). Call before any document exists.
void LoadStartupTexts();

// Loads the user's settings ("tide.ini"; a missing or unreadable file
// leaves the built-in ones), fills the core's options and the effects'
// working format from them and gives what opening and saving files and the
// statistics need. Call before any document exists.
struct StartupSettings {
  OpenOptions open;
  SaveSettings save;
  char weighting = '0';
};
StartupSettings LoadStartupSettings();

// Loads the effects' presets ("tide.preset" in the settings folder; the
// chains are read when a command needs them). Part of LoadStartupSettings.
void LoadStartupPresets();

}  // namespace tidemark::console
