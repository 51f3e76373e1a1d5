// The metadata chunks of a RIFF or FORM file: which chunks hold what,
// listing the sub-chunks of a "LIST", and editing them in place (chunks
// appended after the last chunk, old ones neutralised and cut off). Sample
// data is never read or rewritten, so the cost follows the metadata, not
// the length of the sound.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/samples/sample_format.h"
#include "formats/chunks/container.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// What a metadata chunk holds, as bits so that a caller can name several.
namespace metadata_chunk {
// Wave: "cue ", "plst", "LIST" of type "adtl"; AIFF/AIFC: "MARK", "COMT".
inline constexpr unsigned kMarkers = 1;
// Wave: "LIST" of type "INFO"; AIFF/AIFC: "NAME", "AUTH", "(c) ", "ANNO".
inline constexpr unsigned kTexts = 2;
// "id3 " or "ID3 " in either container: an ID3v2 tag as the body.
inline constexpr unsigned kId3 = 4;
inline constexpr unsigned kAll = kMarkers | kTexts | kId3;
}  // namespace metadata_chunk

// The metadata_chunk bit of `chunk` in `container`; 0 for any other chunk.
unsigned MetadataChunkKind(const ChunkEntry& chunk, const Container& container);

// Lists the sub-chunks of the "LIST" chunk `list` (an entry of the RIFF
// file's chunk table) as ReadChunkTable lists a container, with the same
// tolerance for a pad byte that was left out, but anywhere in the list:
// some writers put odd-sized sub-chunks back to back. After an odd body the
// padded place is taken when it holds a plausible header (four printable
// characters and a body inside the list), else the place without the pad
// when that one does, else the padded place as usual. 14 when the list is
// not a "LIST" of at least 4 bytes or a body passes the list's end, 8, 2.
[[nodiscard]] Error ReadListChunks(RandomAccessInput& input, const ChunkEntry& list, ChunkTable* subs);

struct ChunkToAppend {
  std::uint32_t id = 0;
  std::span<const std::uint8_t> body;  // a pad byte is added after an odd body
};

// Appends `chunks` after the last chunk of the open file of `length` bytes
// (whatever followed the last chunk is cut off) and sets the container size
// to the new end - 8. 14 when the file is not a well-formed container of
// its kind; 20 when the new end would pass 32 bits (nothing written); 10
// when the end cannot be moved; 9 on a failed or short write (chunks
// written so far stay, the container size is left as it was); 8 on a read
// failure; 2.
[[nodiscard]] Error AppendChunks(PosixFile& file, std::uint64_t length, const Container& container,
                                 std::span<const ChunkToAppend> chunks);

// Opens `path` for reading and writing: 30 when it is a file the user may
// not write (or on a read-only volume), 25 for any other failure; 78 when
// it is 0xFFFFFFFF bytes or longer. `length` gets its size.
[[nodiscard]] Error OpenForMetadataEdit(const std::string& path, PosixFile* file, std::uint64_t* length);

// Neutralises the metadata chunks of the kinds in `kinds` (metadata_chunk
// bits; by default markers and texts) of a Wave file (they become "JUNK")
// or an AIFF/AIFC file (four spaces), bodies untouched; a run of dead
// chunks at the end is cut off and the container size set to match. Other
// kinds of file have no chunks and succeed at once. Errors as
// OpenForMetadataEdit, 78 for a malformed file, 8, 9, 10.
[[nodiscard]] Error StripMetadata(const std::string& path, PcmFileKind kind,
                                  unsigned kinds = metadata_chunk::kMarkers | metadata_chunk::kTexts);

// The same on an open file of `length` bytes; 14 for a malformed file.
[[nodiscard]] Error StripMetadataChunks(PosixFile& file, std::uint64_t length, const Container& container,
                                        unsigned kinds = metadata_chunk::kMarkers | metadata_chunk::kTexts);

}  // namespace tidemark
