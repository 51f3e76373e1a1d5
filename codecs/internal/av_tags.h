// Container metadata (an FFmpeg dictionary) to and from the tag set, by way
// of the Vorbis comment mapping: FFmpeg's generic keys (title, artist,
// album, date, genre, comment, track, copyright) are the lower-case Vorbis
// keys but for TRACKNUMBER ("track") and DESCRIPTION ("comment").
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark::codec_detail {

// `entries` are the dictionary's (key, value) pairs in order; "encoder"
// fills Software when it is empty.
TagSet TagsFromAvEntries(const std::vector<std::pair<std::string, std::string>>& entries);

// The (key, value) pairs to put into an output dictionary. 2.
[[nodiscard]] Error AvEntriesFromTags(const TagSet& tags, std::vector<std::pair<std::string, std::string>>* entries);

}  // namespace tidemark::codec_detail
