// The biquad cascade kernel in ns per section per sample, beside the floor
// of one dependent chain of a multiply and an add (the latency that a
// section's recursion costs when nothing overlaps it).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/filters/biquad.h"

namespace {

using tidemark::NS_EFFECT::SBiQuadFilter;

constexpr std::size_t kFrames = 4096;

// A stable peaking-like section per slot; the values only need to be
// realistic, not a particular design.
SBiQuadFilter MakeCascade(int sections) {
  SBiQuadFilter f;
  f.count = sections;
  for (int s = 0; s < sections; ++s) {
    const double r = 0.9 + 0.01 * s;
    const double theta = 0.05 + 0.3 * s;
    f.sections[s] = {1.02, -1.9 * std::cos(theta) * r, 0.97 * r * r, -2.0 * r * std::cos(theta), r * r};
  }
  return f;
}

void BM_BiquadKernel(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const auto channels = static_cast<std::uint16_t>(state.range(1));
  tidemark::dsp::BiquadKernel kernel;
  if (kernel.Init(MakeCascade(sections), channels)) {
    state.SkipWithError("init failed");
    return;
  }
  std::vector<float> buffer(kFrames * channels);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
  for (auto& x : buffer) x = dist(rng);
  const std::vector<float> input = buffer;
  for (auto _ : state) {
    buffer = input;  // keeps the signal bounded; the copy costs about 1/30 of a pass
    kernel.Process(buffer.data(), kFrames, 0xffffffffu);
    benchmark::DoNotOptimize(buffer.data());
  }
  const double steps = static_cast<double>(kFrames) * channels * sections;
  state.counters["ns_per_section_sample"] =
      benchmark::Counter(steps * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BiquadKernel)->Args({4, 2})->Args({4, 1})->Args({1, 2})->Args({15, 2});

// One dependent chain x = x * a + b: what a section would cost per sample if
// its recursion ran alone.
void BM_DependentMultiplyAddFloor(benchmark::State& state) {
  double x = 0.25;
  double a = 0.999;
  double b = 1e-3;
  benchmark::DoNotOptimize(a);
  benchmark::DoNotOptimize(b);
  constexpr int kSteps = 4096;
  for (auto _ : state) {
    for (int i = 0; i < kSteps; ++i) x = x * a + b;
    benchmark::DoNotOptimize(x);
  }
  state.counters["ns_per_step"] = benchmark::Counter(
      static_cast<double>(kSteps) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DependentMultiplyAddFloor);

}  // namespace

BENCHMARK_MAIN();
