// The progress bar of long work on a terminal and its cancelling with
// Ctrl-C: while a command runs, Ctrl-C asks the work to stop (the command
// then reports its cancel) instead of killing the program.
#pragma once

#include <cstdint>
#include <string>

#include "app/console_session.h"

namespace tidemark::console {

// "[#####               ]  25%" for `done` of `total` in `width` cells.
std::string ProgressBarText(std::uint64_t done, std::uint64_t total, int width = 30);

// Hooks that draw the bar on standard error and cancel on Ctrl-C. Installs
// the SIGINT handler that sets the cancel flag.
ProgressHooks TerminalProgress();

}  // namespace tidemark::console
