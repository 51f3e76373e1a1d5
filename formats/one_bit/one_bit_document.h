// Opening a 1-bit (DSD) file as a document: the document reads 32-bit float
// PCM computed on demand from the file by a converting source; the samples
// are never copied.
#pragma once

#include <cstdint>
#include <string>

#include "core/sources/sound_source.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;

namespace NS_1BIT {

// The 1-bit rates and channel counts a document can be opened from.
inline constexpr std::uint32_t kLowestOneBitRate = 1411200;
inline constexpr std::uint32_t kHighestOneBitRate = 12288000;

// Opens the 1-bit file at `path` (".dff", ".dsf" or ".wsd", chosen by
// extension): `segments` receives one segment over the converting source
// (`source`, when given, one more reference to it) and `info` the document's
// format (Wave, 32-bit float, the converted rate, the frame count, open flags
// 3). With `take_metadata` the file's markers, at the PCM rate, and its tags
// are read into `info`; the markers as a document takes them (in position
// order, none past the last frame, exact repeats dropped). `max_48k` limits
// the converted rate to 48 kHz. Errors: 15 for another extension or a rate
// or channel count outside 1411200-12288000 Hz and 1-2 channels, the
// reader's errors (14 for a malformed file), the converting source's (25
// when the file cannot be opened again, 8 when it is shorter than its data,
// 2).
[[nodiscard]] Error OpenOneBitFile(const std::string& path, bool take_metadata, bool max_48k,
                                   SegmentList* segments, SoundFileInfo* info,
                                   SourceRef* source = nullptr);

}  // namespace NS_1BIT
}  // namespace tidemark
