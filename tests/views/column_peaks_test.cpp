// The streaming peak scan against a plain per-bucket computation over an
// array (non-finite samples included), and its one pass in blocks.
#include "views/column_peaks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "platform/error_numbers.h"
#include "tests/views/view_test_util.h"

namespace tidemark::testing {
namespace {

struct PeakCase {
  std::uint32_t frames, from, to;
  int columns;
  std::uint16_t channels;
};

class ColumnPeaksMatchReference : public ::testing::TestWithParam<PeakCase> {};

TEST_P(ColumnPeaksMatchReference, MinMaxAndRmsOfEveryBucket) {
  const PeakCase c = GetParam();
  std::mt19937 gen(c.frames * 7 + c.columns);
  std::uniform_real_distribution<float> dist(-1.3f, 1.3f);  // some samples beyond full scale
  std::vector<float> x(std::size_t{c.frames} * c.channels);
  for (float& v : x) v = dist(gen);
  // Non-finite samples scattered through both the vector and the scalar paths.
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (i % 97 == 5) x[i] = std::numeric_limits<float>::quiet_NaN();
    if (i % 101 == 7) x[i] = std::numeric_limits<float>::infinity();
    if (i % 103 == 11) x[i] = -std::numeric_limits<float>::infinity();
  }
  const DocumentPtr doc = FloatDocument(x, c.channels);
  views::ColumnPeaks peaks;
  ASSERT_EQ(views::ScanColumnPeaks(*doc, c.from, c.to, c.columns, nullptr, &peaks), 0u);
  const std::uint32_t length = c.to - c.from;
  const std::uint32_t buckets = std::min<std::uint32_t>(static_cast<std::uint32_t>(c.columns), length);
  ASSERT_EQ(peaks.buckets, buckets);
  for (std::uint16_t ch = 0; ch < c.channels; ++ch) {
    for (std::uint32_t b = 0; b < buckets; ++b) {
      const std::uint64_t first = c.from + std::uint64_t{b} * length / buckets;
      const std::uint64_t end = c.from + std::uint64_t{b + 1} * length / buckets;
      float lo = 1, hi = -1;
      double sq = 0;
      for (std::uint64_t f = first; f < end; ++f) {
        const float raw = x[f * c.channels + ch];
        const float v = std::isnan(raw) ? 0.0f : std::clamp(raw, -1.0f, 1.0f);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sq += double(v) * v;
      }
      const std::size_t at = std::size_t{ch} * buckets + b;
      ASSERT_EQ(peaks.min[at], lo) << "channel " << ch << " bucket " << b;
      ASSERT_EQ(peaks.max[at], hi) << "channel " << ch << " bucket " << b;
      ASSERT_NEAR(peaks.rms[at], std::sqrt(sq / double(end - first)), 1e-5) << "channel " << ch << " bucket " << b;
    }
  }
}

constexpr std::uint32_t kBlock = views::kPeakBlockFrames;
INSTANTIATE_TEST_SUITE_P(Shapes, ColumnPeaksMatchReference,
                         ::testing::Values(PeakCase{1000, 0, 1000, 7, 1},       // uneven buckets
                                           PeakCase{50000, 0, 50000, 1200, 2},  // many buckets per block
                                           PeakCase{5, 0, 5, 40, 2},            // fewer frames than columns
                                           PeakCase{1, 0, 1, 10, 1},            // one frame
                                           PeakCase{2 * kBlock + 3, 0, 2 * kBlock + 3, 3, 2},  // buckets across blocks
                                           PeakCase{3 * kBlock, 1001, 3 * kBlock - 17, 64, 2}));  // a range inside

TEST(ColumnPeaks, ReadsOnceInBlocksAndStopsWhenCancelled) {
  const std::uint32_t frames = 3 * kBlock + 100;
  const DocumentPtr doc = FloatDocument(std::vector<float>(std::size_t{frames} * 2, 0.25f), 2);
  std::vector<std::uint64_t> reports;
  views::ColumnPeaks p;
  ASSERT_EQ(views::ScanColumnPeaks(*doc, 0, frames, 100, [&](std::uint64_t done, std::uint64_t total) {
              EXPECT_EQ(total, frames);
              reports.push_back(done);
              return true;
            }, &p), 0u);
  EXPECT_EQ(reports, (std::vector<std::uint64_t>{kBlock, 2 * kBlock, 3 * kBlock, frames}));
  int calls = 0;
  EXPECT_EQ(views::ScanColumnPeaks(*doc, 0, frames, 100, [&](std::uint64_t, std::uint64_t) { return ++calls < 2; }, &p),
            err::kCancelled);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tidemark::testing
