// The ID3 tags of MP3 files, for the codec layer: an ID3v2 tag in front of
// the audio, an ID3v1 tag in its last 128 bytes, and the chapters (CHAP
// frames) of the ID3v2 tag as markers.
//
// Reading: the ID3v2 tag (version 3 or 4) gives the tag set as for ID3
// chunks (TIT2 Name, TPE1 Artist, COMM Comments, TYER/TDRC CreationDate,
// TCON Genre, TALB/TRCK/TSRC/WXXX into AppPrivate ...); the ID3v1 tag fills
// the slots the ID3v2 tag left empty (title, artist, comment, year, genre;
// album and track into AppPrivate only when the ID3v2 tag gave none). A CHAP
// frame becomes a marker at round(start ms * rate / 1000), named by its TIT2
// subframe (else its element id).
//
// Writing: CHAP frames "chpN" for the markers, each ending where the next
// one starts (the last at the end of the sound), with the name as a TIT2
// subframe, appended to the ordinary frames.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/markers/marker.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

struct Mp3TagOptions {
  int version = 3;       // ID3v2 major version: 3 or 4
  bool unicode = true;   // text that is not ASCII as UTF-16 (else the narrow code page)
};

// The ID3v2 tag for `tags` and `markers` (positions in frames at `rate`,
// `length` frames long), without padding. Empty when there is nothing to
// write. 20 when the tag passes its size field, 2.
[[nodiscard]] Error BuildMp3Id3v2Tag(const TagSet& tags, const MarkerList& markers, std::uint32_t rate,
                                     std::uint32_t length, const Mp3TagOptions& options,
                                     std::vector<std::uint8_t>* tag);

// The ID3v1.1 tag for `tags`; false when the set holds nothing it carries.
[[nodiscard]] Error BuildMp3Id3v1Tag(const TagSet& tags, std::array<std::uint8_t, 128>* tag, bool* any);

// The fields of an ID3v1 tag (the 128 bytes starting "TAG") into `tags`;
// nothing when the bytes are not such a tag. Texts are in the narrow code
// page, trailing zeros and blanks dropped.
void ParseMp3Id3v1Tag(std::span<const std::uint8_t> bytes, TagSet* tags);

// The chapters of an ID3v2 tag body given as a whole tag (header included),
// as markers in frames at `rate`, in tag order. Damaged frames are skipped.
[[nodiscard]] Error ParseMp3Chapters(std::span<const std::uint8_t> tag_bytes, std::uint32_t rate,
                                     MarkerList* markers);

// Reads both tags of the file at `path` into `tags` and the chapters into
// `markers` (at `rate`). A file without tags gives an empty set. 25 when it
// cannot be opened, 8, 2.
[[nodiscard]] Error ReadMp3Tags(const std::string& path, std::uint32_t rate, TagSet* tags, MarkerList* markers);

}  // namespace tidemark
