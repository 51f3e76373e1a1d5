// The WAV chunks a FLAC file carries for its markers and tags, in the form
// `flac --keep-foreign-metadata` writes and restores them: APPLICATION
// blocks with the id "riff", the first holding the 12-byte RIFF header,
// each later one a whole chunk ("fmt ", "cue ", "LIST" ..., and "data" as
// its 8-byte header). The sizes in the RIFF header and the "data" header
// are those of the WAV file the decoder rebuilds, so that `flac -d
// --keep-foreign-metadata` writes a WAV file with these cue points and INFO
// texts around the samples.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/markers/marker_list.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

class FlacMetadataSkeleton;

// Collects the "riff"/"aiff" APPLICATION blocks of a stream being decoded
// and reads their markers and tags (FlacMetadataSkeleton does the work).
class FlacForeignReader {
 public:
  FlacForeignReader();
  ~FlacForeignReader();
  FlacForeignReader(const FlacForeignReader&) = delete;
  FlacForeignReader& operator=(const FlacForeignReader&) = delete;

  // An APPLICATION block's body: the 4-byte id, then its data. A block
  // that cannot be kept costs only the foreign metadata.
  void Add(std::span<const std::uint8_t> block);
  bool has_container() const;
  // The markers (in position order, at most `frames`) and tags; 14 when the
  // chunks are malformed, 6, 8, 2.
  [[nodiscard]] Error Read(std::uint32_t frames, MarkerList* markers, TagSet* tags);

 private:
  std::unique_ptr<FlacMetadataSkeleton> skeleton_;
};

// The "riff" APPLICATION block bodies (without the id) for a stream of
// `frames` frames of `bits`-bit integer samples: nothing when there are no
// markers and no tags. 15 for a width other than 8, 16 or 24; 20 when the
// WAV file would pass 4 GiB; 2.
[[nodiscard]] Error BuildForeignRiffBlocks(std::uint32_t rate, std::uint16_t channels, unsigned bits,
                                           std::uint32_t frames, const MarkerList& markers, const TagSet& tags,
                                           std::vector<std::vector<std::uint8_t>>* blocks);

}  // namespace tidemark
