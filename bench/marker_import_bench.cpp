// Label-file import speed: a file of random bytes (100 MB by default)
// imported into a document, and a file of 100,000 good label lines read and
// merged. Run as "marker_import_bench [MB] [FOLDER]".
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/markers/marker_list.h"
#include "core/markers/marker_text.h"
#include "core/document/sound_document.h"

namespace tidemark {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

bool WriteJunk(const std::string& path, int megabytes) {
  std::ofstream out(path, std::ios::binary);
  std::mt19937_64 rng(1);
  std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
  for (int i = 0; i < megabytes; ++i) {
    for (auto& w : block) w = rng();
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
  }
  return out.good();
}

bool WriteLabels(const std::string& path, int count) {
  std::ofstream out(path, std::ios::binary);
  std::mt19937 rng(2);
  for (int i = 0; i < count; ++i) {
    const unsigned ms = static_cast<std::uint32_t>(rng()) % (3600 * 1000);
    char line[96];
    std::snprintf(line, sizeof line, "%02u:%02u.%03u\t\"marker %d\" \"comment\"\r\n", ms / 60000, ms / 1000 % 60,
                  ms % 1000, i);
    out << line;
  }
  return out.good();
}

int Run(int megabytes, const std::string& folder) {
  char pattern[4096];
  std::snprintf(pattern, sizeof pattern, "%s/tidemark_marker_bench_XXXXXX", folder.c_str());
  if (!::mkdtemp(pattern)) {
    std::perror(pattern);
    return 1;
  }
  const std::string dir = pattern, junk = dir + "/junk.bin", labels = dir + "/labels.txt";
  if (!WriteJunk(junk, megabytes) || !WriteLabels(labels, 100000)) {
    std::fprintf(stderr, "cannot write the input files in %s\n", dir.c_str());
    return 1;
  }

  DocumentDescription description;
  description.format.rate = 48000;
  description.format.channels = 2;
  description.length = 3600u * 48000u;
  SoundDocument* created = nullptr;
  if (CreateDocument(std::nullopt, SegmentList(), std::move(description), &created) != 0) return 1;
  DocumentPtr doc(created);

  double best = 1e300;
  for (int round = 0; round < 3; ++round) {
    doc->markers.Clear();
    const auto start = Clock::now();
    if (const Error rc = ImportMarkerText(*doc, junk)) {
      std::fprintf(stderr, "import failed: %u\n", rc.code());
      return 1;
    }
    best = std::min(best, Seconds(start));
  }
  std::printf("junk import: %d MiB in %.3f s = %.0f MiB/s (%zu markers found)\n", megabytes, best,
              megabytes / best, doc->markers.size());

  best = 1e300;
  std::size_t merged_count = 0;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    MarkerList list;
    if (ReadMarkerTextFile(labels, doc->rate, &list) != 0) return 1;
    list = MergeSorted(std::move(list), doc->length);
    best = std::min(best, Seconds(start));
    merged_count = list.size();
  }
  std::printf("100,000 label lines read and merged: %.3f s (%zu markers)\n", best, merged_count);

  doc.reset();
  ::unlink(junk.c_str());
  ::unlink(labels.c_str());
  ::rmdir(dir.c_str());
  return 0;
}

}  // namespace
}  // namespace tidemark

int main(int argc, char** argv) {
  const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = argc > 2 ? argv[2] : (tmp && *tmp ? tmp : "/tmp");
  return tidemark::Run(megabytes, folder);
}
