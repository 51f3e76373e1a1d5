// Recognising AIFF and AIFC files and describing their samples.
#pragma once

#include <cstdint>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

// Describes the FORM file of `length` bytes on `input` (form type "AIFF" or
// "AIFC"): rate, channels, sample code, frames and data offset; kind AIFF
// or AIFC by the form type. Only the first "FVER", "COMM" and "SSND" chunks
// count. "COMM" is 18 bytes exactly in AIFF and at least 22 in AIFC, whose
// compression type is "NONE", "sowt" (little-endian), "fl32" or "fl64"
// (floats of 32 or 64 bits; "FL32" and "FL64" too); AIFC needs an "FVER" of
// version 1. The samples
// start 16 bytes after the "SSND" header, whose offset and block size must
// be 0. The frame count is that of "COMM", lowered to what "SSND" holds
// only when another chunk follows it (so that no chunk is read as samples).
// 14 when the file is malformed or lacks a required chunk; 15 for a sample
// width no sample code expresses; 8; 2. `info` is filled only on success.
[[nodiscard]] Error ProbeIff(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

}  // namespace tidemark
