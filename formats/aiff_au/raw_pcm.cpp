#include "formats/aiff_au/internal/raw_pcm.h"

#include "formats/chunks/internal/input_file.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error RawFrameCount(std::uint64_t file_bytes, SampleCode code, std::uint16_t channels, std::uint32_t* frames) {
  if (!IsSupportedSampleCode(code) || channels == 0) return err::kUnsupportedFormat;
  const std::uint64_t frame_bytes = std::uint64_t{BytesPerSample(code)} * channels;
  if (file_bytes % frame_bytes != 0) return err::kMalformed;
  const std::uint64_t count = file_bytes / frame_bytes;
  if (count > kMaxFrames) return err::kTooManyFrames;
  *frames = static_cast<std::uint32_t>(count);
  return err::kOk;
}

Error OpenRawFileSource(const std::string& path, std::uint32_t rate, SampleCode code,
                        std::uint16_t channels, SegmentList* segments, SourceRef* source,
                        std::uint32_t* frames) {
  std::uint64_t length = 0;
  {
    PosixFile file;
    if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  }
  std::uint32_t count = 0;
  if (const Error rc = RawFrameCount(length, code, channels, &count)) return rc;
  if (const Error rc = OpenFileSource(path, 0, rate, code, channels, count, 0, segments, source)) return rc;
  if (frames) *frames = count;
  return err::kOk;
}

}  // namespace tidemark
