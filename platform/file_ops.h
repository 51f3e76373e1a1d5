// Operations on file names: rename, link, unlink.
//
// Each returns 0 or err::OsError(errno) and records errno for the calling
// thread, so a caller can tell EEXIST or EXDEV from other failures.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace tidemark {

// Renames `from` to `to`. With `no_replace`, fails with EEXIST when `to`
// exists, atomically (renameat2 RENAME_NOREPLACE; where the file system
// lacks it, a hard link to `to` followed by removing `from`).
[[nodiscard]] Error RenameFile(const std::string& from, const std::string& to, bool no_replace);

// Gives `existing` the additional name `new_path` (fails with EEXIST when taken).
[[nodiscard]] Error LinkFile(const std::string& existing, const std::string& new_path);

[[nodiscard]] Error UnlinkFile(const std::string& path);

// errno of this thread's last RenameFile, LinkFile, UnlinkFile or
// QueryVolume(path); 0 when it succeeded.
int LastFileErrno();

}  // namespace tidemark
