// Private to platform/: how the file wrappers turn errno values into the
// program's error numbers, and the per-thread errno of the free functions.
#pragma once

#include <cerrno>
#include <cstdint>

#include "platform/error_numbers.h"

namespace tidemark::detail {

inline bool IsDiskFullErrno(int e) { return e == ENOSPC || e == EDQUOT; }

// `creating`: the open could create the file (every disposition but open-existing).
inline Error OpenErrorNumber(int e, bool creating) {
  if (e == ENOMEM) return err::kOutOfMemory;
  if (IsDiskFullErrno(e)) return err::kDiskFull;
  if (e == ENAMETOOLONG) return err::kCannotOpen;
  return creating ? err::kCreateFailed : err::kCannotOpen;
}

// `fallback` is the number of the operation (read, write, resize).
inline Error IoErrorNumber(int e, Error fallback) {
  if (IsDiskFullErrno(e)) return err::kDiskFull;
  if (e == ENOMEM) return err::kOutOfMemory;
  return fallback;
}

// Records `e` as the errno of the calling thread's last free file function
// (0 after a success) and returns kOk or err::OsError(e).
Error SetLastFileErrno(int e);

}  // namespace tidemark::detail
