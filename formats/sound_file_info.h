// What a format probe reports about a sound file, completed by the open
// path; it owns the markers and texts read from the file until a document
// takes them over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/document/document_metadata.h"
#include "core/markers/marker_list.h"
#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark {

// Open flags of a SoundFileInfo.
namespace open_flag {
// The file lies on a drive that is neither a fixed disk nor a RAM disk.
inline constexpr std::uint16_t kRemovableDrive = 0x4000;
// A document decoded from a 1-bit file.
inline constexpr std::uint16_t kFromOneBit = 3;
}  // namespace open_flag

// Metadata of a file that could not be read and was left out, so that the
// rest of the file still opens.
struct SkippedMetadata {
  // kSamples: stretches of the sound that could not be decoded and stand as
  // silence (the frames keep their places, so the length is the file's).
  enum class Kind : std::uint8_t { kMarkers, kTags, kSamples };
  Kind kind = Kind::kMarkers;
  // The chunks it was to come from, as a user finds them in the file:
  // "cue, LIST adtl", "LIST INFO", "id3" ...
  std::string chunks;
  Error error;  // why: 78 for damage, 8 for a failed read, 2 ...
};

struct SoundFileInfo {
  PcmFileKind kind = PcmFileKind::Wave;
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  SampleCode code = 0;
  std::uint32_t frames = 0;
  std::uint32_t data_offset = 0;  // absolute offset of the first sample byte
  std::uint16_t open_flags = 0;
  MarkerList markers;
  DocumentMetadata tags;
  // What of the markers and tags could not be read (in the order read).
  std::vector<SkippedMetadata> skipped_metadata;
};

}  // namespace tidemark
