// Where the configuration files live.
//
// The settings folder is $XDG_CONFIG_HOME (an absolute path), else
// "$HOME/.config", plus "Fernwick/Tidemark"; the missing folders are created.
// It is unavailable when the path is too long or a part of it exists as
// something other than a folder; then the program's own folder stands in.
#pragma once

#include <string>
#include <string_view>

namespace tidemark {

// The settings folder, created when missing; empty when unavailable.
std::string SettingsFolder();

// Where configuration files are written: the settings folder, or the
// program's folder when the settings folder is unavailable.
std::string ConfigWriteFolder();

// The file `name` to read: the one in the settings folder when it exists and
// is not empty, else the one beside the program when it exists, else empty
// (nothing to read: every setting keeps its built-in value).
std::string ConfigReadPath(std::string_view name);

// The same rule with the two folders given (either may be empty).
std::string ConfigReadPathIn(std::string_view settings_folder, std::string_view program_folder,
                             std::string_view name);

// The path ConfigWriteFolder() + "/" + name; empty when no folder is known.
std::string ConfigWritePath(std::string_view name);

}  // namespace tidemark
