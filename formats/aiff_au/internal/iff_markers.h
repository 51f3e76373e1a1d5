// Markers in AIFF and AIFC files: the "MARK" chunk with one marker per
// entry (identifier, frame position, name) and the "COMT" chunk with the
// comments of the markers that have one. Texts are stored in the narrow
// text code page.
#pragma once

#include <cstdint>
#include <string>

#include "core/markers/marker.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// At most this many markers are written; the rest of the list is dropped.
inline constexpr std::uint32_t kMaxIffMarkers = 32767;
inline constexpr std::size_t kMaxIffMarkerName = 255;
inline constexpr std::size_t kMaxIffComment = 65535;

// Seconds from 1904-01-01 00:00 UTC, the epoch of IFF timestamps, to `unix_seconds`.
std::uint32_t IffTimestamp(std::int64_t unix_seconds);

// Appends "MARK" (and "COMT" when a marker has a comment) for the first
// kMaxIffMarkers of `markers` after the last chunk of the open FORM file of
// `length` bytes, without removing old ones, and sets the FORM size.
// Identifiers are 1, 2, 3, ... in list order; names are cut to 255 bytes and
// comments to 65535 without splitting a character; every comment carries
// `timestamp`. An empty list writes nothing. 14 for a malformed file, 20
// when the file would pass 0xFFFFFFFE bytes (nothing written), 10, 9 (chunks
// written so far stay, the FORM size is left as it was), 8, 2.
[[nodiscard]] Error AppendIffMarkers(PosixFile& file, std::uint64_t length, const MarkerList& markers,
                                     std::uint32_t timestamp);

// Replaces the markers stored in the AIFF or AIFC file at `path`: its old
// markers, comments and text chunks are neutralised first (StripMetadata),
// then AppendIffMarkers with the time of writing. 78 for a malformed file;
// otherwise the errors of OpenForMetadataEdit, StripMetadata and
// AppendIffMarkers.
[[nodiscard]] Error WriteIffMarkers(const std::string& path, const MarkerList& markers);

// Reads the markers of the FORM file of `length` bytes from its first
// "MARK" chunk, with the comments of its first "COMT" chunk. The list comes
// out in reverse order of the file; see ReadFileMarkers for the document's
// form. No "MARK", or one without entries, gives an empty list; an entry
// whose name runs past the chunk ends the list. 14 for a malformed file, 8,
// 2 (`markers` is then empty).
[[nodiscard]] Error ReadIffMarkers(RandomAccessInput& input, std::uint64_t length, MarkerList* markers);


}  // namespace tidemark
