// Recognising a WAV file and describing its samples.
#pragma once

#include <cstdint>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

// Describes the RIFF/WAVE file of `length` bytes on `input`: rate,
// channels, sample code, frames and data offset, kind Wave. Only the first
// "fmt ", "fact" and "data" chunks count. The format body is 16 bytes or
// more for PCM; 16, or 18 and more with an extra-size field that fits the
// body, for IEEE float; exactly 40 for the extensible form, whose
// sub-format is PCM or IEEE float. 14 when the file is malformed or
// lacks "fmt " or "data"; 33 at once for a format tag other than PCM, IEEE
// float or extensible (the compressed-WAV decoder's files); 15 for a sample
// width the sample code cannot express (above 15 bytes); 8 on a read failure;
// 2. `info` is filled only on success (markers and tags untouched).
[[nodiscard]] Error ProbeWave(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);


}  // namespace tidemark
