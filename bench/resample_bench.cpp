// The sample-rate converter alone, in memory, on one core: 10 seconds of
// stereo noise converted per iteration, reported as times real time
// ("xRealtime": seconds of audio per second of work), beside libsoxr at its
// HQ setting (single-precision float, interleaved, one thread) in the same
// binary. Rates: 44100 -> 48000 (CResampleStd, 160 phases), 48000 -> 44100
// (with the pre-filter), 96000 -> 48000 (CResampleDecim).
#include <benchmark/benchmark.h>
#include <soxr.h>

#include <memory>
#include <random>
#include <vector>

#include "dsp/resample/resample.h"

namespace {

using tidemark::dsp::CResample;
using tidemark::dsp::MakeResampler;
using tidemark::dsp::ResampleOptions;

constexpr double kSeconds = 10.0;

std::vector<float> Noise(std::size_t samples) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
  std::vector<float> x(samples);
  for (float& v : x) v = dist(rng);
  return x;
}

void BM_Ours(benchmark::State& state, std::uint32_t in_rate, std::uint32_t out_rate, std::uint8_t quality,
             std::uint8_t flags) {
  ResampleOptions options;
  options.quality = quality;
  options.flags = flags;
  std::unique_ptr<CResample> converter;
  if (MakeResampler(out_rate, in_rate, 2, 200, options, &converter) || !converter) {
    state.SkipWithError("no converter");
    return;
  }
  const auto frames = static_cast<std::size_t>(kSeconds * in_rate);
  const std::vector<float> left = Noise(frames), right = Noise(frames + 1);
  std::vector<float> out(std::size_t{converter->GetOutputBlock()} * 2);
  const std::uint32_t block = converter->GetInputBlock();
  for (auto _ : state) {
    converter->Reset();
    for (std::size_t at = 0; at < frames; at += block) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(block, frames - at));
      float *l, *r;
      converter->GetInputPointersPair(&l, &r);
      std::copy(left.begin() + static_cast<std::ptrdiff_t>(at), left.begin() + static_cast<std::ptrdiff_t>(at + n), l);
      std::copy(right.begin() + static_cast<std::ptrdiff_t>(at), right.begin() + static_cast<std::ptrdiff_t>(at + n), r);
      benchmark::DoNotOptimize(converter->Process(out.data(), n));
    }
    benchmark::ClobberMemory();
  }
  state.counters["xRealtime"] = benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
  state.counters["taps"] = tidemark::dsp::DesignOf(*converter).taps;
}

void BM_Soxr(benchmark::State& state, std::uint32_t in_rate, std::uint32_t out_rate) {
  const auto frames = static_cast<std::size_t>(kSeconds * in_rate);
  const std::vector<float> input = Noise(frames * 2);
  std::vector<float> out(static_cast<std::size_t>(kSeconds * out_rate + 4096) * 2);
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  for (auto _ : state) {
    soxr_error_t error = nullptr;
    soxr_t soxr = soxr_create(in_rate, out_rate, 2, &error, &io, &quality, &runtime);
    if (error) {
      state.SkipWithError(error);
      return;
    }
    constexpr std::size_t kPiece = 8820;
    std::size_t done_out = 0;
    for (std::size_t at = 0; at < frames; at += kPiece) {
      const std::size_t n = std::min(kPiece, frames - at);
      std::size_t used = 0, made = 0;
      soxr_process(soxr, input.data() + at * 2, n, &used, out.data() + done_out * 2, out.size() / 2 - done_out, &made);
      done_out += made;
    }
    benchmark::DoNotOptimize(done_out);
    soxr_delete(soxr);
  }
  state.counters["xRealtime"] = benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_Ours, 44100_48000_standard, 44100, 48000, 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ours, 44100_48000_standard_portable, 44100, 48000, 1, tidemark::dsp::kResampleNoVector)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ours, 44100_48000_best, 44100, 48000, 2, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soxr, 44100_48000_hq, 44100, 48000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ours, 48000_44100_standard, 48000, 44100, 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soxr, 48000_44100_hq, 48000, 44100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ours, 96000_48000_standard, 96000, 48000, 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soxr, 96000_48000_hq, 96000, 48000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
