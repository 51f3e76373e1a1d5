// WAV and AIFF metadata carried inside FLAC files. The FLAC stream keeps the
// chunks of the original file, other than the samples, in APPLICATION
// metadata blocks with the id "riff" or "aiff"; the program rebuilds a
// small skeleton container from them (header, chunks, an empty "data" or
// "SSND" chunk) and reads its markers and tags with the WAV and AIFF
// readers. For writing, a skeleton WAV file with the markers and tags of
// the exported range is built for the encoder.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/markers/marker.h"
#include "core/samples/sample_format.h"
#include "formats/chunks/container.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// Chunks with a larger body are not kept in a skeleton.
inline constexpr std::uint32_t kMaxSkeletonChunkBody = 0x1000000;

// Collects the "riff" or "aiff" APPLICATION blocks of one FLAC stream, in
// stream order, into a skeleton in a working file that is deleted when the
// object goes.
//
// The first block must hold the container header ("RIFF" in a "riff" block,
// "FORM" in an "aiff" one); it decides the container, and blocks before it
// and blocks with the other id are ignored. Each later block starts a chunk:
// "data" and "SSND" are kept as their 8-byte header with size 0 (whatever
// else their block holds, such as the "SSND" offset and block size, is
// dropped); any other chunk is kept whole with a zero pad byte after an odd
// body, except that bodies above kMaxSkeletonChunkBody, and chunks that
// would take the skeleton past 0xFFFFFFFE bytes, are skipped. A block that
// holds less than its chunk's body is continued by the following blocks
// until the body is complete; bytes a block holds after the body (a stored
// pad byte) are dropped.
class FlacMetadataSkeleton {
 public:
  FlacMetadataSkeleton() = default;
  FlacMetadataSkeleton(const FlacMetadataSkeleton&) = delete;
  FlacMetadataSkeleton& operator=(const FlacMetadataSkeleton&) = delete;

  // Takes the body of one APPLICATION block: its 4-byte id, then the
  // container bytes. Blocks of another id or shorter than 12 bytes are
  // ignored. 6 when the working file cannot be created or written (every
  // later call then gives 6 too).
  [[nodiscard]] Error AddApplicationBlock(std::span<const std::uint8_t> block);

  // Whether a container header has been taken.
  bool has_container() const { return container_.has_value(); }

  // Completes the skeleton (a chunk whose body never came in full is
  // dropped, and a container size that claims more than the skeleton holds
  // is set to its length - 8) and reads it: for RIFF the cue points with
  // their labels and the INFO list, for FORM the markers and the text
  // chunks. Markers come in position order, positions above `frames`
  // lowered to it, exact duplicates dropped. Without a container header
  // both stay empty and the result is 0. 14 when the skeleton is malformed,
  // 6, 8, 2; `markers` and `tags` are empty on failure.
  [[nodiscard]] Error ReadMetadata(std::uint32_t frames, MarkerList* markers, TagSet* tags);

 private:
  Error StartChunk(std::span<const std::uint8_t> payload);
  Error TakeBody(std::span<const std::uint8_t> bytes);
  Error Write(const void* data, std::size_t n);
  Error Fail();

  PosixFile file_;
  std::optional<Container> container_;
  Error error_;
  std::uint64_t end_ = 0;  // bytes in the skeleton
  // The chunk whose body is still coming in.
  std::uint64_t body_left_ = 0;
  std::uint64_t chunk_start_ = 0;
  bool chunk_kept_ = false;
  bool chunk_odd_ = false;
};

// What the encoder exports: the sample format, and the range of the
// document's frames, [from, to].
struct SkeletonExport {
  PcmFormat format;
  std::uint32_t from = 0;
  std::uint32_t to = 0;
};

// Builds the skeleton WAV file of an export in a new working file, opened in
// `*out` and deleted when closed: the canonical 44-byte header of the
// exported integer format with a data size of 0 and a RIFF size of 36, the
// cue points and labels of the markers at positions from `range.from` to
// `range.to` inclusive (made relative to `range.from`; none written when
// there are none), and the INFO list of `tags` (left out when the set is
// empty; the set is stored as given, without the software stamp). 15 for a
// floating-point or unsupported format, 6 when the working file cannot be
// created or written, 20, 2.
[[nodiscard]] Error WriteWavSkeleton(const SkeletonExport& range, const MarkerList& markers,
                                     const TagSet& tags, PosixFile* out);

// The same skeleton as bytes.
[[nodiscard]] Error BuildWavSkeleton(const SkeletonExport& range, const MarkerList& markers,
                                     const TagSet& tags, std::vector<std::uint8_t>* bytes);

}  // namespace tidemark
