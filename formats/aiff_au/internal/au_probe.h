// Recognising AU files (".snd") and describing their samples.
#pragma once

#include <cstdint>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

// Describes the AU file of `length` bytes on `input` from its six header
// words: the data lies at the header's offset (24 or more: the header comes
// first) and must end within the file; a data size of 0xFFFFFFFF means "to
// the end of the file". Encodings 2-5 are signed integers of 1 to 4 bytes
// (big-endian from 2 bytes), 6 and 7 big-endian float and double. Frames are
// the whole frames of the data. Kind AU. 14 for a file under 24 bytes or
// longer than 0xFFFFFFFE, another encoding, no channels or data outside the
// file; 15 for more channels than 65535; 8. `info` is filled only on success.
[[nodiscard]] Error ProbeAu(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

}  // namespace tidemark
