// The peaks of a document range in picture columns, found in one streaming
// pass.
//
// The range [from, to) is split into B = min(columns, to - from) buckets of
// consecutive frames (bucket b starts at from + floor(b * length / B)).
// SegmentCursor reads the range once, in blocks of kPeakBlockFrames
// interleaved frames, and each block updates every channel's running
// min, max and sum of squares of the bucket it is in; a bucket is finished
// when its last frame has passed. Memory is the one block buffer plus three
// floats per bucket and channel: it depends on the picture's width, never on
// the length of the range, and no frame is read twice.
//
// Samples are clipped to [-1, 1] before they count and NaN counts as 0, so
// a non-finite sample is drawn at full scale (or silent) and never reaches
// the RMS sums of later buckets.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/document/sound_document.h"
#include "platform/error.h"

namespace tidemark::views {

inline constexpr std::uint32_t kPeakBlockFrames = 16384;

// Told the frames done and the total after each block; false cancels
// (the work then ends with 0xFFFFFFFF).
using ViewProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct ColumnPeaks {
  std::uint32_t from = 0;
  std::uint32_t length = 0;  // frames in the range
  std::uint32_t buckets = 0;
  std::uint16_t channels = 0;
  // Index channel * buckets + bucket.
  std::vector<float> min, max, rms;

  // The bucket drawn in column `column` of a picture `columns` wide.
  std::uint32_t BucketOfColumn(int column, int columns) const {
    return static_cast<std::uint32_t>(std::uint64_t(column) * buckets / std::uint64_t(columns));
  }
  // The first frame (absolute) of bucket `b`; b == buckets gives the end.
  std::uint32_t BucketStart(std::uint32_t b) const {
    return from + static_cast<std::uint32_t>(std::uint64_t(b) * length / buckets);
  }
};

// Scans [from, to) of `document` (from < to <= length, columns >= 1). 77 for
// a bad range, 2 out of memory, the cursor's read errors, 0xFFFFFFFF when
// `progress` cancels.
[[nodiscard]] Error ScanColumnPeaks(const SoundDocument& document, std::uint32_t from, std::uint32_t to, int columns,
                                    const ViewProgress& progress, ColumnPeaks* peaks);

// A sample as the pictures draw it: clipped to [-1, 1], NaN as 0.
inline float DrawableSample(float x) {
  if (x >= -1.0f && x <= 1.0f) return x;
  if (x > 1.0f) return 1.0f;
  if (x < -1.0f) return -1.0f;
  return 0.0f;
}

}  // namespace tidemark::views
