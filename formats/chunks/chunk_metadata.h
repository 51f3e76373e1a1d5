// Editing the metadata of a RIFF or FORM file in place: chunks appended
// after the last chunk, and old metadata chunks neutralised and cut off.
// Sample data is never read or rewritten, so the cost follows the metadata,
// not the length of the sound.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/samples/sample_format.h"
#include "formats/chunks/container.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

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

// Neutralises the metadata chunks of a Wave ("cue ", "plst", "LIST" of type
// "INFO" or "adtl" become "JUNK") or AIFF/AIFC file ("NAME", "AUTH",
// "(c) ", "ANNO", "COMT", "MARK" become four spaces), bodies untouched; a
// run of dead chunks at the end is cut off and the container size set to
// match. Other kinds have no chunks and succeed at once. Errors as
// OpenForMetadataEdit, 78 for a malformed file, 8, 9, 10.
[[nodiscard]] Error StripMetadata(const std::string& path, PcmFileKind kind);

// The same on an open file of `length` bytes; 14 for a malformed file.
[[nodiscard]] Error StripMetadataChunks(PosixFile& file, std::uint64_t length, const Container& container);

}  // namespace tidemark
