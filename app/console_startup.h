// What the console editor sets up before its first command: the text
// catalogue of the user's language, the settings, and the lookup through which the core
// finds its undo names and status lines in it.
#pragma once

#include <cstdint>

#include "app/console_session.h"
#include "config/settings.h"
#include "formats/open_sound_file.h"

namespace tidemark::console {

// A file-size limit (ulimit -f) then fails a write with EFBIG, which every
// writer reports and cleans up after, instead of SIGXFSZ ending the process
// with a half-written file left behind.
void IgnoreFileSizeSignal();

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
  Settings settings;  // as loaded; what the session changes is saved back
};
StartupSettings LoadStartupSettings();

// Sets the OpenMP worker count from the setting: at most the processors of
// the affinity mask; zero or less keeps the runtime's default.
void ApplyThreadSetting(std::int32_t threads);

// Puts what the session changed (the recently used effects and response
// files) into `settings` and saves them (temporary file, fsync, rename)
// when they differ from the last saved state or `always`. The error of the
// save.
[[nodiscard]] Error SaveSessionSettings(Settings& settings, bool always);

// Loads the effects' presets ("tide.preset" in the settings folder; the
// chains are read when a command needs them). Part of LoadStartupSettings.
void LoadStartupPresets();

}  // namespace tidemark::console
