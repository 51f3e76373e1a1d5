// The private folder of the working files and the unique names in it.
//
// The folder is the host's folder when one is given, else the configured
// base with environment references expanded (default "%TEMP%"), else the
// user's temporary folder, each with the working subfolder ("__tide__")
// appended (CoreOptions). Working files are named prefix + four upper-case
// hexadecimal digits + ".tmp".
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/error.h"

namespace tidemark {

inline constexpr char kWorkFilePrefix[] = "wav";
// The longest working-folder path: a separator, "wav0000.tmp" and the
// terminating zero must still fit in PATH_MAX.
inline constexpr std::size_t kMaxWorkFolderLength = PATH_MAX - 14;

// The working folder's path (not created, not checked). 6 when no base folder
// is available, 35 when the path is longer than kMaxWorkFolderLength.
[[nodiscard]] Error WorkFolder(std::string* path);

// The working folder, created (mode 0700, with missing parents) when
// missing. Errors: those of WorkFolder; 6 when it is a symbolic link or
// belongs to another user; 23 when it cannot be created or something other
// than a folder is in the way; 35 for a path the system rejects as too long.
[[nodiscard]] Error EnsureWorkFolder(std::string* path);

// Creates a new empty file named `prefix` + "%04X" + ".tmp" in the working
// folder and gives its path. Errors: those of EnsureWorkFolder; 6 when no
// name is free or a file cannot be created.
[[nodiscard]] Error NewWorkFileName(const std::string& prefix, std::string* path);

// The next start number of the process-wide name generator (a linear
// congruential sequence advanced with compare-and-swap; its high 16 bits).
// Every unique-name search of the program starts from it.
std::uint16_t DrawWorkNameStart();

namespace detail {
// Makes the next name search start at `value` (1 to 0xFFFF). For tests.
void ForceNextWorkNameStart(std::uint16_t value);
}  // namespace detail

}  // namespace tidemark
