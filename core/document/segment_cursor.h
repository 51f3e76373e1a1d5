// Reading a segment list: walks the segments in document order and asks each
// source for frames in the wanted sample code; gaps read as silence.
#pragma once

#include <cstdint>

#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "platform/error.h"

namespace tidemark {

// Called per float block when 16-bit material is read with dithering.
class DitherHook {
 public:
  virtual ~DitherHook() = default;
  // `frames` interleaved frames of `channels` channels, in place.
  virtual void Apply(float* block, std::uint32_t frames, std::uint16_t channels) = 0;
};

class SegmentCursor {
 public:
  // The list must outlive the cursor and stay unchanged while it reads.
  SegmentCursor(const SegmentList& list, std::uint16_t channels, std::uint32_t length);

  // Moves to `frame` (the segment containing it, or the gap before the next).
  void Seek(std::uint32_t frame);
  std::uint32_t frame() const { return frame_; }

  // Reads `frames` frames into `dst` in `dst_code` and advances. A source
  // error (8) is passed up unchanged and leaves the cursor usable; a segment
  // reaching past the length gives 77.
  [[nodiscard]] Error Read(std::uint32_t frames, void* dst, SampleCode dst_code, DitherHook* dither = nullptr);

  // Reads single-precision float with `wanted_channels` per frame; a mono
  // list read as stereo has each sample doubled.
  [[nodiscard]] Error ReadFloat(std::uint32_t frames, float* dst, std::uint16_t wanted_channels);

 private:
  const SegmentList& list_;
  std::uint16_t channels_;
  std::uint32_t length_;
  Segment* current_;  // the segment containing frame_, or the first after it (null past the last)
  std::uint32_t frame_ = 0;
};

}  // namespace tidemark
