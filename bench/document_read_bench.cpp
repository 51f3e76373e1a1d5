// Cursor reading of a document as 32-bit float, from a cached file source
// over a 64 MiB working file of 16-bit stereo (in the system's page cache
// after the first pass): (a) one untouched segment, (b) 1,000 segments with
// gain blocks (gain and offset on both channels, the costliest form)
// covering the same frames. Rates count the float bytes delivered.
// BM_GainToPlainRatio alternates whole passes of both lists, so that both
// see the same machine state, and reports (b) / (a) as "ratio" (goal: at
// least 0.8).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/document/segment_cursor.h"
#include "core/sources/sound_source.h"

namespace tidemark {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kFrames = 16u << 20;      // 64 MiB of 16-bit stereo
constexpr std::uint32_t kReadFrames = 1u << 16;   // frames per cursor read: 512 KiB of float
constexpr std::uint32_t kGainSegments = 1000;
constexpr double kFloatBytes = double{kFrames} * 2 * sizeof(float);

struct Document {
  SourceRef source;
  SegmentList plain, gained;
  std::vector<float> buffer;
};

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

// A working file of a quiet two-tone signal with a little noise, written
// with plain writes; the file is unlinked once the source holds it open.
SourceRef MakeSource() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tidemark_read_bench_XXXXXX";
  if (!::mkdtemp(dir.data())) Fail("mkdtemp");
  const std::string path = dir + "/wav0001.tmp";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail(path.c_str());
  std::vector<std::int16_t> chunk(2 * 65536);
  std::uint32_t noise = 1;
  for (std::uint32_t done = 0; done < kFrames; done += 65536) {
    for (std::uint32_t i = 0; i < 65536; ++i) {
      noise = noise * 1664525u + 1013904223u;
      const double t = static_cast<double>(done + i) / 44100.0;
      chunk[2 * i] = static_cast<std::int16_t>(9000.0 * std::sin(6.283185307179586 * 440.0 * t) + (noise >> 28));
      chunk[2 * i + 1] = static_cast<std::int16_t>(7000.0 * std::sin(6.283185307179586 * 660.0 * t) - (noise >> 27));
    }
    const auto bytes = static_cast<ssize_t>(chunk.size() * sizeof(std::int16_t));
    if (::write(fd, chunk.data(), static_cast<std::size_t>(bytes)) != bytes) Fail("write");
  }
  ::close(fd);
  SourceRef source;
  if (OpenFileSource(path, 0, 44100, sample_code::kS16, 2, kFrames, 0, nullptr, &source) != 0) Fail("source");
  ::unlink(path.c_str());
  ::rmdir(dir.c_str());
  return source;
}

std::unique_ptr<Segment> NewSegment(const SourceRef& source, std::uint32_t position, std::uint32_t length) {
  auto s = std::make_unique<Segment>();
  s->source = source;
  s->position = position;
  s->length = length;
  s->source_offset = position;
  return s;
}

Document MakeDocument() {
  Document d;
  d.source = MakeSource();
  d.plain.PushBack(NewSegment(d.source, 0, kFrames));
  const std::uint32_t piece = kFrames / kGainSegments;
  for (std::uint32_t i = 0; i < kGainSegments; ++i) {
    const std::uint32_t length = i + 1 < kGainSegments ? piece : kFrames - i * piece;
    auto s = NewSegment(d.source, i * piece, length);
    s->gain = std::make_unique<SegmentGain>(
        SegmentGain{0.5f + 0.05f * static_cast<float>(i % 7), 0.001f, 0.8f, -0.002f});
    d.gained.PushBack(std::move(s));
  }
  d.buffer.resize(std::size_t{kReadFrames} * 2);
  return d;
}

Document& Shared() {
  static Document doc = MakeDocument();
  return doc;
}

// Reads the whole list once; false on a read error.
bool ReadAll(const SegmentList& list, std::vector<float>& buffer) {
  SegmentCursor cursor(list, 2, kFrames);
  for (std::uint32_t at = 0; at < kFrames; at += kReadFrames)
    if (cursor.Read(std::min(kReadFrames, kFrames - at), buffer.data(), sample_code::kFloat) != 0) return false;
  benchmark::DoNotOptimize(buffer.data());
  benchmark::ClobberMemory();
  return true;
}

void Run(benchmark::State& state, bool gained) {
  Document& d = Shared();
  const SegmentList& list = gained ? d.gained : d.plain;
  if (!ReadAll(list, d.buffer)) return state.SkipWithError("read failed");  // warms the page cache
  for (auto _ : state)
    if (!ReadAll(list, d.buffer)) return state.SkipWithError("read failed");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFloatBytes));
  state.SetLabel(d.source->kind() == SourceKind::FileCached ? "cached source" : "direct source");
}

void BM_ReadOneSegment(benchmark::State& state) { Run(state, false); }
void BM_ReadGainSegments(benchmark::State& state) { Run(state, true); }

void BM_GainToPlainRatio(benchmark::State& state) {
  Document& d = Shared();
  if (!ReadAll(d.plain, d.buffer) || !ReadAll(d.gained, d.buffer)) return state.SkipWithError("read failed");
  double plain_s = 0, gained_s = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!ReadAll(d.plain, d.buffer)) return state.SkipWithError("read failed");
    const auto t1 = Clock::now();
    if (!ReadAll(d.gained, d.buffer)) return state.SkipWithError("read failed");
    plain_s += std::chrono::duration<double>(t1 - t0).count();
    gained_s += std::chrono::duration<double>(Clock::now() - t1).count();
  }
  const double n = static_cast<double>(state.iterations());
  const double plain_mbps = kFloatBytes * n / plain_s / 1e6, gained_mbps = kFloatBytes * n / gained_s / 1e6;
  state.counters["plain_MBps"] = plain_mbps;
  state.counters["gain_MBps"] = gained_mbps;
  state.counters["ratio"] = gained_mbps / plain_mbps;
}

BENCHMARK(BM_ReadOneSegment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadGainSegments)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GainToPlainRatio)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace tidemark
