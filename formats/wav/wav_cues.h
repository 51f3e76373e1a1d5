// Markers in WAV files: the "cue " chunk with one cue point per marker and
// the "LIST"/"adtl" chunk with their labels ("labl") and comments ("note").
// Texts are stored in the narrow text code page.
#pragma once

#include <cstdint>
#include <string>

#include "core/markers/marker.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Appends the cue chunk and the adtl list for `markers` after the last
// chunk of the open RIFF/WAVE file of `length` bytes, without removing old
// ones. Cue identifiers are 0, 1, 2, ... in list order; every marker gets a
// label (even an empty one), a non-empty comment a note. An empty list
// writes nothing. 14 for a malformed file, 20 when the file would pass 4 GiB
// (nothing written), 10, 9 (chunks written so far stay, the RIFF size is left
// as it was), 8, 2.
[[nodiscard]] Error AppendCueList(PosixFile& file, std::uint64_t length, const MarkerList& markers);

// Replaces the markers stored in the WAV file at `path`: its old cue,
// playlist, adtl and INFO chunks are neutralised first (see StripMetadata),
// then AppendCueList. 78 for a malformed file; otherwise the errors of
// OpenForMetadataEdit, StripMetadata and AppendCueList.
[[nodiscard]] Error WriteCueList(const std::string& path, const MarkerList& markers);

// Reads the markers of the RIFF/WAVE file of `length` bytes: one per cue
// point that has a label, named by it, commented by its note, at the cue
// point's sample offset. The list comes out in reverse order of the cue
// points; see ReadFileMarkers for the document's form. No cue chunk gives an
// empty list. The adtl list is read by ReadListChunks (odd-sized labels
// without their pad byte are read too). 14 for a malformed file or adtl
// list, 8, 2 (`markers` is then empty).
[[nodiscard]] Error ReadCueList(RandomAccessInput& input, std::uint64_t length, MarkerList* markers);


}  // namespace tidemark
