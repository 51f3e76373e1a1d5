// The partitioned convolution against direct convolution done by numpy in
// double precision, its thread-count independence, the impulse identity
// through the clip guard, non-finite input and cancel.
#include "effects/convolution/part_conv.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "effects/framework/progress_scope.h"
#include "platform/error_numbers.h"
#include "tests/support/hermetic_env.h"
#include "tests/support/peer_tools.h"

namespace tidemark::NS_EFFECT {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr std::uint32_t kP = CPartConv::kPartition;

bool HaveNumpy() { return std::system((std::string(kPython) + " -c 'import numpy' 2>/dev/null").c_str()) == 0; }

// y[:, c] = (x[:, c] * h[c or 0])[:n], direct convolution in float64.
constexpr const char* kScript = R"(
import sys
import numpy as np
d, ch, rch, n, L = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
x = np.fromfile(d + '/x.f32', dtype='<f4').astype(np.float64).reshape(n, ch)
h = np.fromfile(d + '/h.f32', dtype='<f4').astype(np.float64).reshape(rch, L)
def conv(a, b):
    if len(a) * len(b) < 10**9:
        return np.convolve(a, b)[:n]
    m = 1 << (len(a) + len(b)).bit_length()  # long runs: through the transform, still float64
    return np.fft.irfft(np.fft.rfft(a, m) * np.fft.rfft(b, m), m)[:n]
y = np.stack([conv(x[:, c], h[min(c, rch - 1)]) for c in range(ch)], axis=1)
y.astype('<f8').tofile(d + '/y.f64')
)";

template <typename V>
void WriteRaw(const std::string& path, const std::vector<V>& v) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(v.size() * sizeof(V)));
}

std::vector<double> NumpyConvolve(const std::vector<float>& x, std::uint16_t ch,
                                  const std::vector<std::vector<float>>& h) {
  const std::string dir = testing::MakeTempDir("conv");
  std::vector<float> flat;
  for (const auto& r : h) flat.insert(flat.end(), r.begin(), r.end());
  WriteRaw(dir + "/x.f32", x);
  WriteRaw(dir + "/h.f32", flat);
  std::ofstream(dir + "/conv.py") << kScript;
  const std::string command = std::string(kPython) + " " + dir + "/conv.py " + dir + " " + std::to_string(ch) +
                              " " + std::to_string(h.size()) + " " + std::to_string(x.size() / ch) + " " +
                              std::to_string(h[0].size());
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<double> y(x.size(), std::numeric_limits<double>::quiet_NaN());
  std::ifstream(dir + "/y.f64", std::ios::binary)
      .read(reinterpret_cast<char*>(y.data()), static_cast<std::streamsize>(y.size() * sizeof(double)));
  return y;
}

std::vector<float> Noise(std::size_t n, float amplitude, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> d(-amplitude, amplitude);
  std::vector<float> v(n);
  for (float& s : v) s = d(gen);
  return v;
}

std::vector<const float*> Pointers(const std::vector<std::vector<float>>& h) {
  std::vector<const float*> p;
  for (const auto& r : h) p.push_back(r.data());
  return p;
}

// Runs `frames` frames of `x` (then silence up to whole partitions plus one)
// through `conv` in random blocks of at most one partition, so each block
// completes at most one partition. Returns the float output and, per
// frame, the run's own-precision output of the partition it belongs to.
template <typename T>
void RunBlocks(CPartConvStd<T>& conv, const std::vector<float>& x, std::uint16_t ch, std::uint32_t mask,
         std::uint32_t seed, std::vector<float>* out, std::vector<double>* precise) {
  const std::size_t frames = x.size() / ch;
  const std::size_t total = ((frames + kP - 1) / kP + 1) * kP;
  *out = x;
  out->resize(total * ch, 0.0f);
  precise->assign(total * ch, 0.0);
  std::mt19937 gen(seed);
  std::uniform_int_distribution<std::uint32_t> size(1, kP);
  std::size_t done = 0;
  while (done < total) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(size(gen), total - done));
    ASSERT_EQ(conv.Process(out->data() + done * ch, n, ch, mask), err::kOk);
    if ((done + n) / kP != done / kP) {
      const std::size_t part = (done + n) / kP - 1;
      for (std::uint16_t c = 0; c < ch; ++c)
        for (std::uint32_t i = 0; i < kP; ++i) (*precise)[(part * kP + i) * ch + c] = conv.LastPartition(c)[i];
    }
    done += n;
  }
}

struct Case {
  std::uint32_t length;
  std::uint16_t channels;
  std::uint32_t partitions = 2;  // of input, then 1234 frames more
};

class ConvolutionVsNumpy : public ::testing::TestWithParam<Case> {};

template <typename T>
void CheckAgainst(const Case& p, double tolerance) {
  const std::uint32_t frames = p.partitions * kP + 1234;
  const std::vector<float> x = Noise(std::size_t{frames} * p.channels, 0.5f, 7 + p.length);
  std::vector<std::vector<float>> h;
  const float amp = 0.5f / std::sqrt(static_cast<float>(p.length));
  for (std::uint16_t r = 0; r < p.channels; ++r) h.push_back(Noise(p.length, amp, 100 + r + p.length));
  const std::vector<double> want = NumpyConvolve(x, p.channels, h);
  CPartConvStd<T> conv(p.channels, 44100);
  ASSERT_EQ(conv.Prepare(Pointers(h).data(), p.length, p.channels, false, 0), err::kOk);
  ASSERT_EQ(conv.GetLatency(), kP);
  std::vector<float> out;
  std::vector<double> precise;
  RunBlocks(conv, x, p.channels, (1u << p.channels) - 1, p.length, &out, &precise);
  double worst = 0.0, worst_float = 0.0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    worst = std::max(worst, std::abs(precise[i] - want[i]));
    worst_float = std::max(worst_float, std::abs(double{out[i + std::size_t{kP} * p.channels]} - want[i]));
  }
  EXPECT_LT(worst, tolerance);
  // Rounding to the float buffer adds at most half an ulp of the output.
  EXPECT_LT(worst_float, std::max(tolerance, 1e-6));
}

TEST_P(ConvolutionVsNumpy, Float) {
  TIDEMARK_REQUIRE_PEER_IF(HaveNumpy(), "/usr/bin/python3 with numpy");
  CheckAgainst<float>(GetParam(), 1e-6);
}

TEST_P(ConvolutionVsNumpy, Double) {
  TIDEMARK_REQUIRE_PEER_IF(HaveNumpy(), "/usr/bin/python3 with numpy");
  CheckAgainst<double>(GetParam(), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ConvolutionVsNumpy,
                         ::testing::Values(Case{1, 1}, Case{4095, 1}, Case{4096, 1}, Case{4097, 1},
                                           Case{10 * 4096 + 17, 1}, Case{1, 2}, Case{4095, 2}, Case{4096, 2},
                                           Case{4097, 2}, Case{10 * 4096 + 17, 2},
                                           // More partitions than one pass serves, over several passes.
                                           Case{21 * 4096 + 17, 2, 40}));

TEST(PartConv, PartitionCountFollowsLength) {
  const struct {
    std::uint32_t length, k;
  } cases[] = {{1, 1}, {4096, 1}, {4097, 2}, {441000, 108}};
  for (const auto& c : cases) {
    std::vector<float> h(c.length, 0.0f);
    h[0] = 1.0f;
    const float* p = h.data();
    CPartConvStd<float> conv(1, 44100);
    ASSERT_EQ(conv.Prepare(&p, c.length, 1, false, 0), err::kOk);
    EXPECT_EQ(conv.Partitions(), c.k) << c.length;
  }
}

// Runs `x` through `conv` in calls of the `sizes` frames in turn.
template <typename T>
std::vector<float> RunChunks(CPartConvStd<T>& conv, std::vector<float> x, std::uint16_t ch, std::uint32_t mask,
                             const std::vector<std::uint32_t>& sizes) {
  const std::size_t frames = x.size() / ch;
  for (std::size_t done = 0, i = 0; done < frames; ++i) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(sizes[i % sizes.size()], frames - done));
    EXPECT_EQ(conv.Process(x.data() + done * ch, n, ch, mask), err::kOk);
    done += n;
  }
  return x;
}

// One and two threads, and calls of single frames, odd sizes and batches
// (whole partitions, more than one batch holds, a batch behind a partial
// partition), give the same output bit for bit. A response of K = 22 over
// 36 partitions covers several passes and the delay line's wrap.
template <typename T>
void CheckThreadsAndChunking() {
  const std::uint32_t length = 21 * 4096 + 17;
  std::vector<std::vector<float>> h{Noise(length, 0.01f, 1), Noise(length, 0.01f, 2)};
  const std::vector<float> x = Noise(std::size_t{36 * kP} * 2, 0.5f, 3);
  const std::vector<std::uint32_t> chunkings[] = {
      {kP}, {8 * kP}, {20 * kP}, {3 * kP + 123, 5 * kP - 7, 1, 2 * kP}, {kP - 1, 17 * kP + 1}};
  // Two threads even on a busy machine or a single processor: the region
  // must not fall back to one thread (that would make this test vacuous).
  omp_set_num_threads(2);
  for (const std::uint32_t mask : {3u, 1u}) {
    std::vector<float> want;
    for (int threads = 1; threads <= 2; ++threads) {
      for (const auto& sizes : chunkings) {
        CPartConvStd<T> conv(2, 44100);
        ASSERT_EQ(conv.Prepare(Pointers(h).data(), length, 2, false, 0), err::kOk);
        conv.SetThreadLimit(threads);
        const std::vector<float> got = RunChunks(conv, x, 2, mask, sizes);
        EXPECT_EQ(conv.LastTeam(), threads);
        if (want.empty()) want = got;
        EXPECT_TRUE(got == want) << "mask " << mask << ", threads " << threads << ", first call " << sizes[0];
      }
    }
  }
}

TEST(PartConv, ThreadCountAndChunkingDoNotChangeOneBit) {
  CheckThreadsAndChunking<float>();
  CheckThreadsAndChunking<double>();
}

// A pass prepares the sums of the partitions after it: a reset part-way
// through them must not carry any into the fresh start.
TEST(PartConv, ResetStartsAfreshAfterAnyPartitionCount) {
  const std::uint32_t length = 3 * 4096 + 5;
  std::vector<std::vector<float>> h{Noise(length, 0.01f, 4), Noise(length, 0.01f, 5)};
  const std::vector<float> x = Noise(std::size_t{4 * kP} * 2, 0.5f, 6);
  CPartConvStd<float> fresh(2, 44100);
  ASSERT_EQ(fresh.Prepare(Pointers(h).data(), length, 2, false, 0), err::kOk);
  std::vector<float> want = x;
  ASSERT_EQ(fresh.Process(want.data(), 4 * kP, 2, 3), err::kOk);
  for (const std::uint32_t before : {1u, 2u, 3u}) {
    CPartConvStd<float> conv(2, 44100);
    ASSERT_EQ(conv.Prepare(Pointers(h).data(), length, 2, false, 0), err::kOk);
    std::vector<float> warm = Noise(std::size_t{before * kP} * 2, 0.5f, 7);
    ASSERT_EQ(conv.Process(warm.data(), before * kP, 2, 3), err::kOk);
    conv.Reset();
    std::vector<float> got = x;
    ASSERT_EQ(conv.Process(got.data(), 4 * kP, 2, 3), err::kOk);
    EXPECT_EQ(got, want) << before;
  }
}

TEST(PartConv, UnitImpulseThroughTheGuardIsIdentityAfterLatency) {
  // A declared pre-delay in front of the impulse keeps the direct sound in place.
  const std::vector<float> x = Noise(std::size_t{3 * kP + 77} * 2, 0.9f, 5);
  for (const std::uint32_t delay : {0u, 1000u, 5000u}) {
    std::vector<float> h(delay + 1, 0.0f);
    h[delay] = 1.0f;
    const float* p[] = {h.data()};
    EffRunPtr run;
    ASSERT_EQ(MakeConvolutionRun(p, delay + 1, 1, 2, 44100, false, delay, true, &run), err::kOk);
    const std::uint32_t latency = run->GetLatency();
    EXPECT_EQ(latency, delay + kP + ConvolutionGuardFrames(44100));
    std::vector<float> buf = x;
    buf.resize(x.size() + std::size_t{latency} * 2, 0.0f);
    ASSERT_EQ(run->Process(buf.data(), static_cast<std::uint32_t>(buf.size() / 2), 2, 3), err::kOk);
    const std::vector<float> got(buf.begin() + std::ptrdiff_t{latency} * 2, buf.end());
    EXPECT_EQ(got, x) << delay;
  }
}

TEST(PartConv, GuardKeepsLoudResponseBelowFullScale) {
  const std::vector<float> four{4.0f};
  const float* p[] = {four.data()};
  EffRunPtr run;
  ASSERT_EQ(MakeConvolutionRun(p, 1, 1, 1, 44100, false, 0, false, &run), err::kOk);
  std::vector<float> buf(3 * kP);
  for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = 0.8f * static_cast<float>(std::sin(0.05 * double(i)));
  ASSERT_EQ(run->Process(buf.data(), static_cast<std::uint32_t>(buf.size()), 1, 1), err::kOk);
  float peak = 0.0f;
  for (const float v : buf) peak = std::max(peak, std::abs(v));
  EXPECT_LE(peak, 1.0f);
  EXPECT_GT(peak, 0.5f);  // the loud part did come through
}

TEST(PartConv, NonFiniteInputEntersAsZero) {
  const std::uint32_t length = 5000;
  std::vector<std::vector<float>> h{Noise(length, 0.02f, 11)};
  std::vector<float> x = Noise(3 * kP, 0.5f, 12);
  std::vector<float> clean = x;
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity()};
  for (int i = 0; i < 3; ++i) {
    x[100 + 1000 * std::size_t(i)] = bad[i];
    clean[100 + 1000 * std::size_t(i)] = 0.0f;
  }
  std::vector<float> got, want;
  std::vector<double> precise;
  for (auto* pair : {&got, &want}) {
    CPartConvStd<float> conv(1, 44100);
    ASSERT_EQ(conv.Prepare(Pointers(h).data(), length, 1, false, 0), err::kOk);
    RunBlocks(conv, pair == &got ? x : clean, 1, 1, 4, pair, &precise);
  }
  for (const float v : got) ASSERT_TRUE(std::isfinite(v));
  EXPECT_EQ(got, want);
}

TEST(PartConv, PreDelayAddsToLatencyUpToTheResponse) {
  const struct {
    std::uint32_t length, delay, latency;
  } cases[] = {{100, 40, 40 + kP}, {100, 9000, 2 * kP}, {5000, 5000, 5000 + kP}};
  for (const auto& c : cases) {
    std::vector<float> h(c.length, 0.1f);
    const float* p = h.data();
    CPartConvStd<double> conv(1, 44100);
    ASSERT_EQ(conv.Prepare(&p, c.length, 1, false, c.delay), err::kOk);
    EXPECT_EQ(conv.GetLatency(), c.latency) << c.length << " " << c.delay;
  }
}

TEST(PartConv, NormalisationOfAScaledImpulse) {
  // A flat response: its peak gain equals its energy, so energy decides.
  const struct {
    float a;
    float b;
    double factor;
  } cases[] = {{0.5f, 0.5f, 2.0}, {2.0f, 0.25f, 0.5}, {0.25f, 4.0f, 0.25}};
  for (const auto& c : cases) {
    const std::vector<float> left{c.a}, right{c.b};
    const float* p[] = {left.data(), right.data()};
    double factor = 0.0;
    ASSERT_EQ(ConvolutionNormalisation(p, 1, 2, 44100, &factor), err::kOk);
    EXPECT_NEAR(factor, c.factor, 1e-12);
  }
}

TEST(PartConv, RefusesWhatItCannotConvolve) {
  const std::vector<float> h(8, 0.1f);
  const float* p[] = {h.data(), h.data(), h.data()};
  CPartConvStd<float> conv(2, 44100);
  EXPECT_EQ(conv.Prepare(p, 0, 1, false, 0), err::kSizeLimit);
  EXPECT_EQ(conv.Prepare(p, 8, 3, false, 0), err::kSizeLimit);
  float buf[4] = {};
  EXPECT_EQ(conv.Process(buf, 2, 2, 3), err::kLayoutMismatch);  // not prepared
  ASSERT_EQ(conv.Prepare(p, 8, 2, false, 0), err::kOk);
  EXPECT_EQ(conv.Process(buf, 4, 1, 1), err::kLayoutMismatch);  // another channel count
}

TEST(PartConv, CancelEndsAfterThePartition) {
  // The second call completes one partition alone, or a batch of three.
  for (const std::uint32_t second : {kP - 1, 3 * kP}) {
    const std::vector<float> h(4096 * 3, 0.01f);
    const float* p = h.data();
    CPartConvStd<float> conv(1, 44100);
    ASSERT_EQ(conv.Prepare(&p, static_cast<std::uint32_t>(h.size()), 1, false, 0), err::kOk);
    ProgressScope scope(nullptr);
    conv.SetCancel(&scope);
    std::vector<float> buf(4 * kP, 0.25f);
    ASSERT_EQ(conv.Process(buf.data(), second == kP - 1 ? kP - 1 : 0, 1, 1), err::kOk);
    scope.Cancel();
    EXPECT_EQ(conv.Process(buf.data(), second, 1, 1), err::kCancelled) << second;
  }
}

}  // namespace
}  // namespace tidemark::NS_EFFECT
