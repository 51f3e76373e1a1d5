// Keeping the chunks the program does not understand when a file is saved
// over itself or over another file of the same kind: they are copied out of
// the old file before the save writes anything, and appended to the new
// file once it is complete.
#pragma once

#include <cstdint>
#include <string>

#include "core/samples/sample_format.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Foreign chunks with a larger body are dropped rather than kept.
inline constexpr std::uint32_t kMaxKeptChunkBody = 0x100000;

// A chunk of a RIFF file is foreign unless it is "JUNK", "fmt ", "RIFF",
// "cue ", "data", "fact", "plst" or a "LIST" of type "INFO" or "adtl"; a
// chunk of a FORM file unless it is "MARK", "ANNO", "FVER", "COMT", "COMM",
// "FORM", "SSND", "NAME", "AUTH", "(c) " or four spaces.
bool IsForeignChunk(const ChunkEntry& chunk, const Container& container);

// Copies the foreign chunks of `old_path` with bodies of at most
// kMaxKeptChunkBody bytes into a new working file, which is opened in
// `*temp` and deleted when it is closed. The metadata chunks of the kinds
// in `carried` (metadata_chunk bits, see MetadataChunkKind) go with them,
// the others stay behind; by default only an ID3 chunk is carried, like
// any chunk the program does not write itself. The working file holds
// "RIFF" or "FORM", then each kept chunk whole (header, body, a zero pad
// byte after an odd body). `*kept` tells whether anything was kept; when
// nothing was, `*temp` is left closed.
//
// An empty path, a missing old file, one of 0xFFFFFFFF bytes or more, one
// that is not a well-formed container of `kind`, and kinds without chunks
// keep nothing and succeed. Errors: 25 when the old file exists but cannot
// be opened; 8 when reading it fails; 6 when the working file cannot be
// created or written; 2.
[[nodiscard]] Error HarvestForeignChunks(const std::string& old_path, PcmFileKind kind, PosixFile* temp, bool* kept,
                                        unsigned carried = metadata_chunk::kId3);

// Appends the chunks kept in `temp` (everything after its first 4 bytes) to
// the completed file `file` at the container's padded end, 8 + the declared
// size rounded up to even, and sets the container size to the new end - 8.
// Nothing changes when `file` does not start with the container id of
// `kind`, is shorter than a container header, or `temp` holds no chunk.
// Errors: 20 when the new end would pass 0xFFFFFFFE (nothing written); 8
// when a read fails; 9 when a write fails (chunks written so far stay, the
// container size is left as it was); 10 when the end cannot be set.
[[nodiscard]] Error AppendHarvestedChunks(PosixFile& file, PcmFileKind kind, PosixFile& temp);

// The same on the file at `new_path`, opened for the purpose. Open errors
// as OpenForMetadataEdit.
[[nodiscard]] Error AppendHarvestedChunks(const std::string& new_path, PcmFileKind kind, PosixFile& temp);

}  // namespace tidemark
