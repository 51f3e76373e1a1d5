// What a format probe reports about a sound file, completed by the open
// path; it owns the markers and texts read from the file until a document
// takes them over.
#pragma once

#include <cstdint>

#include "core/document/document_metadata.h"
#include "core/markers/marker_list.h"
#include "core/samples/sample_format.h"

namespace tidemark {

// Open flags of a SoundFileInfo.
namespace open_flag {
// The file lies on a drive that is neither a fixed disk nor a RAM disk.
inline constexpr std::uint16_t kRemovableDrive = 0x4000;
// A document decoded from a 1-bit file.
inline constexpr std::uint16_t kFromOneBit = 3;
}  // namespace open_flag

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
};

}  // namespace tidemark
