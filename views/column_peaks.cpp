#include "views/column_peaks.h"

#include <algorithm>
#include <cmath>

#include "core/document/segment_cursor.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::views {

Error ScanColumnPeaks(const SoundDocument& document, std::uint32_t from, std::uint32_t to, int columns,
                      const ViewProgress& progress, ColumnPeaks* peaks) {
  if (from >= to || to > document.length || columns < 1 || document.channels == 0) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  ColumnPeaks& p = *peaks;
  p.from = from;
  p.length = to - from;
  p.buckets = std::min<std::uint32_t>(static_cast<std::uint32_t>(columns), p.length);
  p.channels = channels;
  std::vector<float> block;
  std::vector<double> sums(channels);
  const std::size_t cells = std::size_t{p.buckets} * channels;
  if (const Error rc = TryAlloc([&] {
        p.min.assign(cells, 0.0f);
        p.max.assign(cells, 0.0f);
        p.rms.assign(cells, 0.0f);
        block.resize(std::size_t{kPeakBlockFrames} * channels);
      }))
    return rc;

  SegmentCursor cursor(document.segments, channels, document.length);
  cursor.Seek(from);
  std::uint32_t bucket = 0;
  std::uint32_t bucket_end = p.BucketStart(1) - from;  // relative to from
  std::uint32_t bucket_start = 0;
  bool fresh = true;  // the bucket has seen no frame yet
  std::vector<float> lo(channels), hi(channels);
  for (std::uint32_t done = 0; done < p.length;) {
    const std::uint32_t n = std::min(kPeakBlockFrames, p.length - done);
    if (const Error rc = cursor.ReadFloat(n, block.data(), channels)) return rc;
    std::uint32_t i = 0;
    while (i < n) {
      const std::uint32_t stop = std::min(n, bucket_end - done);
      for (std::uint16_t c = 0; c < channels; ++c) {
        float mn = fresh ? 1.0f : lo[c], mx = fresh ? -1.0f : hi[c];
        double sq = fresh ? 0.0 : sums[c];
        const float* s = block.data() + std::size_t{i} * channels + c;
        for (std::uint32_t k = i; k < stop; ++k, s += channels) {
          const float x = DrawableSample(*s);
          mn = std::min(mn, x);
          mx = std::max(mx, x);
          sq += double(x) * x;
        }
        lo[c] = mn;
        hi[c] = mx;
        sums[c] = sq;
      }
      fresh = false;
      i = stop;
      if (done + i == bucket_end) {
        const double frames = bucket_end - bucket_start;
        for (std::uint16_t c = 0; c < channels; ++c) {
          const std::size_t at = std::size_t{c} * p.buckets + bucket;
          p.min[at] = lo[c];
          p.max[at] = hi[c];
          p.rms[at] = static_cast<float>(std::sqrt(sums[c] / frames));
        }
        ++bucket;
        fresh = true;
        bucket_start = bucket_end;
        if (bucket < p.buckets) bucket_end = p.BucketStart(bucket + 1) - from;
      }
    }
    done += n;
    if (progress && !progress(done, p.length)) return err::kCancelled;
  }
  return err::kOk;
}

}  // namespace tidemark::views
