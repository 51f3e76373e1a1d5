// Real forward FFT, single precision, beside FFTW's r2c transform of the same
// size (planned with FFTW_MEASURE) in the same run: nanoseconds per transform
// for 1024, 8192 and 65536 points, then a ratio table. The baseline kernels
// are measured too, to show what the run-time choice of AVX2 buys.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/fft/real_fft.h"

namespace {

using tidemark::dsp::FftKernels;
using tidemark::dsp::RealFft;

constexpr std::size_t kSizes[] = {1024, 8192, 65536};

std::vector<float> Signal(std::size_t n) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(n);
  for (float& v : x) v = dist(rng);
  return x;
}

void BM_Ours(benchmark::State& state, std::size_t n, FftKernels kernels) {
  RealFft<float> plan;
  if (plan.Init(n, kernels) != 0) {
    state.SkipWithError("plan");
    return;
  }
  const std::vector<float> in = Signal(n);
  std::vector<float> out(n), work(plan.work_size());
  for (auto _ : state) {
    plan.Forward(in.data(), out.data(), work.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_Fftw(benchmark::State& state, std::size_t n) {
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(int(n), in, out, FFTW_MEASURE);  // overwrites `in`
  const std::vector<float> x = Signal(n);
  std::copy(x.begin(), x.end(), in);
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}

// Collects nanoseconds per transform by benchmark name for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> ns;
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the median stands for the benchmark.
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      ns[r.run_name.str()] = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

std::string Name(const char* who, std::size_t n) { return std::string(who) + "/" + std::to_string(n); }

}  // namespace

int main(int argc, char** argv) {
  for (std::size_t n : kSizes) {
    benchmark::RegisterBenchmark(Name("tidemark", n).c_str(), BM_Ours, n, FftKernels::kFastest);
    benchmark::RegisterBenchmark(Name("tidemark-baseline", n).c_str(), BM_Ours, n, FftKernels::kBaseline);
    benchmark::RegisterBenchmark(Name("fftw", n).c_str(), BM_Fftw, n);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nReal forward FFT, single precision, ns per transform (in cache).\n");
  std::printf("%8s %12s %12s %12s %12s\n", "n", "tidemark", "baseline", "fftw", "÷ fftw");
  for (std::size_t n : kSizes) {
    const double ours = reporter.ns[Name("tidemark", n)], base = reporter.ns[Name("tidemark-baseline", n)];
    const double fftw = reporter.ns[Name("fftw", n)];
    if (ours == 0 || fftw == 0) continue;
    std::printf("%8zu %12.0f %12.0f %12.0f %12.2f\n", n, ours, base, fftw, ours / fftw);
  }
  benchmark::Shutdown();
  return 0;
}
