// In-place facts and fixes of WAV headers that do not touch the samples:
// rewriting the sample rate, and the layout the compressed-WAV decoder needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Rewrites the rate and the byte rate (new rate x block align) of the first
// "fmt " chunk of the open RIFF/WAVE file of `length` bytes when the stored
// rate differs from `rate`; nothing else changes. 14 when the file is
// malformed or that chunk is missing or shorter than 14 bytes; 8, 9.
[[nodiscard]] Error PatchWaveRate(PosixFile& file, std::uint64_t length, std::uint32_t rate);


struct CompressedWaveFacts {
  std::vector<std::uint8_t> format;  // the whole body of the first "fmt " chunk
  std::uint32_t fact_samples = 0;    // the count of the first "fact" chunk
  std::uint32_t data_offset = 0;     // first sample byte of the first "data" chunk; 0 without one
  std::uint32_t data_size = 0;       // its body size; 0 without one
};

// What a decoder of other WAV encodings needs from the RIFF/WAVE file of
// `length` bytes. 14 when the file is longer than 0xFFFFFFFE bytes or
// malformed, or has no "fmt " chunk, or its first "fact" chunk is missing or
// shorter than 4 bytes; 8, 2.
[[nodiscard]] Error ReadCompressedWaveFacts(RandomAccessInput& input, std::uint64_t length, CompressedWaveFacts* facts);

// The same on the file at `path`: 25 when it cannot be opened, 8 when its
// length cannot be read, else as above (malformed stays 14, the decoder's
// answer for "not mine").
[[nodiscard]] Error ReadCompressedWaveFactsFile(const std::string& path, CompressedWaveFacts* facts);

}  // namespace tidemark
