// Segment-list edits on a three-hour stereo document over sparse working
// files: each iteration pastes a copy of a random stretch over another random
// stretch and then applies the returned inverse, so the segment count stays
// where it started (100, 1,000 or 10,000): 5,000 iterations make 10,000
// edits. No edit reads a sample.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "core/document/internal/segment_edit.h"
#include "core/document/sound_document.h"
#include "core/sources/sound_source.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrames = 3u * 3600u * kRate;  // three hours

// A sparse file of `frames` 16-bit stereo frames and a source over it.
SourceRef SparseSource(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || ::ftruncate(fd, off_t{kFrames} * 4) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
  ::close(fd);
  SourceRef source;
  if (OpenFileSource(path, 0, kRate, sample_code::kS16, 2, kFrames, 0, nullptr, &source) != 0) std::exit(1);
  return source;
}

std::string BenchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tidemark_edit_bench_XXXXXX";
  if (!::mkdtemp(dir.data())) std::exit(1);
  return dir;
}

void BM_EditAndUndo(benchmark::State& state) {
  const auto segments = static_cast<std::uint32_t>(state.range(0));
  const std::string dir = BenchFolder();
  SourceRef a = SparseSource(dir + "/a.raw"), b = SparseSource(dir + "/b.raw");
  ::unlink((dir + "/a.raw").c_str());
  ::unlink((dir + "/b.raw").c_str());
  ::rmdir(dir.c_str());

  // Alternating sources, so no two neighbours merge.
  SegmentList list;
  const std::uint32_t piece = kFrames / segments;
  for (std::uint32_t i = 0; i < segments; ++i) {
    auto s = std::make_unique<Segment>();
    s->source = i % 2 ? b : a;
    s->position = i * piece;
    s->length = piece;
    s->source_offset = i * piece;
    list.PushBack(std::move(s));
  }
  DocumentDescription d;
  d.format.rate = kRate;
  d.length = piece * segments;
  SoundDocument* created = nullptr;
  if (CreateDocument(std::nullopt, std::move(list), std::move(d), &created) != 0) {
    state.SkipWithError("CreateDocument failed");
    return;
  }
  const DocumentPtr doc(created);

  std::mt19937 rng(7);
  const std::uint32_t L = doc->length;
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    EditRequest r;
    r.start = static_cast<std::uint32_t>(rng()) % (L - kRate * 60);
    r.old_length = static_cast<std::uint32_t>(rng()) % (kRate * 30);
    const std::uint32_t from = static_cast<std::uint32_t>(rng()) % (L - kRate * 60);
    r.new_length = static_cast<std::uint32_t>(rng()) % (kRate * 30);
    if (CopyRange(doc->segments, from, r.new_length, &r.segments) != 0 || ReplaceRange(*doc, r) != 0 ||
        ReplaceRange(*doc, r) != 0) {
      state.SkipWithError("edit failed");
      break;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  state.counters["segments"] = static_cast<double>(doc->segments.size());
  // An edit is one ReplaceRange; each iteration makes two and one CopyRange.
  state.counters["edits"] = static_cast<double>(state.iterations()) * 2;
  state.counters["total_ms"] = seconds * 1e3;
  state.counters["us_per_edit"] = seconds * 1e6 / (static_cast<double>(state.iterations()) * 2);
}
BENCHMARK(BM_EditAndUndo)->Arg(100)->Arg(1000)->Arg(10000)->Iterations(5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tidemark
