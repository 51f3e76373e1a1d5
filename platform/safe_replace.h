// The file-system steps of replacing a file safely: a new file without a
// name in the target's folder, its name given only once it is complete,
// the old file's permissions carried over, and the folder made durable.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// A new, empty file without a name in `folder`, open for reading and
// writing (O_TMPFILE; `mode` before the umask). Nothing remains of it when
// it is closed unless it was given a name. kCreateFailed when the file
// system cannot make such files (the caller then uses a hidden name) or
// the folder is not writable; kDiskFull; kOutOfMemory. LastFileErrno() tells.
[[nodiscard]] Error OpenUnnamedFile(const std::string& folder, mode_t mode, PosixFile* file);

// Gives the open file made by OpenUnnamedFile the name `path` in its folder;
// fails (EEXIST) when the name is taken. OsError.
[[nodiscard]] Error LinkUnnamedFile(const PosixFile& file, const std::string& path);

// Makes the entries of `folder` durable (fsync of the folder). kWriteFailed
// when it cannot be opened or synced.
[[nodiscard]] Error SyncFolder(const std::string& folder);

// Gives the open file the permission bits of `old`, and its owner and group
// where the process may (a refused chown is not an error). OsError when the
// mode cannot be set.
[[nodiscard]] Error CopyFilePermissions(PosixFile& file, const struct stat& old);

// The folder part of `path` ("." for a bare name) and the name part.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// A hidden name beside `target` for its replacement: "." + name + a
// process- and call-unique suffix + ".tmp".
std::string HiddenSiblingName(const std::string& target);

}  // namespace tidemark
