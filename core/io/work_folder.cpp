#include "core/io/work_folder.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "core/core_options.h"
#include "platform/env_expand.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"

namespace tidemark {
namespace {

std::uint32_t InitialState() {
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::uint32_t>(now.tv_nsec) ^ (static_cast<std::uint32_t>(now.tv_sec) << 7) ^
         (static_cast<std::uint32_t>(getpid()) << 16);
}

// The process-wide name generator: a linear congruential sequence advanced
// with compare-and-swap, so concurrent callers never draw the same state.
std::atomic<std::uint32_t> g_state{InitialState()};
std::atomic<std::uint32_t> g_forced_start{0};

}  // namespace

std::uint16_t DrawWorkNameStart() {
  if (const std::uint32_t forced = g_forced_start.exchange(0)) return static_cast<std::uint16_t>(forced);
  std::uint32_t old = g_state.load(std::memory_order_relaxed);
  std::uint32_t next = 0;
  do {
    next = old * 1664525u + 1013904223u;
  } while (!g_state.compare_exchange_weak(old, next, std::memory_order_relaxed));
  return static_cast<std::uint16_t>(next >> 16);
}

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

// Creates `path` and its missing parents; the last one gets mode 0700.
Error CreateFolderTree(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const bool last = slash == std::string::npos;
    const std::string part = last ? path : path.substr(0, slash);
    if (mkdir(part.c_str(), last ? 0700 : 0777) != 0 && errno != EEXIST)
      return errno == ENAMETOOLONG ? err::kInvalidPath : err::kFolderCreate;
    if (last) return err::kOk;
  }
}

// 0 for a folder of this user (not a symbolic link).
Error CheckFolder(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return err::kNoWorkFile;
  if (!S_ISDIR(st.st_mode)) return err::kFolderCreate;
  if (st.st_uid != geteuid()) return err::kNoWorkFile;
  return err::kOk;
}

}  // namespace

Error WorkFolder(std::string* path) {
  path->clear();
  const CoreOptions& options = GetCoreOptions();
  std::string base = options.host_work_folder;
  if (!IsAbsolute(base)) base = ExpandEnvironmentRefs(options.work_folder_setting);
  if (!IsAbsolute(base)) base = TempFolder();
  if (!IsAbsolute(base) || options.work_subfolder.empty() ||
      options.work_subfolder.find('/') != std::string::npos)
    return err::kNoWorkFile;
  base = WithoutTrailingSlashes(base);
  std::string folder = base == "/" ? "/" + options.work_subfolder : base + "/" + options.work_subfolder;
  if (folder.size() > kMaxWorkFolderLength || folder.find('\0') != std::string::npos)
    return err::kInvalidPath;
  *path = std::move(folder);
  return err::kOk;
}

Error EnsureWorkFolder(std::string* path) {
  if (const Error rc = WorkFolder(path)) return rc;
  struct stat st {};
  if (lstat(path->c_str(), &st) != 0) {
    if (errno == ENAMETOOLONG) return err::kInvalidPath;
    if (errno != ENOENT) return err::kFolderCreate;
    if (const Error rc = CreateFolderTree(*path)) return rc;
    if (lstat(path->c_str(), &st) != 0) return err::kFolderCreate;
  }
  return CheckFolder(st);
}

Error NewWorkFileName(const std::string& prefix, std::string* path) {
  path->clear();
  // A folder removed behind our back is created again, once.
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::string folder;
    if (const Error rc = EnsureWorkFolder(&folder)) return rc;
    const std::uint16_t start = DrawWorkNameStart();
    std::uint16_t value = start == 0 ? 1 : start;
    const std::uint16_t first = value;
    int last_errno = 0;
    do {
      char name[16];
      std::snprintf(name, sizeof name, "%04X.tmp", static_cast<unsigned>(value));
      const std::string candidate = folder + "/" + prefix + name;
      if (candidate.size() >= PATH_MAX) return err::kInvalidPath;
      PosixFile file;
      FileOpenOptions options;
      options.access = FileAccess::kWrite;
      options.disposition = FileDisposition::kCreateNew;
      options.mode = 0600;
      if (file.Open(candidate, options) == err::kOk) {
        if (file.Close() != err::kOk) {
          (void)UnlinkFile(candidate);
          return err::kNoWorkFile;
        }
        *path = candidate;
        return err::kOk;
      }
      last_errno = file.last_errno();
      if (last_errno != EEXIST) break;
      value = static_cast<std::uint16_t>(value + 1);
      if (value == 0) value = 1;
    } while (value != first);
    if (last_errno != ENOENT) return err::kNoWorkFile;
  }
  return err::kNoWorkFile;
}

namespace detail {
void ForceNextWorkNameStart(std::uint16_t value) { g_forced_start.store(value); }
}  // namespace detail

}  // namespace tidemark
