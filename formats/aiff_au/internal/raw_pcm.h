// Headerless PCM files: nothing but samples in a layout the user names
// (sample code, channels, rate), read from the first byte on.
#pragma once

#include <cstdint>
#include <string>

#include "core/samples/sample_format.h"
#include "core/sources/sound_source.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;

// The frames of a raw file of `file_bytes` bytes. 15 for a code the
// converter does not know or no channels; 14 when the bytes are not whole
// frames (the layout does not fit the file); 12 for more than kMaxFrames.
[[nodiscard]] Error RawFrameCount(std::uint64_t file_bytes, SampleCode code, std::uint16_t channels,
                                  std::uint32_t* frames);

// Opens the raw file at `path` as a file source of the given layout over
// the whole file, as OpenFileSource does (data offset 0, no flags); `frames`,
// when given, gets its length. 25 when the file cannot be opened, 8, the
// errors of RawFrameCount, then those of OpenFileSource.
[[nodiscard]] Error OpenRawFileSource(const std::string& path, std::uint32_t rate, SampleCode code,
                                      std::uint16_t channels, SegmentList* segments, SourceRef* source,
                                      std::uint32_t* frames = nullptr);

}  // namespace tidemark
