// Opening a sound file for reading by a format reader.
#pragma once

#include <cstdint>
#include <string>

#include "platform/posix_file.h"

namespace tidemark {

// Opens the regular file at `path` read-only and gives its length. 25 when
// it is missing, unreadable or not a regular file; 8 when its length cannot
// be read.
[[nodiscard]] std::uint32_t OpenInputFile(const std::string& path, PosixFile* file, std::uint64_t* length);

}  // namespace tidemark
