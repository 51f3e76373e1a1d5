#include "platform/file_ops.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault_injection.h"
#include "platform/file_errno.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace tidemark {
namespace {

thread_local int t_last_errno = 0;

// Runs one system call through the fault seam; returns errno or 0.
template <typename Call>
int SysCall(fault::FaultOp op, Call call) {
  const fault::FaultDecision d = fault::CheckFault(op);
  if (d.fire) return d.error;
  return call() == 0 ? 0 : errno;
}

int RenameNoReplace(const char* from, const char* to) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
  return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#endif
}

}  // namespace

namespace detail {

Error SetLastFileErrno(int e) {
  t_last_errno = e;
  return e == 0 ? err::kOk : err::OsError(e);
}

}  // namespace detail

int LastFileErrno() { return t_last_errno; }

Error RenameFile(const std::string& from, const std::string& to, bool no_replace) {
  if (!no_replace)
    return detail::SetLastFileErrno(
        SysCall(fault::kRename, [&] { return rename(from.c_str(), to.c_str()); }));
  const int e =
      SysCall(fault::kRename, [&] { return RenameNoReplace(from.c_str(), to.c_str()); });
  if (e != EINVAL && e != ENOSYS) return detail::SetLastFileErrno(e);
  // The file system does not know the flag: a hard link also refuses an
  // existing target atomically.
  const int link_e = SysCall(fault::kLink, [&] { return link(from.c_str(), to.c_str()); });
  if (link_e == EEXIST) return detail::SetLastFileErrno(EEXIST);
  if (link_e != 0) return detail::SetLastFileErrno(e);
  const int unlink_e = SysCall(fault::kUnlink, [&] { return unlink(from.c_str()); });
  if (unlink_e != 0) {
    // Leave the names as they were.
    (void)SysCall(fault::kUnlink, [&] { return unlink(to.c_str()); });
    return detail::SetLastFileErrno(unlink_e);
  }
  return detail::SetLastFileErrno(0);
}

Error LinkFile(const std::string& existing, const std::string& new_path) {
  return detail::SetLastFileErrno(
      SysCall(fault::kLink, [&] { return link(existing.c_str(), new_path.c_str()); }));
}

Error UnlinkFile(const std::string& path) {
  return detail::SetLastFileErrno(SysCall(fault::kUnlink, [&] { return unlink(path.c_str()); }));
}

}  // namespace tidemark
