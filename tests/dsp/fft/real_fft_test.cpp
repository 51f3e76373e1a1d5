// The real FFT against a direct DFT in long double, against numpy, through
// round trips, shared between threads, and refusing sizes it cannot plan.
#include "dsp/fft/real_fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "tests/support/hermetic_env.h"
#include "tests/support/peer_tools.h"

namespace tidemark::dsp {
namespace {

using Bins = std::vector<std::complex<long double>>;

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
constexpr FftKernels kBothKernels[] = {FftKernels::kFastest, FftKernels::kBaseline};

std::vector<double> RandomSignal(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<double> x(n);
  for (double& v : x) v = dist(rng);  // float values, exact in either precision
  return x;
}

// X[k] for k <= n/2, directly from the definition.
Bins NaiveDft(const std::vector<double>& x) {
  const std::size_t n = x.size();
  std::vector<long double> c(n), s(n);
  for (std::size_t j = 0; j < n; ++j) c[j] = std::cos(kTwoPi * j / n), s[j] = std::sin(kTwoPi * j / n);
  Bins out(n / 2 + 1);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    for (std::size_t j = 0, jk = 0; j < n; ++j, jk = jk + k >= n ? jk + k - n : jk + k)
      re += x[j] * c[jk], im -= x[j] * s[jk];
    out[k] = {re, im};
  }
  return out;
}

// The packed layout as bins 0 .. n/2.
template <typename T>
Bins Unpack(const std::vector<T>& packed) {
  const std::size_t n = packed.size();
  Bins out(n / 2 + 1);
  out[0] = packed[0];
  out[n / 2] = packed[1];
  for (std::size_t k = 1; k < n / 2; ++k) out[k] = {packed[2 * k], packed[2 * k + 1]};
  return out;
}

// Largest error of any bin, relative to the root-mean-square size of the
// reference bins, in units of log2(n) * epsilon of T.
template <typename T>
double ErrorInLogEps(const Bins& got, const Bins& want) {
  long double power = 0, worst = 0;
  for (const auto& w : want) power += std::norm(w);
  for (std::size_t k = 0; k < want.size(); ++k) worst = std::max(worst, std::abs(got[k] - want[k]));
  const long double rms = std::sqrt(power / want.size());
  const double n = 2.0 * static_cast<double>(want.size() - 1);
  return double(worst / rms) / (std::log2(n) * std::numeric_limits<T>::epsilon());
}

template <typename T>
std::vector<T> Transform(const RealFft<T>& plan, const std::vector<T>& in, bool inverse) {
  std::vector<T> out(in.size()), work(plan.work_size());
  if (inverse)
    plan.Inverse(in.data(), out.data(), work.data());
  else
    plan.Forward(in.data(), out.data(), work.data());
  return out;
}

template <typename T>
std::vector<T> As(const std::vector<double>& x) {
  return std::vector<T>(x.begin(), x.end());
}

// Forward against the direct DFT, and inverse against the direct inverse
// (computed as the forward DFT of a signal whose spectrum is known).
template <typename T>
void CheckAgainstNaive(std::size_t n, FftKernels kernels, const std::vector<double>& x, const Bins& spectrum) {
  RealFft<T> plan;
  ASSERT_EQ(plan.Init(n, kernels), err::kOk);
  EXPECT_LT(ErrorInLogEps<T>(Unpack(Transform(plan, As<T>(x), false)), spectrum), 1.0) << "n=" << n;
  // The inverse of this spectrum is n * x.
  std::vector<T> packed(n);
  packed[0] = T(spectrum[0].real());
  packed[1] = T(spectrum[n / 2].real());
  for (std::size_t k = 1; k < n / 2; ++k) packed[2 * k] = T(spectrum[k].real()), packed[2 * k + 1] = T(spectrum[k].imag());
  const std::vector<T> back = Transform(plan, packed, true);
  long double worst = 0, power = 0;
  for (std::size_t j = 0; j < n; ++j) {
    power += (long double)x[j] * x[j];
    worst = std::max(worst, std::abs(back[j] / (long double)n - x[j]));
  }
  const double rel = double(worst / std::sqrt(power / n)) / (std::log2(double(n)) * std::numeric_limits<T>::epsilon());
  EXPECT_LT(rel, 2.0) << "inverse, n=" << n;
}

TEST(RealFft, MatchesDirectDftForEverySizeUpTo8192) {
  for (std::size_t n = 2; n <= 8192; n *= 2) {
    const std::vector<double> x = RandomSignal(n, unsigned(n));
    const Bins spectrum = NaiveDft(x);
    for (FftKernels kernels : kBothKernels) {
      CheckAgainstNaive<float>(n, kernels, x, spectrum);
      CheckAgainstNaive<double>(n, kernels, x, spectrum);
    }
  }
}

TEST(RealFft, KernelVariantsGiveTheSameBits) {
  for (std::size_t n = 4; n <= (1u << 16); n *= 2) {
    RealFft<float> fast, base;
    ASSERT_EQ(fast.Init(n, FftKernels::kFastest), err::kOk);
    ASSERT_EQ(base.Init(n, FftKernels::kBaseline), err::kOk);
    const std::vector<float> x = As<float>(RandomSignal(n, 99));
    EXPECT_EQ(Transform(fast, x, false), Transform(base, x, false)) << "n=" << n;
    EXPECT_EQ(Transform(fast, x, true), Transform(base, x, true)) << "n=" << n;
  }
}

template <typename T>
void CheckRoundTrip(std::size_t n, double tolerance_log_eps) {
  RealFft<T> plan;
  ASSERT_EQ(plan.Init(n), err::kOk);
  const std::vector<T> x = As<T>(RandomSignal(n, 7));
  std::vector<T> buf = x, work(plan.work_size());
  plan.Forward(buf.data(), buf.data(), work.data());  // in place
  plan.Inverse(buf.data(), buf.data(), work.data());
  double worst = 0;
  for (std::size_t j = 0; j < n; ++j) worst = std::max(worst, double(std::abs(buf[j] / T(n) - x[j])));
  EXPECT_LT(worst, tolerance_log_eps * std::log2(double(n)) * std::numeric_limits<T>::epsilon()) << "n=" << n;
}

TEST(RealFft, RoundTripInPlaceGivesNTimesTheSignal) {
  for (std::size_t n : {std::size_t{2}, std::size_t{4}, std::size_t{32}, std::size_t{1} << 15,
                        std::size_t{1} << 20}) {
    CheckRoundTrip<float>(n, 2.0);
    CheckRoundTrip<double>(n, 2.0);
  }
}

TEST(RealFft, MatchesNumpyUpTo65536) {
  constexpr const char* kPython = "/usr/bin/python3";
  TIDEMARK_REQUIRE_PEER_IF(std::system((std::string(kPython) + " -c 'import numpy' 2>/dev/null").c_str()) == 0,
                           "/usr/bin/python3 with numpy");
  const std::string dir = testing::MakeTempDir("fft");
  std::vector<double> all;
  for (std::size_t n = 2; n <= 65536; n *= 2) {
    const std::vector<double> x = RandomSignal(n, unsigned(3 * n));
    all.insert(all.end(), x.begin(), x.end());
  }
  std::ofstream(dir + "/in.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(all.data()), std::streamsize(all.size() * sizeof(double)));
  const std::string script =
      "import numpy as np\n"
      "x = np.fromfile('" + dir + "/in.bin', dtype='<f8'); out = []; at = 0; n = 2\n"
      "while n <= 65536:\n"
      "    out.append(np.fft.rfft(x[at:at + n]).astype('<c16')); at += n; n *= 2\n"
      "np.concatenate(out).tofile('" + dir + "/out.bin')\n";
  std::ofstream(dir + "/rfft.py") << script;
  ASSERT_EQ(std::system((std::string(kPython) + " " + dir + "/rfft.py").c_str()), 0);
  std::ifstream result(dir + "/out.bin", std::ios::binary);
  std::size_t at = 0;
  for (std::size_t n = 2; n <= 65536; n *= 2) {
    std::vector<double> bins(n + 2);
    ASSERT_TRUE(result.read(reinterpret_cast<char*>(bins.data()), std::streamsize(bins.size() * sizeof(double))));
    Bins want(n / 2 + 1);
    for (std::size_t k = 0; k <= n / 2; ++k) want[k] = {bins[2 * k], bins[2 * k + 1]};
    const std::vector<double> x(all.begin() + std::ptrdiff_t(at), all.begin() + std::ptrdiff_t(at + n));
    at += n;
    RealFft<double> pd;
    RealFft<float> pf;
    ASSERT_EQ(pd.Init(n), err::kOk);
    ASSERT_EQ(pf.Init(n), err::kOk);
    EXPECT_LT(ErrorInLogEps<double>(Unpack(Transform(pd, x, false)), want), 1.0) << "n=" << n;
    EXPECT_LT(ErrorInLogEps<float>(Unpack(Transform(pf, As<float>(x), false)), want), 1.0) << "n=" << n;
  }
}

TEST(RealFft, OnePlanSharedByThreadsGivesIdenticalResults) {
  constexpr std::size_t kN = 8192;
  constexpr int kThreads = 4;
  RealFft<float> plan;
  ASSERT_EQ(plan.Init(kN), err::kOk);
  std::vector<std::vector<float>> inputs, expected;
  for (int t = 0; t < kThreads; ++t) {
    inputs.push_back(As<float>(RandomSignal(kN, 100 + t)));
    expected.push_back(Transform(plan, inputs.back(), false));
  }
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      std::vector<float> out(kN), back(kN), work(plan.work_size());
      for (int round = 0; round < 200; ++round) {
        plan.Forward(inputs[t].data(), out.data(), work.data());
        if (out != expected[t]) ++mismatches[t];
        plan.Inverse(out.data(), back.data(), work.data());
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

TEST(RealFft, RefusesSizesItCannotPlan) {
  RealFft<double> plan;
  ASSERT_EQ(plan.Init(64), err::kOk);
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{6}, std::size_t{1000},
                        (std::size_t{1} << 20) + 2, RealFft<double>::kMaxSize * 2, ~std::size_t{0}}) {
    EXPECT_EQ(plan.Init(n), err::kSizeLimit) << n;
    EXPECT_TRUE(plan.empty());
  }
}

}  // namespace
}  // namespace tidemark::dsp
