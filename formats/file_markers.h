// Reading the markers of a sound file of any kind: the cue list of Wave
// (and Temp) files, "MARK" and "COMT" of AIFF and AIFC files. AU and Raw
// files hold no markers.
#pragma once

#include <cstdint>
#include <string>

#include "core/markers/marker.h"
#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark {

// The markers of the file at `path` of `kind` as a document of `length`
// frames takes them: in position order, positions above `length` lowered
// to it, exact duplicates dropped; markers at the same position keep their
// file order. A kind without markers gives an empty list without opening
// the file. 25 when the file cannot be opened; 78 when it is malformed or
// 0xFFFFFFFF bytes or longer; 8, 2. `markers` is empty on failure.
[[nodiscard]] Error ReadFileMarkers(const std::string& path, PcmFileKind kind, std::uint32_t length,
                                            MarkerList* markers);

}  // namespace tidemark
