// Conversion throughput in output bytes per second for the paths that move
// samples between files and processing buffers, each beside memcpy of the same
// output size, and the narrowing paths beside the scalar rules built without
// auto-vectorisation. Prints a ratio table after the usual benchmark output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/samples/sample_convert.h"
#include "core/samples/internal/sample_convert_kernels.h"
#include "core/samples/sample_type_text.h"

// The same rules compiled with -fno-tree-vectorize (see CMakeLists.txt).
namespace tidemark::convert_detail::scalar_novec {
KernelFn ForwardKernel(int src_index, int dst_index);
}

namespace {

using namespace tidemark;
using namespace tidemark::sample_code;

// Fits comfortably in L2 for every pair: 8192 samples, at most 64 KiB of output.
constexpr std::size_t kSamples = 8192;

struct Path {
  const char* name;
  SampleCode from, to;
  bool narrowing;
};

const Path kPaths[] = {
    {"16->float", kS16, kFloat, false},     {"24->float", kS24, kFloat, false},
    {"16->24", kS16, kS24, false},          {"float->16", kFloat, kS16, true},
    {"float->24", kFloat, kS24, true},      {"24->16", kS24, kS16, true},
    {"BE16->float", kS16BE, kFloat, false}, {"BE24->float", kS24BE, kFloat, false},
    {"BE16->BE24", kS16BE, kS24BE, false},  {"float->BE16", kFloat, kS16BE, true},
    {"float->BE24", kFloat, kS24BE, true},  {"swap16", kS16, kS16BE, false},
    {"swap24", kS24, kS24BE, false},        {"swap32", kS32, kS32BE, false},
    {"swapdouble", kDouble, kDoubleBE, false},
};

// Cache-line aligned buffers, so memcpy and the converter see the same layout
// (glibc's memcpy slows down badly on mutually misaligned buffers).
struct AlignedBytes {
  std::vector<std::uint8_t> storage;
  std::uint8_t* ptr;
  std::size_t n;
  explicit AlignedBytes(std::size_t bytes, std::uint8_t fill = 0) : storage(bytes + 64, fill), n(bytes) {
    const auto addr = reinterpret_cast<std::uintptr_t>(storage.data());
    ptr = storage.data() + ((64 - addr % 64) % 64);
  }
  std::uint8_t* data() { return ptr; }
  const std::uint8_t* data() const { return ptr; }
  std::size_t size() const { return n; }
};

AlignedBytes MakeSource(SampleCode code) {
  std::vector<float> f(kSamples);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-1.05f, 1.05f);
  for (float& x : f) x = dist(rng);
  AlignedBytes src(kSamples * BytesPerSample(code));
  Convert(f.data(), src.data(), kSamples, kFloat, code);
  return src;
}

void SetBytes(benchmark::State& state, std::size_t out_bytes) {
  state.SetBytesProcessed(std::int64_t(state.iterations() * out_bytes));
}

void BM_Convert(benchmark::State& state, Path p) {
  const auto src = MakeSource(p.from);
  AlignedBytes dst(kSamples * BytesPerSample(p.to));
  for (auto _ : state) {
    Convert(src.data(), dst.data(), kSamples, p.from, p.to);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, dst.size());
}

void BM_ScalarNoVec(benchmark::State& state, Path p) {
  const auto src = MakeSource(p.from);
  AlignedBytes dst(kSamples * BytesPerSample(p.to));
  auto kernel = convert_detail::scalar_novec::ForwardKernel(SampleCodeIndex(p.from), SampleCodeIndex(p.to));
  for (auto _ : state) {
    kernel(src.data(), dst.data(), kSamples);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, dst.size());
}

void BM_Memcpy(benchmark::State& state, std::size_t bytes) {
  AlignedBytes src(bytes, 1), dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, bytes);
}

// Collects bytes per second by benchmark name for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> rate;
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the median stands for the benchmark.
    for (const Run& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it == r.counters.end()) continue;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      rate[r.run_name.str()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const ConvertIsa isa = ActiveConvertIsa();
  const char* isa_name = isa == ConvertIsa::Avx2 ? "avx2" : isa == ConvertIsa::Sse41 ? "sse4.1" : "scalar";
  for (const Path& p : kPaths) {
    const std::size_t out = kSamples * BytesPerSample(p.to);
    benchmark::RegisterBenchmark((std::string("convert/") + p.name).c_str(), BM_Convert, p);
    benchmark::RegisterBenchmark((std::string("memcpy/") + p.name).c_str(), BM_Memcpy, out);
    if (p.narrowing)
      benchmark::RegisterBenchmark((std::string("scalar-novec/") + p.name).c_str(), BM_ScalarNoVec, p);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nConverter variant: %s; %zu samples per call (in cache).\n", isa_name, kSamples);
  std::printf("%-14s %12s %12s %10s %14s\n", "path", "MB/s out", "memcpy MB/s", "÷ memcpy", "× scalar-novec");
  for (const Path& p : kPaths) {
    const std::string n = p.name;
    const double c = reporter.rate["convert/" + n], m = reporter.rate["memcpy/" + n];
    if (c == 0 || m == 0) continue;
    std::printf("%-14s %12.0f %12.0f %10.2f", p.name, c / 1e6, m / 1e6, c / m);
    const double s = reporter.rate["scalar-novec/" + n];
    if (p.narrowing && s > 0)
      std::printf(" %14.2f\n", c / s);
    else
      std::printf(" %14s\n", "-");
  }
  benchmark::Shutdown();
  return 0;
}
