// Whole-file reading and crash-safe replacing for the small configuration
// files (settings, registry stand-in, language files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

// Configuration files larger than this are treated as unreadable, so a
// damaged or hostile file cannot exhaust memory.
inline constexpr std::size_t kMaxConfigFileBytes = std::size_t{64} << 20;

// Reads the whole file. Errors: err::kCannotOpen (missing, not a regular file,
// no access), err::kReadFailed, err::kSizeLimit (above kMaxConfigFileBytes),
// err::kOutOfMemory.
[[nodiscard]] Error ReadConfigFile(const std::string& path, std::string* bytes);

// Replaces `path` with a file holding exactly `bytes`: writes a temporary
// file beside it, flushes it to disk and renames it over `path`. On any
// failure the temporary file is removed and the old file stays untouched.
// Errors: those of PosixFile (kCreateFailed, kWriteFailed, kDiskFull, ...) and
// OsError of the rename.
[[nodiscard]] Error ReplaceFileContents(const std::string& path, std::string_view bytes);

// The kind of object a path names (symbolic links followed).
enum class PathKind { kMissing, kFile, kFolder, kOther };
PathKind GetPathKind(const std::string& path);

// True when `path` is a regular file with at least one byte.
bool IsNonEmptyFile(const std::string& path);

// `folder` + "/" + `name` (no doubled slash).
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace tidemark
