#include "config/config_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"

namespace tidemark {

Error ReadConfigFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  if (GetPathKind(path) != PathKind::kFile) return err::kCannotOpen;
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kRead;
  options.disposition = FileDisposition::kOpenExisting;
  if (const Error rc = file.Open(path, options); rc != err::kOk) return rc;
  std::uint64_t size = 0;
  if (file.Size(&size) != err::kOk) return err::kReadFailed;
  if (size > kMaxConfigFileBytes) return err::kSizeLimit;
  std::string data;
  if (const Error rc = TryAlloc([&] { data.resize(static_cast<std::size_t>(size)); })) return rc;
  std::size_t done = 0;
  if (const Error rc = file.ReadAt(data.data(), data.size(), 0, &done); rc != err::kOk)
    return rc;
  data.resize(done);  // a file that shrank meanwhile is read as far as it goes
  *bytes = std::move(data);
  return err::kOk;
}

namespace {

// A name beside the target that no other writer in this process or another
// process uses at the same time.
std::string TemporarySibling(const std::string& path, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(attempt);
}

// Makes the rename itself durable. A failure changes nothing the caller could
// act on: the new file is in place either way.
void SyncParentFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)fsync(fd);
  (void)close(fd);
}

}  // namespace

Error ReplaceFileContents(const std::string& path, std::string_view bytes) {
  PosixFile file;
  std::string temp;
  FileOpenOptions options;
  options.access = FileAccess::kWrite;
  options.disposition = FileDisposition::kCreateNew;
  Error rc = err::kCreateFailed;
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    temp = TemporarySibling(path, attempt);
    rc = file.Open(temp, options);
    if (rc == err::kOk || file.last_errno() != EEXIST) break;
  }
  if (rc != err::kOk) return rc;

  std::size_t done = 0;
  rc = file.WriteAt(bytes.data(), bytes.size(), 0, &done);
  if (rc == err::kOk && done != bytes.size()) rc = err::kWriteFailed;
  if (rc == err::kOk) rc = file.Sync();
  const Error close_rc = file.Close();
  if (rc == err::kOk) rc = close_rc;
  if (rc == err::kOk) rc = RenameFile(temp, path, /*no_replace=*/false);
  if (rc != err::kOk) {
    (void)UnlinkFile(temp);
    return rc;
  }
  SyncParentFolder(path);
  return err::kOk;
}

PathKind GetPathKind(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return PathKind::kOther;
}

bool IsNonEmptyFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

}  // namespace tidemark
