// Reading the markers and tags of a sound file for a document, where
// metadata that cannot be read costs only itself: each store that fails
// (the markers, the text chunks, an ID3 chunk) is left out and named, and
// the rest is read as usual.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/markers/marker_list.h"
#include "core/samples/sample_format.h"
#include "formats/sound_file_info.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

struct FileMetadata {
  MarkerList markers;  // as ReadFileMarkers gives them
  TagSet tags;         // as ReadTags gives them
  std::vector<SkippedMetadata> skipped;
};

// The markers (ReadFileMarkers, for a document of `length` frames) and the
// tags (ReadTagsSkipping) of the file at `path` of `kind`; what cannot be
// read is listed in `metadata->skipped` with its error instead. Only a lack
// of memory for that list fails (2, everything empty).
[[nodiscard]] Error ReadFileMetadata(const std::string& path, PcmFileKind kind, std::uint32_t length,
                                     FileMetadata* metadata);

// Whether `skipped` holds metadata of `kind`.
bool Skipped(const std::vector<SkippedMetadata>& skipped, SkippedMetadata::Kind kind);

}  // namespace tidemark
