// Opening a sound file for reading by a format reader.
#pragma once

#include <cstdint>
#include <string>

#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Opens the regular file at `path` read-only and gives its length. 25 when
// it is missing, unreadable or not a regular file; 8 when its length cannot
// be read.
[[nodiscard]] Error OpenInputFile(const std::string& path, PosixFile* file, std::uint64_t* length);

// Opens `path` as OpenInputFile does and returns `read(input, length)` over
// it: how the path-based readers wrap their input-based forms.
template <typename Read>
[[nodiscard]] Error ReadInputFile(const std::string& path, Read&& read) {
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  FileInput input(file);
  return read(static_cast<RandomAccessInput&>(input), length);
}

}  // namespace tidemark
