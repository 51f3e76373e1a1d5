#include "platform/safe_replace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/file_errno.h"

namespace tidemark {
namespace {

// One system call through the fault seam: errno, or 0.
template <typename Call>
int SysCall(fault::FaultOp op, Call call) {
  const fault::FaultDecision d = fault::CheckFault(op);
  if (d.fire) return d.error;
  return call() < 0 ? errno : 0;
}

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

Error OpenUnnamedFile(const std::string& folder, mode_t mode, PosixFile* file) {
  int fd = -1;
  const int e = SysCall(fault::kOpen, [&] {
    fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    return fd;
  });
  if (e != 0) {
    (void)detail::SetLastFileErrno(e);
    return detail::OpenErrorNumber(e, true);
  }
  // The wrapper takes the file over through its descriptor link; the
  // reopened descriptor names the same inode.
  FileOpenOptions options;
  options.access = FileAccess::kReadWrite;
  const Error rc = file->Open(FdPath(fd), options);
  (void)close(fd);
  (void)detail::SetLastFileErrno(rc == err::kOk ? 0 : file->last_errno());
  return rc == err::kOk ? err::kOk : err::kCreateFailed;
}

Error LinkUnnamedFile(const PosixFile& file, const std::string& path) {
  const std::string from = FdPath(file.fd());
  return detail::SetLastFileErrno(SysCall(fault::kLink, [&] {
    return linkat(AT_FDCWD, from.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
  }));
}

Error SyncFolder(const std::string& folder) {
  int fd = -1;
  int e = SysCall(fault::kOpen, [&] {
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd;
  });
  if (e == 0) {
    e = SysCall(fault::kFsync, [&] { return fsync(fd); });
    (void)close(fd);
  }
  (void)detail::SetLastFileErrno(e);
  return e == 0 ? err::kOk : err::kWriteFailed;
}

Error CopyFilePermissions(PosixFile& file, const struct stat& old) {
  // Owner first: a chown may clear the set-id bits that the chmod then restores.
  if (geteuid() == 0 || old.st_uid == geteuid()) (void)fchown(file.fd(), old.st_uid, old.st_gid);
  // The seam has no operation of its own for fchmod; it counts with the
  // status calls.
  return detail::SetLastFileErrno(SysCall(fault::kStat, [&] { return fchmod(file.fd(), old.st_mode & 07777); }));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HiddenSiblingName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%X.%X.tmp", static_cast<unsigned>(getpid()), counter.fetch_add(1));
  const std::size_t slash = target.rfind('/');
  return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + suffix;
}

}  // namespace tidemark
