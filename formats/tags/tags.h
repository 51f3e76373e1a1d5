// Reading and writing the tag set of a sound file of any kind the program
// writes itself: the INFO list of Wave (and Temp) files, the text chunks of
// AIFF and AIFC files, the annotation of AU files. Raw files hold no tags:
// reading gives an empty set and writing does nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/samples/sample_format.h"
#include "formats/sound_file_info.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

// The set as WriteTags stores it: with the software-name option on
// (CoreOptions::software_name_stamp), Software becomes kSoftwareStamp,
// replacing any value.
TagSet StampedTags(const TagSet& tags);

// Reads the tags of the file at `path` of `kind`: those of its text store
// (INFO list, AIFF text chunks, AU annotation), and for WAV and AIFF files
// the slots that store leaves empty filled from an ID3 chunk (see
// formats/tags/internal/id3_chunk.h). 25 when it cannot be opened; 78 when
// it is 0xFFFFFFFF bytes or longer or malformed; 8, 2. `tags` is empty on
// failure.
[[nodiscard]] Error ReadTags(const std::string& path, PcmFileKind kind, TagSet* tags);

// ReadTags, except that a store that cannot be read (the text store, the
// ID3 chunk) costs only its own texts: it is left out and added to
// `skipped`, and the other store is still read. Fails only for the file as
// a whole: 25 when it cannot be opened, 78 when it is 0xFFFFFFFF bytes or
// longer, 2 (`tags` is then empty).
[[nodiscard]] Error ReadTagsSkipping(const std::string& path, PcmFileKind kind, TagSet* tags,
                                     std::vector<SkippedMetadata>* skipped);

// Appends the stamped set (StampedTags) to the file at `path` of `kind`:
// after the last chunk for Wave, AIFF and AIFC (with the container size
// rewritten), in the header's annotation for AU. It does not remove tags
// the file already holds: the caller (the save, or a metadata update)
// neutralises them first with StripMetadata, as ReplaceTags does. A set
// that is still empty, and an AU set without Copyright, write nothing and
// leave the file unopened.
//
// Errors: 25 or 30 when the file cannot be opened for writing; 78 when it
// is 0xFFFFFFFF bytes or longer or malformed (AU: shorter than 128 bytes or
// a data offset below 128); 20 when the metadata would take the file past
// 4 GiB (nothing written); 10; 9 (chunks written so far stay, but the
// container size is left as it was, so readers do not see them); 8; 2.
[[nodiscard]] Error WriteTags(const std::string& path, PcmFileKind kind, const TagSet& tags);

// StripMetadata, then WriteTags: the file's markers and tags are replaced
// by `tags` (for the chunk kinds, markers are removed too). Errors as both.
[[nodiscard]] Error ReplaceTags(const std::string& path, PcmFileKind kind, const TagSet& tags);

}  // namespace tidemark
