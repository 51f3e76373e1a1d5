// The volume envelope against a double-precision model that looks up the
// points around each frame in a plain array.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/envelope.h"

namespace tidemark {
namespace {

using Points = std::vector<std::pair<std::uint32_t, float>>;  // sorted by position

EnvelopeList MakeList(const Points& points) {
  EnvelopeList list;
  EnvelopePoint* last = nullptr;
  for (const auto& [position, level] : points) {
    EnvelopePoint* p = NewEnvelopePoint(position, level);
    list.InsertAfterAdopt(last, p);
    last = p;
  }
  return list;
}

// The gain at frame f: the last point at or before f sets the stretch.
double ModelGain(const Points& points, std::uint64_t f) {
  std::size_t i = 0;
  while (i < points.size() && points[i].first <= f) ++i;
  if (i == 0) return points.front().second;
  if (i == points.size()) return points.back().second;
  const double l0 = points[i - 1].second, l1 = points[i].second;
  const double p0 = points[i - 1].first, p1 = points[i].first;
  return l0 + (static_cast<double>(f) - p0) * (l1 - l0) / (p1 - p0);
}

std::vector<float> Model(const Points& points, std::uint16_t channels, std::uint32_t first,
                         const std::vector<float>& in) {
  std::vector<float> out = in;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const double g = ModelGain(points, first + i / channels);
    if (g != 1.0) out[i] = static_cast<float>(static_cast<double>(in[i]) * g);
  }
  return out;
}

bool BitwiseEqual(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(EnvelopeTest, RandomEnvelopesMatchTheModelInAnySplit) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  for (int round = 0; round < 40; ++round) {
    Points points;
    std::uint32_t at = static_cast<std::uint32_t>(rng()) % 300;
    for (int n = 1 + static_cast<int>(rng() % 8); n > 0; --n) {
      // Some points share a position, some levels are exactly 1 or repeat.
      const float level = rng() % 4 == 0 ? 1.0f : (rng() % 5 == 0 && !points.empty() ? points.back().second
                                                                                     : static_cast<float>(rng() % 3000) / 1000.0f);
      points.push_back({at, level});
      at += static_cast<std::uint32_t>(rng()) % 3 == 0 ? 0 : static_cast<std::uint32_t>(rng()) % 700;
    }
    const EnvelopeList list = MakeList(points);
    const auto channels = static_cast<std::uint16_t>(1 + round % 2);
    const std::uint32_t first = static_cast<std::uint32_t>(rng()) % 200;
    std::vector<float> in(std::size_t{at + 300} * channels);
    for (float& x : in) x = sample(rng);
    const std::vector<float> want = Model(points, channels, first, in);

    std::vector<float> whole = in;
    EvaluateEnvelope(list, channels, first, static_cast<std::uint32_t>(in.size() / channels), whole.data());
    ASSERT_TRUE(BitwiseEqual(whole, want)) << "round " << round;

    std::vector<float> pieces = in;
    for (std::uint32_t f = 0; f < in.size() / channels;) {
      const auto n = std::min<std::uint32_t>(static_cast<std::uint32_t>(in.size() / channels) - f, 1 + static_cast<std::uint32_t>(rng()) % 400);
      EvaluateEnvelope(list, channels, first + f, n, pieces.data() + std::size_t{f} * channels);
      f += n;
    }
    ASSERT_TRUE(BitwiseEqual(pieces, want)) << "round " << round << " in pieces";

    for (std::uint32_t f = 0; f < at + 300; f += 1 + static_cast<std::uint32_t>(rng()) % 50)
      ASSERT_EQ(EnvelopeLevelAt(list, f), static_cast<float>(ModelGain(points, f))) << f;
  }
}

TEST(EnvelopeTest, UnityStretchesStayBitwiseAndEqualPositionsStep) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  float signalling;
  const std::uint32_t bits = 0x7F800123u;  // a signalling NaN with a payload
  std::memcpy(&signalling, &bits, 4);
  // Unity before 200, a step at 300 (two points there), unity on [500, 600)
  // and, inside a rising stretch, exactly at frame 750.
  const Points points = {{100, 1.0f}, {200, 1.0f}, {300, 0.5f}, {300, 2.0f}, {400, 1.5f},
                         {500, 1.0f}, {600, 1.0f}, {700, 0.5f}, {800, 1.5f}};
  const EnvelopeList list = MakeList(points);
  std::vector<float> in(2 * 900);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = i % 3 == 0 ? signalling : (i % 3 == 1 ? nan : -inf);
  std::vector<float> out = in;
  EvaluateEnvelope(list, 2, 0, 900, out.data());
  EXPECT_EQ(std::memcmp(out.data(), in.data(), 2 * 200 * sizeof(float)), 0) << "unity stretch before 200";
  EXPECT_EQ(std::memcmp(out.data() + 2 * 500, in.data() + 2 * 500, 2 * 100 * sizeof(float)), 0) << "[500, 600)";
  EXPECT_EQ(std::memcmp(out.data() + 2 * 750, in.data() + 2 * 750, 2 * sizeof(float)), 0) << "frame 750";

  EXPECT_EQ(EnvelopeLevelAt(list, 299), static_cast<float>(1.0 - 99.0 * 0.5 / 100.0));
  EXPECT_EQ(EnvelopeLevelAt(list, 300), 2.0f);  // the later of the two points
  EXPECT_EQ(EnvelopeLevelAt(list, 350), 1.75f);
  EXPECT_EQ(EnvelopeLevelAt(list, 0), 1.0f);
  EXPECT_EQ(EnvelopeLevelAt(list, 550), 1.0f);
  EXPECT_EQ(EnvelopeLevelAt(list, 100000), 1.5f);
  std::vector<float> ones(2 * 900, 1.0f);
  EvaluateEnvelope(list, 2, 0, 900, ones.data());
  EXPECT_EQ(ones[2 * 300], 2.0f);
  EXPECT_EQ(ones[2 * 300 + 1], 2.0f);
  EXPECT_EQ(ones[2 * 299 + 1], EnvelopeLevelAt(list, 299));

  // A step as the very last pair holds the later level to the end.
  const EnvelopeList step = MakeList({{50, 0.25f}, {50, 0.75f}});
  std::vector<float> x(100, 1.0f);
  EvaluateEnvelope(step, 1, 0, 100, x.data());
  EXPECT_EQ(x[49], 0.25f);
  EXPECT_EQ(x[50], 0.75f);
  EXPECT_EQ(x[99], 0.75f);

  const EnvelopeList empty;
  std::vector<float> kept = in;
  EvaluateEnvelope(empty, 2, 0, 900, kept.data());
  EXPECT_EQ(std::memcmp(kept.data(), in.data(), in.size() * sizeof(float)), 0);
  EXPECT_EQ(EnvelopeLevelAt(empty, 5), 1.0f);
}

}  // namespace
}  // namespace tidemark
