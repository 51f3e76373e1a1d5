// The program's error numbers. Every function that can fail returns one of
// these (0 = success); the values are visible outside the program and never
// change.
#pragma once

#include <cstdint>

#include "platform/error.h"

namespace tidemark::err {

inline constexpr Error kOk{};
inline constexpr Error kOutOfMemory{2};
// A window of the user interface could not be created.
inline constexpr Error kWindowCreate{3};
// The file could not be created (create-new, create-always or open-always).
inline constexpr Error kCreateFailed{5};
inline constexpr Error kNoWorkFile{6};
// A read failed or went past the end of the file.
inline constexpr Error kReadFailed{8};
inline constexpr Error kWriteFailed{9};
// Seeking or changing the size of a file failed.
inline constexpr Error kSeekFailed{10};
// More frames than a document can hold (0xFFFF0000).
inline constexpr Error kTooManyFrames{12};
// Not a file of the expected kind, or malformed. Format code uses it inside;
// the public marker and tag entry points turn it into kLayoutMismatch.
inline constexpr Error kMalformed{14};
// Sample rate, channel count or sample width not supported.
inline constexpr Error kUnsupportedFormat{15};
// A recording target reached its capacity; the frames that fitted are kept.
inline constexpr Error kRecordingFull{17};
// Too many frames for the target file format.
inline constexpr Error kTooManyFramesForTarget{19};
// Metadata would push the file past 4 GiB.
inline constexpr Error kMetadataTooLarge{20};
inline constexpr Error kPathUnresolved{21};
inline constexpr Error kFolderCreate{23};
inline constexpr Error kSectorSize{24};
// The file cannot be opened: missing, wrong access mode, or path too long.
inline constexpr Error kCannotOpen{25};
inline constexpr Error kDiskFull{26};
// A working file could not be moved to the target.
inline constexpr Error kWorkFileMoveFailed{28};
inline constexpr Error kReadOnly{30};
// A WAV encoding other than PCM or IEEE float (for the compressed-WAV decoder).
inline constexpr Error kForeignEncoding{33};
// The target file is open in another window.
inline constexpr Error kOpenElsewhere{34};
inline constexpr Error kInvalidPath{35};
// A codec library that a reader or writer needs could not be loaded.
inline constexpr Error kCodecLibraryUnavailable{37};
// The system clipboard could not be opened.
inline constexpr Error kClipboardUnavailable{38};
// A worker thread could not be created.
inline constexpr Error kThreadCreate{39};
// A playback is already running.
inline constexpr Error kPlaybackRunning{40};
inline constexpr Error kSizeLimit{77};
inline constexpr Error kLayoutMismatch{78};
inline constexpr Error kCancelled{0xFFFFFFFFu};
// The exact-match paste: the clip is missing, empty, or of another rate or
// channel count (-3).
inline constexpr Error kClipMismatch{0xFFFFFFFDu};

// Class 0xFD: an operating-system error number carried in the low 16 bits.
// The bits of the class, not an error of its own.
inline constexpr std::uint32_t kOsErrorClass = 0xFD0000u;

constexpr Error OsError(int errno_value) {
  return Error(kOsErrorClass | (static_cast<std::uint32_t>(errno_value) & 0xFFFFu));
}

constexpr bool IsOsError(Error error) { return (error.code() & 0xFFFF0000u) == kOsErrorClass; }

// The errno carried by an OsError() number (0 for any other number).
constexpr int OsErrno(Error error) {
  return IsOsError(error) ? static_cast<int>(error.code() & 0xFFFFu) : 0;
}

}  // namespace tidemark::err
