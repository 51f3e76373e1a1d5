#include "platform/env_expand.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tidemark {
namespace {

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvOrEmpty("HOME");
  if (!home.empty()) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    home = found->pw_dir;
  return home;
}

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

std::string TempFolder() {
  std::string folder = EnvOrEmpty("TMPDIR");
  if (folder.empty()) folder = EnvOrEmpty("XDG_CACHE_HOME");
  if (folder.empty()) folder = HomeFolder() + "/.cache";
  return StripTrailingSlashes(std::move(folder));
}

std::string ExpandEnvironmentRefs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const std::string key(name);
    const char* value =
        (name.empty() || key.find('=') != std::string::npos) ? nullptr : std::getenv(key.c_str());
    if (value) {
      out.append(value);
    } else if (EqualsIgnoringCase(name, "TEMP") || EqualsIgnoringCase(name, "TMP")) {
      out.append(TempFolder());
    } else {
      out.append(text.substr(open, close - open + 1));  // stays as written
    }
    pos = close + 1;
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace tidemark
