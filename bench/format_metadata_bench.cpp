// Format metadata speed: probing 10,000 small WAV files (headers only), and
// rewriting the markers and an INFO list of a 1 MiB and a 1 GiB WAV file in
// place, whose cost must follow the metadata, not the sound (the 1 GiB file
// is sparse). Run as "format_metadata_bench [FOLDER]".
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/markers/marker.h"
#include "core/io/pcm_header.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/container.h"
#include "formats/file_kind_table.h"
#include "formats/pcm_probe.h"
#include "formats/wav/wav_cues.h"

namespace tidemark {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::uint64_t length) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) return false;
  return length <= bytes.size() || ::truncate(path.c_str(), static_cast<off_t>(length)) == 0;
}

// A 16-bit stereo WAV header for `frames` frames.
std::vector<std::uint8_t> Header(std::uint32_t frames) {
  PcmHeaderRequest r;
  r.kind = PcmFileKind::Wave;
  r.frames = frames;
  std::vector<std::uint8_t> out(kMaxPcmHeaderBytes);
  std::uint32_t bytes = 0;
  if (BuildPcmHeader(r, reinterpret_cast<std::byte*>(out.data()), &bytes) != 0) return {};
  out.resize(bytes);
  return out;
}

MarkerList BenchMarkers(std::uint32_t frames) {
  MarkerList list;
  Marker* last = nullptr;
  for (int i = 0; i < 100; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "marker %d", i);
    Marker* m = NewMarker(name, i % 3 ? "" : "a comment on it", frames / 100 * i);
    list.InsertAfterAdopt(last, m);
    last = m;
  }
  return list;
}

// An INFO list with a name and a software entry, as the tag writer will append it.
std::vector<std::uint8_t> InfoList() {
  std::vector<std::uint8_t> b = {'I', 'N', 'F', 'O'};
  for (const auto& [id, text] : {std::pair<const char*, const char*>{"INAM", "Benchmark take 1"}, {"ISFT", "Tidemark"}}) {
    const std::size_t size = std::strlen(text) + 1;
    const std::size_t at = b.size();
    b.resize(at + 8 + size + (size & 1), 0);
    std::memcpy(&b[at], id, 4);
    StoreLe32(&b[at + 4], static_cast<std::uint32_t>(size));
    std::memcpy(&b[at + 8], text, size - 1);
  }
  return b;
}

// Strip, cue list and INFO list: one metadata update of a saved file.
bool RewriteMetadata(const std::string& path, const MarkerList& markers, const std::vector<std::uint8_t>& info) {
  if (WriteCueList(path, markers) != 0) return false;
  PosixFile file;
  std::uint64_t length = 0;
  if (OpenForMetadataEdit(path, &file, &length) != 0) return false;
  const ChunkToAppend chunk{FourCc("LIST"), info};
  return AppendChunks(file, length, kRiffContainer, std::span<const ChunkToAppend>(&chunk, 1)) == 0 &&
         file.Close() == 0;
}

double BestRewrite(const std::string& path, std::uint32_t frames) {
  const MarkerList markers = BenchMarkers(frames);
  const std::vector<std::uint8_t> info = InfoList();
  double best = 1e300;
  for (int round = 0; round < 20; ++round) {
    const auto start = Clock::now();
    if (!RewriteMetadata(path, markers, info)) return -1;
    best = std::min(best, Seconds(start));
  }
  return best;
}

int Run(const std::string& folder) {
  char pattern[4096];
  std::snprintf(pattern, sizeof pattern, "%s/tidemark_format_bench_XXXXXX", folder.c_str());
  if (!::mkdtemp(pattern)) {
    std::perror(pattern);
    return 1;
  }
  const std::string dir = pattern;

  constexpr int kFiles = 10000;
  const std::vector<std::uint8_t> small = Header(1000);
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) {
    paths.push_back(dir + "/probe" + std::to_string(i) + ".wav");
    if (!WriteFile(paths.back(), small, small.size() + 4000)) {
      std::fprintf(stderr, "cannot write %s\n", paths.back().c_str());
      return 1;
    }
  }
  double best = 1e300;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    for (const std::string& p : paths) {
      SoundFileInfo info;
      if (ProbePcmFile(p, &info) != 0 || info.frames != 1000) {
        std::fprintf(stderr, "probe failed: %s\n", p.c_str());
        return 1;
      }
    }
    best = std::min(best, Seconds(start));
  }
  std::printf("probe: %d files in %.3f s = %.2f us per file\n", kFiles, best, best / kFiles * 1e6);
  for (const std::string& p : paths) ::unlink(p.c_str());

  const std::uint32_t mib_frames = (1u << 20) / 4, gib_frames = (1u << 30) / 4;
  const std::string mib = dir + "/one_mib.wav", gib = dir + "/one_gib.wav";
  if (!WriteFile(mib, Header(mib_frames), 44 + (1u << 20)) || !WriteFile(gib, Header(gib_frames), 44 + (1ull << 30))) {
    std::fprintf(stderr, "cannot write the large files in %s\n", dir.c_str());
    return 1;
  }
  const double t_mib = BestRewrite(mib, mib_frames), t_gib = BestRewrite(gib, gib_frames);
  if (t_mib < 0 || t_gib < 0) {
    std::fprintf(stderr, "metadata rewrite failed\n");
    return 1;
  }
  std::printf("metadata rewrite (strip, 100 cue points with labels, INFO list): 1 MiB %.1f us, 1 GiB %.1f us, "
              "ratio %.2f\n", t_mib * 1e6, t_gib * 1e6, t_gib / t_mib);
  ::unlink(mib.c_str());
  ::unlink(gib.c_str());
  ::rmdir(dir.c_str());
  return t_gib / t_mib < 2 ? 0 : 2;
}

}  // namespace
}  // namespace tidemark

int main(int argc, char** argv) {
  tidemark::InstallFileKinds();
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = argc > 1 ? argv[1] : (tmp && *tmp ? tmp : "/tmp");
  return tidemark::Run(folder);
}
