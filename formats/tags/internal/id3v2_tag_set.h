// What a document takes from an ID3v2 tag: its tag set and the markers of
// its synchronised lyrics.
#pragma once

#include <cstdint>

#include "core/markers/marker.h"
#include "formats/tags/internal/id3v2_reader.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

// The tag set of `tag` (the first frame of each id counts):
//   TIT2 -> Name, TPE1 -> Artist, TCOP -> Copyright, the text of COMM ->
//   Comments, TYER (TDRC when TYER is absent or empty) -> CreationDate,
//   TCON -> Genre, where "(n)" or a plain n becomes the name of genre n, or
//   nothing when n is past the list (147);
//   AppPrivate: ISRC from TSRC, ALBUM from TALB, TNO from TRCK, WEBURL from
//   the address of WXXX (else of the first present of WOAR, WCOM, WPUB,
//   WOAF), SYNLYR from the content type of the first SYLT whose time stamps
//   are milliseconds (format 2) and whose body has at least 6 bytes.
// 2 when memory runs out (`tags` left empty).
[[nodiscard]] Error Id3v2TagToSet(const Id3v2Tag& tag, TagSet* tags);

// The entries of that same SYLT frame as markers, in entry order: each
// named by its text at frame round(ms / 1000 * sample_rate); entries at
// frame 0xFFFF0000 or later are left out, and the list ends at an entry cut
// short by the end of the frame. No such frame gives an empty list. 2 when
// memory runs out (`markers` left empty).
[[nodiscard]] Error Id3v2TagMarkers(const Id3v2Tag& tag, std::uint32_t sample_rate, MarkerList* markers);

}  // namespace tidemark
