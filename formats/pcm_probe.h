// Recognising a PCM sound file of any kind: the first four bytes choose the
// probe of the kind that starts with them (FileKindDescription::magic).
#pragma once

#include <cstdint>
#include <string>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/sound_file_info.h"

namespace tidemark {

// The PCM probe on an input: 14 when `length` is below 4; then "RIFF",
// "RF64" and "BW64" go to ProbeWave, "FORM" to ProbeIff, ".snd" to ProbeAu,
// anything else is 14. Each probe refuses the lengths its kind cannot have
// (above 0xFFFFFFFE bytes for all but RF64 and BW64) with 14.
[[nodiscard]] Error ProbePcm(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

// The PCM probe on a file: 25 when it cannot be opened for reading, 8 when
// its length cannot be read, else as ProbePcm. Malformed files give 14, which
// the open path uses to try other readers.
[[nodiscard]] Error ProbePcmFile(const std::string& path, SoundFileInfo* info);

}  // namespace tidemark
