// The program's error numbers. Every function that can fail returns one of
// these (0 = success); the values are visible outside the program and never
// change.
#pragma once

#include <cstdint>

namespace tidemark::err {

inline constexpr std::uint32_t kOk = 0;
inline constexpr std::uint32_t kOutOfMemory = 2;
// A window of the user interface could not be created.
inline constexpr std::uint32_t kWindowCreate = 3;
// The file could not be created (create-new, create-always or open-always).
inline constexpr std::uint32_t kCreateFailed = 5;
inline constexpr std::uint32_t kNoWorkFile = 6;
// A read failed or went past the end of the file.
inline constexpr std::uint32_t kReadFailed = 8;
inline constexpr std::uint32_t kWriteFailed = 9;
// Seeking or changing the size of a file failed.
inline constexpr std::uint32_t kSeekFailed = 10;
// More frames than a document can hold (0xFFFF0000).
inline constexpr std::uint32_t kTooManyFrames = 12;
// Not a file of the expected kind, or malformed. Format code uses it inside;
// the public marker and tag entry points turn it into kLayoutMismatch.
inline constexpr std::uint32_t kMalformed = 14;
// Sample rate, channel count or sample width not supported.
inline constexpr std::uint32_t kUnsupportedFormat = 15;
// Too many frames for the target file format.
inline constexpr std::uint32_t kTooManyFramesForTarget = 19;
// Metadata would push the file past 4 GiB.
inline constexpr std::uint32_t kMetadataTooLarge = 20;
inline constexpr std::uint32_t kPathUnresolved = 21;
inline constexpr std::uint32_t kFolderCreate = 23;
inline constexpr std::uint32_t kSectorSize = 24;
// The file cannot be opened: missing, wrong access mode, or path too long.
inline constexpr std::uint32_t kCannotOpen = 25;
inline constexpr std::uint32_t kDiskFull = 26;
// A working file could not be moved to the target.
inline constexpr std::uint32_t kWorkFileMoveFailed = 28;
inline constexpr std::uint32_t kReadOnly = 30;
// A WAV encoding other than PCM or IEEE float (for the compressed-WAV decoder).
inline constexpr std::uint32_t kForeignEncoding = 33;
// The target file is open in another window.
inline constexpr std::uint32_t kOpenElsewhere = 34;
inline constexpr std::uint32_t kInvalidPath = 35;
// The system clipboard could not be opened.
inline constexpr std::uint32_t kClipboardUnavailable = 38;
inline constexpr std::uint32_t kSizeLimit = 77;
inline constexpr std::uint32_t kLayoutMismatch = 78;
inline constexpr std::uint32_t kCancelled = 0xFFFFFFFFu;
// The exact-match paste: the clip is missing, empty, or of another rate or
// channel count (-3).
inline constexpr std::uint32_t kClipMismatch = 0xFFFFFFFDu;

// Class 0xFD: an operating-system error number carried in the low 16 bits.
inline constexpr std::uint32_t kOsErrorClass = 0xFD0000u;

constexpr std::uint32_t OsError(int errno_value) {
  return kOsErrorClass | (static_cast<std::uint32_t>(errno_value) & 0xFFFFu);
}

constexpr bool IsOsError(std::uint32_t code) { return (code & 0xFFFF0000u) == kOsErrorClass; }

// The errno carried by an OsError() number (0 for any other number).
constexpr int OsErrno(std::uint32_t code) {
  return IsOsError(code) ? static_cast<int>(code & 0xFFFFu) : 0;
}

}  // namespace tidemark::err
