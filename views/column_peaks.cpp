#include "views/column_peaks.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/document/segment_cursor.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::views {
namespace {

constexpr std::size_t kLanes = 8;

// Folds `count` interleaved samples (whole frames) of `channels` channels
// into the running min, max and sum of squares of each channel. With a
// channel count dividing the lane count, each of the eight lanes always
// holds the same channel, so the lanes run as two SSE registers; sums of
// squares gather in float per call (at most one block) and in double
// across calls.
void Accumulate(const float* x, std::size_t count, std::uint16_t channels, float* lo, float* hi, double* sums) {
  std::size_t k = 0;
#if defined(__SSE2__)
  if (kLanes % channels == 0 && count >= kLanes) {
    alignas(16) float mn[kLanes], mx[kLanes], sq[kLanes];
    for (std::size_t l = 0; l < kLanes; ++l) {
      mn[l] = lo[l % channels];
      mx[l] = hi[l % channels];
    }
    __m128 mn0 = _mm_load_ps(mn), mn1 = _mm_load_ps(mn + 4);
    __m128 mx0 = _mm_load_ps(mx), mx1 = _mm_load_ps(mx + 4);
    __m128 sq0 = _mm_setzero_ps(), sq1 = _mm_setzero_ps();
    const __m128 low = _mm_set1_ps(-1.0f), high = _mm_set1_ps(1.0f);
    auto drawable = [&](__m128 v) {
      v = _mm_and_ps(v, _mm_cmpord_ps(v, v));  // NaN counts as silence
      return _mm_min_ps(_mm_max_ps(v, low), high);
    };
    for (; k + kLanes <= count; k += kLanes) {
      const __m128 a = drawable(_mm_loadu_ps(x + k)), b = drawable(_mm_loadu_ps(x + k + 4));
      mn0 = _mm_min_ps(mn0, a);
      mn1 = _mm_min_ps(mn1, b);
      mx0 = _mm_max_ps(mx0, a);
      mx1 = _mm_max_ps(mx1, b);
      sq0 = _mm_add_ps(sq0, _mm_mul_ps(a, a));
      sq1 = _mm_add_ps(sq1, _mm_mul_ps(b, b));
    }
    _mm_store_ps(mn, mn0);
    _mm_store_ps(mn + 4, mn1);
    _mm_store_ps(mx, mx0);
    _mm_store_ps(mx + 4, mx1);
    _mm_store_ps(sq, sq0);
    _mm_store_ps(sq + 4, sq1);
    for (std::size_t l = 0; l < kLanes; ++l) {
      const std::size_t c = l % channels;
      lo[c] = std::min(lo[c], mn[l]);
      hi[c] = std::max(hi[c], mx[l]);
      sums[c] += sq[l];
    }
  }
#endif
  for (; k < count; ++k) {
    const std::size_t c = k % channels;
    const float v = DrawableSample(x[k]);
    lo[c] = std::min(lo[c], v);
    hi[c] = std::max(hi[c], v);
    sums[c] += double(v) * v;
  }
}

}  // namespace

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
      if (fresh) {
        std::fill(lo.begin(), lo.end(), 1.0f);
        std::fill(hi.begin(), hi.end(), -1.0f);
        std::fill(sums.begin(), sums.end(), 0.0);
      }
      Accumulate(block.data() + std::size_t{i} * channels, (std::size_t{stop} - i) * channels, channels, lo.data(),
                 hi.data(), sums.data());
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
