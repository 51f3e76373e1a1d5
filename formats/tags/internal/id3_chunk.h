// Tags in an ID3 chunk of a WAV or AIFF file: a chunk "id3 " or "ID3 "
// (writers use either spelling in either container) whose body is an ID3v2
// tag. Such a chunk is read next to the file's text chunks (INFO list or
// AIFF text chunks): those win slot by slot, and the ID3 chunk fills the
// slots they leave empty, so that a field only the ID3 tag holds (an album,
// a track number) is not lost. When the tags change, the chunk is written
// anew from the tag set, so that other programs do not go on showing the
// old texts.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/chunks/container.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// The first ID3 chunk of `table`; null when there is none.
const ChunkEntry* FindId3Chunk(const ChunkTable& table);

// The tag set of the ID3v2 tag that starts the body of `chunk` (the tag
// must lie inside the body; see Id3v2TagToSet for the mapping), and its
// version in `*version` (3 or 4; 0 when the body holds no tag, which gives
// an empty set). 8 when a read fails, 2 (`tags` is then empty).
[[nodiscard]] Error ReadId3Chunk(RandomAccessInput& input, const ChunkEntry& chunk, TagSet* tags, int* version);

// Gives every empty slot of `tags` the text of that slot in `more`.
void FillEmptySlots(TagSet& tags, const TagSet& more);

// The body of an ID3 chunk for `tags` (Id3FieldsFromTags): an ID3v2 tag of
// `version` (4, else 3) without padding, text that is not plain ASCII in
// UTF-16. Empty when the set holds nothing an ID3 tag carries. 20, 2.
[[nodiscard]] Error BuildId3ChunkBody(const TagSet& tags, int version, std::vector<std::uint8_t>* body);

// Appends the chunk `id` with BuildId3ChunkBody(tags, version) after the
// last chunk of the open file of `length` bytes and rewrites the container
// size; nothing when the body is empty. Errors as AppendChunks.
[[nodiscard]] Error AppendId3Chunk(PosixFile& file, std::uint64_t length, const Container& container,
                                   std::uint32_t id, const TagSet& tags, int version);

}  // namespace tidemark
