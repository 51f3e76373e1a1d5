// Recognising a PCM sound file and describing its samples: the WAV reader
// here, and the entry that dispatches on the first four bytes of a file.
#pragma once

#include <cstdint>
#include <string>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

// Describes the RIFF/WAVE file of `length` bytes on `input`: rate,
// channels, sample code, frames and data offset, kind Wave. Only the first
// "fmt ", "fact" and "data" chunks count. 14 when the file is malformed or
// lacks "fmt " or "data"; 33 at once for a format tag other than PCM, IEEE
// float or extensible (the compressed-WAV decoder's files); 15 for a sample
// width the sample code cannot express (above 15 bytes); 8 on a read failure;
// 2. `info` is filled only on success (markers and tags untouched).
[[nodiscard]] Error ProbeWave(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

// Where "FORM" and ".snd" files are recognised: ProbeIff (iff_probe.h) for
// "FORM", ProbeAu (au_probe.h) for ".snd", 14 for anything else.
[[nodiscard]] Error ProbeIffOrAu(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

// The PCM probe on an input: 14 unless `length` is 4 to 0xFFFFFFFE; then
// "RIFF" goes to ProbeWave, "FORM" and ".snd" to ProbeIffOrAu, anything
// else is 14.
[[nodiscard]] Error ProbePcm(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

// The PCM probe on a file: 25 when it cannot be opened for reading, 8 when
// its length cannot be read, else as ProbePcm. Malformed files give 14, which
// the open path uses to try other readers.
[[nodiscard]] Error ProbePcmFile(const std::string& path, SoundFileInfo* info);

}  // namespace tidemark
