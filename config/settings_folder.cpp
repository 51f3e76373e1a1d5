#include "config/settings_folder.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "config/config_file_io.h"
#include "platform/system_info.h"

namespace tidemark {
namespace {

// Room kept below PATH_MAX for the names of the files inside the folder.
constexpr std::size_t kFileNameRoom = 15;

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd pw{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result &&
      result->pw_dir)
    return result->pw_dir;
  return {};
}

// Creates `path` as a folder when missing; false when it exists as anything else.
bool EnsureFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0) return true;
  return errno == EEXIST && GetPathKind(path) == PathKind::kFolder;
}

}  // namespace

std::string SettingsFolder() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    base = JoinPath(home, ".config");
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string vendor = JoinPath(base, "Fernwick");
  const std::string folder = JoinPath(vendor, "Tidemark");
  if (folder.size() + kFileNameRoom > PATH_MAX) return {};
  if (!EnsureFolder(base) || !EnsureFolder(vendor) || !EnsureFolder(folder)) return {};
  return folder;
}

std::string ConfigWriteFolder() {
  std::string folder = SettingsFolder();
  return folder.empty() ? ProgramFolder() : folder;
}

std::string ConfigReadPathIn(std::string_view settings_folder, std::string_view program_folder,
                             std::string_view name) {
  if (!settings_folder.empty()) {
    const std::string path = JoinPath(settings_folder, name);
    if (IsNonEmptyFile(path)) return path;
  }
  if (!program_folder.empty()) {
    const std::string path = JoinPath(program_folder, name);
    if (GetPathKind(path) == PathKind::kFile) return path;
  }
  return {};
}

std::string ConfigReadPath(std::string_view name) {
  return ConfigReadPathIn(SettingsFolder(), ProgramFolder(), name);
}

std::string ConfigWritePath(std::string_view name) {
  const std::string folder = ConfigWriteFolder();
  return folder.empty() ? std::string() : JoinPath(folder, name);
}

}  // namespace tidemark
