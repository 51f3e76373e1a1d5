// Moving file sources off the files they read: detaching a source from a
// user's file (so the file can be overwritten) and moving an owned working
// file to a new name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/sources/sound_source.h"
#include "platform/error.h"

namespace tidemark {

// Told the bytes copied so far and the total; false cancels the copy.
using DetachProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;
// Asked before a copy of more than kDetachConfirmBytes data bytes when
// CoreOptions::confirm_large_detach is on; false declines.
using DetachConfirm = std::function<bool(std::uint64_t data_bytes)>;

inline constexpr std::uint64_t kDetachConfirmBytes = 0x1FFFFFF;

// Copies the data of the file source reading `path` into a new working file
// ("Temp" kind, the code normalised as for "Wave") and redirects the source
// to it (data offset = the Temp header size, owning the copy), so that
// `path` can be overwritten. 0 when no source reads `path`. Until the copy
// is complete and reopened, the source keeps reading the original; on any
// failure, a cancel (kCancelled) or a declined confirmation (kCancelled) it
// still does, and no part of the copy is left behind. Errors: those of the
// working-file writer and of reading the source; 77 when the data do not
// fit in one working file.
//
// With `allow_link`, the copy is avoided where possible: the original is
// hard-linked into the working folder as an owned working file that keeps
// the original's layout (data offset, code), so replacing `path` by a new
// file (rename) leaves the data where the source reads them. Where the
// working folder lies on another file system or links are refused (EXDEV,
// EPERM, or any other link failure) the data are copied. A caller that
// rewrites `path` in place must not allow the link: it shares the bytes.
[[nodiscard]] Error DetachFromOriginal(const std::string& path, const DetachProgress& progress,
                                       const DetachConfirm& confirm, bool allow_link = false);

// RenameOwnedFile results.
inline constexpr std::uint32_t kRenameNotDone = 0;
inline constexpr std::uint32_t kRenameTargetExists = 1;
inline constexpr std::uint32_t kRenameDone = 2;

// Moves the file an owned file source reads to `new_path` and makes the
// source read it there, no longer owning it. kRenameTargetExists when
// something already has that name (found atomically, never replaced);
// kRenameNotDone when the source is not a file source that owns its file,
// or the move failed (`error`, when given, receives the reason; 0 when
// there was nothing to do). A target on another file system is copied to a
// temporary name beside it, moved to the name atomically, and only then is
// the original removed; a failed copy leaves the original untouched.
[[nodiscard]] std::uint32_t RenameOwnedFile(SoundSource* source, const std::string& new_path,
                                            Error* error = nullptr);

}  // namespace tidemark
