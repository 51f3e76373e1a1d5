// An open file: a move-only owner of a POSIX descriptor.
//
// Every method returns 0 or a program error number and keeps the errno of the
// failing system call in last_errno(). All system calls go through the fault
// seam (platform/fault_injection.h).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/volume_info.h"

namespace tidemark {

enum class FileAccess { kRead, kWrite, kReadWrite };

enum class FileDisposition {
  kCreateNew,     // fails (EEXIST) when the file exists
  kCreateAlways,  // creates or empties
  kOpenAlways,    // opens, creating when missing
  kOpenExisting,  // fails when missing
};

struct FileOpenOptions {
  FileAccess access = FileAccess::kRead;
  FileDisposition disposition = FileDisposition::kOpenExisting;
  // The name is removed right after opening: the file lives while open and
  // nothing is left behind, even after a crash.
  bool delete_on_close = false;
  // Bypass the page cache (O_DIRECT) where the file system allows it; where
  // it refuses, the file stays open with caching. direct() tells which.
  // Direct transfers need buffers, offsets and sizes aligned to the sector size.
  bool try_direct = false;
  mode_t mode = 0666;  // for a created file, before the umask
};

class PosixFile {
 public:
  PosixFile() = default;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;
  PosixFile(PosixFile&& other) noexcept;
  PosixFile& operator=(PosixFile&& other) noexcept;
  ~PosixFile();  // closes, ignoring errors

  // Closes any open file first (ignoring its close error; call Close() to
  // see it). Errors: kCannotOpen (missing, wrong access,
  // path too long), kCreateFailed (any failure of a disposition that may
  // create), kOutOfMemory, kDiskFull; OsError when the delete-on-close
  // unlink fails.
  [[nodiscard]] Error Open(const std::string& path, const FileOpenOptions& options);

  // Reads up to `n` bytes at `offset`; `*done` receives the bytes read. Stops
  // early only at end of file (success with *done < n) or on an error
  // (kReadFailed; bytes before the failure are counted in *done).
  [[nodiscard]] Error ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done);
  // Writes `n` bytes at `offset`; `*done` receives the bytes written, also on
  // failure (kWriteFailed, kDiskFull).
  [[nodiscard]] Error WriteAt(const void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done);
  [[nodiscard]] Error Sync();  // kWriteFailed, kDiskFull
  // Sets the size exactly (cuts or extends with zeros). kSeekFailed, kDiskFull.
  [[nodiscard]] Error Truncate(std::uint64_t size);
  // Extends the file to at least `size` bytes with the space reserved on disk
  // (fallocate), so a full disk shows here rather than in later writes; where
  // the file system cannot reserve, extends with ftruncate. Never shrinks.
  // kSeekFailed, kDiskFull.
  [[nodiscard]] Error Allocate(std::uint64_t size);
  // The file's size; OsError on failure.
  [[nodiscard]] Error Size(std::uint64_t* size);
  // Bytes the file occupies on disk (st_blocks x 512); less than Size() for a
  // sparse file. OsError on failure.
  [[nodiscard]] Error AllocatedBytes(std::uint64_t* bytes);
  // The volume holding the file. OsError on failure.
  [[nodiscard]] Error QueryVolume(VolumeInfo* info);
  // Releases the descriptor in every case; reports a failure the kernel
  // only now admits to (kWriteFailed, kDiskFull). No-op when not open.
  [[nodiscard]] Error Close();

  bool is_open() const { return fd_ >= 0; }
  bool direct() const { return direct_; }
  int fd() const { return fd_; }
  int last_errno() const { return last_errno_; }

 private:
  Error Fail(int e, Error number);
  // fstat through the fault seam; OsError on failure.
  Error Stat(struct stat* st);

  int fd_ = -1;
  bool direct_ = false;
  int last_errno_ = 0;
};

}  // namespace tidemark
