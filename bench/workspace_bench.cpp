// The workspace file: writing and reading 10 documents of 1,000 undo steps
// each, and the autosave's cost per edit for one document with 1,000 (and
// 4,000) steps beside a bare write + fsync + rename of the same bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/core_options.h"
#include "core/edit/edit_commands.h"
#include "core/io/work_folder.h"
#include "core/undo/marker_commands.h"
#include "core/workspace/workspace_file.h"

namespace tidemark {
namespace {

struct Fixture {
  std::string folder;
  SourceRef source;
  std::vector<DocumentPtr> docs;

  Fixture() {
    char base[] = "/tmp/workspace_bench.XXXXXX";
    if (!::mkdtemp(base)) std::abort();
    MutableCoreOptions().host_work_folder = base;
    if (EnsureWorkFolder(&folder)) std::abort();
    const std::string path = std::string(base) + "/source.raw";
    std::vector<std::int16_t> samples(2 * 441000);
    std::mt19937 rng(1);
    for (auto& s : samples) s = static_cast<std::int16_t>(rng());
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(samples.data(), 2, samples.size(), f);
    std::fclose(f);
    if (OpenFileSource(path, 0, 44100, sample_code::kS16, 2, 441000, 0, nullptr, &source)) std::abort();
  }

  // A document over the source with `steps` undo steps: gains and markers.
  SoundDocument* Document(int steps, std::uint32_t seed) {
    SegmentList list;
    auto s = std::make_unique<Segment>();
    s->source = source;
    s->length = 441000;
    list.PushBack(std::move(s));
    DocumentDescription d;
    d.format.rate = 44100;
    d.format.channels = 2;
    d.length = 441000;
    SoundDocument* doc = nullptr;
    if (CreateDocument(std::nullopt, std::move(list), std::move(d), &doc)) std::abort();
    std::mt19937 rng(seed);
    for (int i = 0; i < steps; ++i) {
      const std::uint32_t at = static_cast<std::uint32_t>(rng() % 440000);
      if (i % 4 == 3) {
        MarkerList m;
        m.PushFrontAdopt(NewMarker("m", "", at));
        if (AddMarkers(*doc, std::move(m))) std::abort();
      } else if (ApplyGain(*doc, at, 100, {0.9f, 0.9f}, "Gain")) {
        std::abort();
      }
    }
    return doc;
  }

  std::vector<SoundDocument*> Raw() const {
    std::vector<SoundDocument*> raw;
    for (const DocumentPtr& d : docs) raw.push_back(d.get());
    return raw;
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void BM_WriteTenDocuments(benchmark::State& state) {
  Fixture& f = Shared();
  f.docs.clear();
  for (int k = 0; k < 10; ++k) f.docs.emplace_back(f.Document(1000, 10u + static_cast<std::uint32_t>(k)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    WorkspaceImage image;
    if (BuildWorkspace(f.Raw(), nullptr, f.folder, &image) || CommitWorkspaceFile(f.folder, image.bytes))
      state.SkipWithError("write failed");
    bytes = image.bytes.size();
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteTenDocuments)->Unit(benchmark::kMillisecond);

void BM_ReadTenDocuments(benchmark::State& state) {
  Fixture& f = Shared();
  f.docs.clear();
  for (int k = 0; k < 10; ++k) f.docs.emplace_back(f.Document(1000, 10u + static_cast<std::uint32_t>(k)));
  WorkspaceImage image;
  if (BuildWorkspace(f.Raw(), nullptr, f.folder, &image) || CommitWorkspaceFile(f.folder, image.bytes)) std::abort();
  f.docs.clear();
  for (auto _ : state) {
    RestoredWorkspace restored;
    if (ReadWorkspace(f.folder, &restored) || restored.documents.size() != 10) state.SkipWithError("read failed");
    state.PauseTiming();
    restored.documents.clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadTenDocuments)->Unit(benchmark::kMillisecond);

// One edit and the autosave that follows it.
void BM_AutosavePerEdit(benchmark::State& state) {
  Fixture& f = Shared();
  f.docs.clear();
  f.docs.emplace_back(f.Document(static_cast<int>(state.range(0)), 3));
  WorkspaceKeeper keeper(f.folder);
  std::mt19937 rng(4);
  for (auto _ : state) {
    if (ApplyGain(*f.docs[0], static_cast<std::uint32_t>(rng() % 440000), 100, {0.9f, 0.9f}, "Gain")) std::abort();
    if (keeper.Save(f.Raw(), nullptr, false, nullptr)) state.SkipWithError("save failed");
  }
  WorkspaceImage image;
  (void)BuildWorkspace(f.Raw(), nullptr, f.folder, &image);
  state.counters["file_bytes"] = static_cast<double>(image.bytes.size());
}
BENCHMARK(BM_AutosavePerEdit)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

// The floor: the same number of bytes written, fsynced and renamed.
void BM_BareWriteFsyncRename(benchmark::State& state) {
  Fixture& f = Shared();
  f.docs.clear();
  f.docs.emplace_back(f.Document(static_cast<int>(state.range(0)), 3));
  WorkspaceImage image;
  if (BuildWorkspace(f.Raw(), nullptr, f.folder, &image)) std::abort();
  const std::string tmp = f.folder + "/bare.tmp", target = f.folder + "/bare";
  for (auto _ : state) {
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, image.bytes.data(), image.bytes.size()) != static_cast<ssize_t>(image.bytes.size()) ||
        ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), target.c_str()) != 0)
      state.SkipWithError("bare write failed");
  }
  state.counters["file_bytes"] = static_cast<double>(image.bytes.size());
}
BENCHMARK(BM_BareWriteFsyncRename)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tidemark

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The documents go before their folder.
  tidemark::Fixture& f = tidemark::Shared();
  f.docs.clear();
  f.source.reset();
  std::error_code ec;
  std::filesystem::remove_all(tidemark::GetCoreOptions().host_work_folder, ec);
  return 0;
}
