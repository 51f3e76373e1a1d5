// Small file operations the format code shares: exact positioned writes and
// nameless scratch files in the working folder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Writes all `n` bytes at `offset`: 9 when the write fails or comes up short.
[[nodiscard]] Error WriteExact(PosixFile& file, const void* data, std::size_t n, std::uint64_t offset);

// A new working file, open for reading and writing and already without a
// name, so nothing is left behind even after a crash. 6 when it cannot be had.
[[nodiscard]] Error OpenScratchFile(PosixFile* file);

}  // namespace tidemark
