#include "platform/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/file_errno.h"

namespace tidemark {
namespace {

int OpenFlags(const FileOpenOptions& options) {
  int flags = O_CLOEXEC;
  switch (options.access) {
    case FileAccess::kRead: flags |= O_RDONLY; break;
    case FileAccess::kWrite: flags |= O_WRONLY; break;
    case FileAccess::kReadWrite: flags |= O_RDWR; break;
  }
  switch (options.disposition) {
    case FileDisposition::kCreateNew: flags |= O_CREAT | O_EXCL; break;
    case FileDisposition::kCreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case FileDisposition::kOpenAlways: flags |= O_CREAT; break;
    case FileDisposition::kOpenExisting: break;
  }
  return flags;
}

// The seam's verdict on a call without a byte range: errno to fail with, or 0.
int InjectedErrno(fault::FaultOp op, std::uint64_t size = 0) {
  const fault::FaultDecision d = fault::CheckFault(op, 0, size);
  return d.fire ? d.error : 0;
}

// close(2) through the seam; the descriptor is released in every case.
int CloseDescriptor(int fd) {
  const int injected = InjectedErrno(fault::kClose);
  // Linux frees the descriptor even when close reports EINTR, so no retry.
  const int e = close(fd) == 0 || errno == EINTR ? 0 : errno;
  return injected ? injected : e;
}

}  // namespace

PosixFile::PosixFile(PosixFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      direct_(std::exchange(other.direct_, false)),
      last_errno_(other.last_errno_) {}

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) CloseDescriptor(fd_);
    fd_ = std::exchange(other.fd_, -1);
    direct_ = std::exchange(other.direct_, false);
    last_errno_ = other.last_errno_;
  }
  return *this;
}

PosixFile::~PosixFile() {
  if (fd_ >= 0) CloseDescriptor(fd_);
}

Error PosixFile::Fail(int e, Error number) {
  last_errno_ = e;
  return number;
}

Error PosixFile::Open(const std::string& path, const FileOpenOptions& options) {
  if (fd_ >= 0) {
    CloseDescriptor(fd_);
    fd_ = -1;
  }
  direct_ = false;
  last_errno_ = 0;
  const bool creating = options.disposition != FileDisposition::kOpenExisting;

  int fd = -1;
  if (const int e = InjectedErrno(fault::kOpen)) return Fail(e, detail::OpenErrorNumber(e, creating));
  do {
    fd = open(path.c_str(), OpenFlags(options), options.mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int e = errno;
    return Fail(e, detail::OpenErrorNumber(e, creating));
  }

  if (options.delete_on_close) {
    int e = InjectedErrno(fault::kUnlink);
    if (e == 0 && unlink(path.c_str()) != 0) e = errno;
    if (e != 0) {
      CloseDescriptor(fd);
      return Fail(e, err::OsError(e));
    }
  }

  // O_DIRECT is switched on after opening: a file system that refuses it
  // would otherwise fail the open only after creating the file, and a retry
  // of a create-new open would then find its own file in the way.
  if (options.try_direct && InjectedErrno(fault::kSetDirect) == 0) {
    const int flags = fcntl(fd, F_GETFL);
    direct_ = flags >= 0 && fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
  }
  fd_ = fd;
  return err::kOk;
}

Error PosixFile::ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) {
  *done = 0;
  if (fd_ < 0) return Fail(EBADF, err::kReadFailed);
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (*done < n) {
    const std::uint64_t at = offset + *done;
    const fault::FaultDecision d = fault::CheckFault(fault::kRead, at, n - *done);
    std::size_t want = n - *done;
    if (d.fire) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, d.allowed));
    if (want > 0) {
      const ssize_t got = pread(fd_, bytes + *done, want, static_cast<off_t>(at));
      if (got < 0) {
        if (errno == EINTR && !d.fire) continue;
        const int e = errno;
        return Fail(e, detail::IoErrorNumber(e, err::kReadFailed));
      }
      if (got == 0) break;  // end of file
      *done += static_cast<std::size_t>(got);
    }
    if (d.fire) {
      if (d.error == 0) break;  // an injected early end of file
      return Fail(d.error, detail::IoErrorNumber(d.error, err::kReadFailed));
    }
  }
  return err::kOk;
}

Error PosixFile::WriteAt(const void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) {
  *done = 0;
  if (fd_ < 0) return Fail(EBADF, err::kWriteFailed);
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (*done < n) {
    const std::uint64_t at = offset + *done;
    const fault::FaultDecision d = fault::CheckFault(fault::kWrite, at, n - *done);
    std::size_t want = n - *done;
    if (d.fire) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, d.allowed));
    std::size_t put = 0;
    if (want > 0) {
      const ssize_t r = pwrite(fd_, bytes + *done, want, static_cast<off_t>(at));
      if (r < 0) {
        if (errno == EINTR && !d.fire) continue;
        const int e = errno;
        return Fail(e, detail::IoErrorNumber(e, err::kWriteFailed));
      }
      put = static_cast<std::size_t>(r);
      *done += put;
    }
    if (d.fire && d.error != 0) return Fail(d.error, detail::IoErrorNumber(d.error, err::kWriteFailed));
    // A write that makes no progress would loop for ever.
    if (put == 0) return Fail(EIO, err::kWriteFailed);
  }
  return err::kOk;
}

Error PosixFile::Sync() {
  if (fd_ < 0) return Fail(EBADF, err::kWriteFailed);
  int e = InjectedErrno(fault::kFsync);
  if (e == 0 && fsync(fd_) != 0) e = errno;
  if (e != 0) return Fail(e, detail::IoErrorNumber(e, err::kWriteFailed));
  return err::kOk;
}

Error PosixFile::Truncate(std::uint64_t size) {
  if (fd_ < 0) return Fail(EBADF, err::kSeekFailed);
  int e = InjectedErrno(fault::kFtruncate, size);
  if (e == 0) {
    while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) {
        e = errno;
        break;
      }
    }
  }
  if (e != 0) return Fail(e, detail::IoErrorNumber(e, err::kSeekFailed));
  return err::kOk;
}

Error PosixFile::Allocate(std::uint64_t size) {
  if (fd_ < 0) return Fail(EBADF, err::kSeekFailed);
  if (size == 0) return err::kOk;  // fallocate refuses a zero length
  int e = InjectedErrno(fault::kFallocate, size);
  if (e == 0) {
    while (fallocate(fd_, 0, 0, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) {
        e = errno;
        break;
      }
    }
  }
  if (e == 0) return err::kOk;
  if (e != EOPNOTSUPP && e != ENOSYS) return Fail(e, detail::IoErrorNumber(e, err::kSeekFailed));
  // No reservation on this file system: extend the size only, never cut.
  std::uint64_t current = 0;
  if (Size(&current) != err::kOk) return err::kSeekFailed;
  if (current >= size) return err::kOk;
  return Truncate(size);
}

Error PosixFile::Stat(struct stat* st) {
  if (fd_ < 0) return Fail(EBADF, err::OsError(EBADF));
  int e = InjectedErrno(fault::kStat);
  if (e == 0 && fstat(fd_, st) != 0) e = errno;
  if (e != 0) return Fail(e, err::OsError(e));
  return err::kOk;
}

Error PosixFile::Size(std::uint64_t* size) {
  struct stat st {};
  if (const Error rc = Stat(&st)) return rc;
  *size = static_cast<std::uint64_t>(st.st_size);
  return err::kOk;
}

Error PosixFile::AllocatedBytes(std::uint64_t* bytes) {
  struct stat st {};
  if (const Error rc = Stat(&st)) return rc;
  *bytes = static_cast<std::uint64_t>(st.st_blocks) * 512u;
  return err::kOk;
}

Error PosixFile::QueryVolume(VolumeInfo* info) {
  if (fd_ < 0) return Fail(EBADF, err::OsError(EBADF));
  int e = 0;
  const Error rc = detail::QueryVolumeOfDescriptor(fd_, info, &e);
  if (rc != err::kOk) last_errno_ = e;
  return rc;
}

Error PosixFile::Close() {
  if (fd_ < 0) return err::kOk;
  const int e = CloseDescriptor(std::exchange(fd_, -1));
  direct_ = false;
  if (e != 0) return Fail(e, detail::IoErrorNumber(e, err::kWriteFailed));
  return err::kOk;
}

}  // namespace tidemark
