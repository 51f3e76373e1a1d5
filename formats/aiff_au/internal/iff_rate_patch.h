// Rewriting the sample rate stored in the header of an AIFF, AIFC or AU
// file in place.
#pragma once

#include <cstdint>

#include "core/samples/sample_format.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Rewrites the 80-bit rate of the first "COMM" chunk of the open AIFF or
// AIFC file of `length` bytes when it converts to another integer than
// `rate`. 14 when the file is malformed or that chunk is missing or shorter
// than 18 bytes; 8, 9.
[[nodiscard]] Error PatchIffRate(PosixFile& file, std::uint64_t length, std::uint32_t rate);

// Rewrites the rate word at offset 16 of the open AU file of `length` bytes
// when it differs from `rate`. 14 when the file is shorter than 24 bytes or
// does not start with ".snd"; 8, 9.
[[nodiscard]] Error PatchAuRate(PosixFile& file, std::uint64_t length, std::uint32_t rate);


}  // namespace tidemark
