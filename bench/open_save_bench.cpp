// Opening and saving speed: opening a 1 MiB WAV file against one just under
// 4 GiB (sparse; opening must not depend on the size), 100 cut-and-paste
// operations on the large one, and converting a
// 24-bit stereo WAV file of MINUTES minutes (60 by default) to 16-bit with
// SaveAs, which syncs the file, against sox and ffmpeg each followed by
// "sync FILE". Run as "open_save_bench [FOLDER [MINUTES]]".
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/edit/edit_commands.h"
#include "core/io/pcm_header.h"
#include "core/edit/sound_clip.h"
#include "core/document/sound_document.h"
#include "formats/file_kind_table.h"
#include "formats/open_sound_file.h"
#include "formats/save_document.h"

namespace tidemark {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A WAV file of `frames` frames of `code`: the header, then `fill` bytes of
// noise (the rest of the file is left sparse).
bool MakeWave(const std::string& path, SampleCode code, std::uint32_t frames, std::uint64_t fill) {
  PcmHeaderRequest r;
  r.kind = PcmFileKind::Wave;
  r.code = code;
  r.channels = 2;
  r.rate = 44100;
  r.frames = frames;
  std::vector<std::uint8_t> header(kMaxPcmHeaderBytes);
  std::uint32_t size = 0;
  if (BuildPcmHeader(r, reinterpret_cast<std::byte*>(header.data()), &size) != 0) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(header.data(), 1, size, f) == size;
  std::vector<std::uint8_t> block(1 << 20);
  std::mt19937 random(1);
  for (auto& b : block) b = static_cast<std::uint8_t>(random());
  for (std::uint64_t done = 0; ok && done < fill; done += block.size())
    ok = std::fwrite(block.data(), 1, std::min<std::uint64_t>(block.size(), fill - done), f) > 0;
  if (std::fclose(f) != 0 || !ok) return false;
  const std::uint64_t total = size + std::uint64_t{frames} * 2 * BytesPerSample(code);
  return ::truncate(path.c_str(), static_cast<off_t>(total + (total & 1))) == 0;
}

double OpenSeconds(const std::string& path, int runs) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    SoundDocument* opened = nullptr;
    const auto start = Clock::now();
    if (OpenSoundDocument(path, OpenOptions(), &opened) != 0) return -1;
    const DocumentPtr doc(opened);
    best = std::min(best, Seconds(start));
  }
  return best;
}

// Microseconds per operation of `pairs` cuts of a random stretch, each
// pasted back at another random place, on the document of `path`.
double CutPasteMicroseconds(const std::string& path, int pairs) {
  SoundDocument* opened = nullptr;
  if (OpenSoundDocument(path, OpenOptions(), &opened) != 0) return -1;
  const DocumentPtr doc(opened);
  std::mt19937 random(7);
  double total = 0;
  for (int i = 0; i < pairs; ++i) {
    const std::uint32_t length = 1 + static_cast<std::uint32_t>(random()) % (doc->length / 100);
    const std::uint32_t from = static_cast<std::uint32_t>(random()) % (doc->length - length);
    const auto start = Clock::now();
    if (CutSelection(*doc, from, from + length) != 0) return -1;
    ClipRef clip;
    if (ClipForPaste(&clip) != 0 || !clip) return -1;
    if (Paste(*doc, static_cast<std::uint32_t>(random()) % doc->length, *clip) != 0) return -1;
    total += Seconds(start);
  }
  ClearCurrentClip();
  return total / (2.0 * pairs) * 1e6;
}

double Run(const std::string& command) {
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return Seconds(start);
}

}  // namespace
}  // namespace tidemark

int main(int argc, char** argv) {
  using namespace tidemark;
  InstallFileKinds();
  const std::string dir = argc > 1 ? argv[1] : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
  const double minutes = argc > 2 ? std::atof(argv[2]) : 60.0;

  const std::string small = dir + "/bench_small.wav", large = dir + "/bench_large.wav";
  const std::uint32_t large_frames = (0xFFFFFFFEu - 44) / 4 - 16;
  if (!MakeWave(small, sample_code::kS16, (1 << 20) / 4, 1 << 20) ||
      !MakeWave(large, sample_code::kS16, large_frames, 1 << 20)) {
    std::fprintf(stderr, "cannot write the test files in %s\n", dir.c_str());
    return 1;
  }
  const double t_small = OpenSeconds(small, 20), t_large = OpenSeconds(large, 20);
  std::printf("open 1 MiB WAV: %.1f us; open 4 GiB WAV: %.1f us (ratio %.2f)\n", t_small * 1e6, t_large * 1e6,
              t_large / t_small);
  std::printf("100 cuts and 100 pastes on the 4 GiB document: %.1f us each\n", CutPasteMicroseconds(large, 100));
  ::unlink(small.c_str());
  ::unlink(large.c_str());

  const std::string in = dir + "/bench_in.wav";
  const auto frames = static_cast<std::uint32_t>(minutes * 60 * 44100);
  if (!MakeWave(in, sample_code::kS24, frames, std::uint64_t{frames} * 6)) return 1;
  (void)std::system(("sync " + in).c_str());
  SoundDocument* opened = nullptr;
  if (OpenSoundDocument(in, OpenOptions(), &opened) != 0) return 1;
  DocumentPtr doc(opened);
  const std::string ours = dir + "/bench_ours.wav", sox = dir + "/bench_sox.wav", ff = dir + "/bench_ff.wav";
  const auto start = Clock::now();
  const Error rc = SaveAs(*doc, ours, PcmFileKind::Wave, sample_code::kS16);
  const double t_ours = Seconds(start);
  doc.reset();
  if (rc != 0) {
    std::fprintf(stderr, "SaveAs failed: %u\n", rc.code());
    return 1;
  }
  const double t_sox = Run("sox -V1 -D " + in + " -b 16 " + sox + " && sync " + sox);
  const double t_ff = Run("ffmpeg -nostdin -loglevel error -y -i " + in + " -c:a pcm_s16le " + ff + " && sync " + ff);
  std::printf("%.0f min 24-bit stereo to 16-bit: saveas %.2f s, sox %.2f s (%.2fx), ffmpeg %.2f s (%.2fx)\n",
              minutes, t_ours, t_sox, t_sox / t_ours, t_ff, t_ff / t_ours);
  for (const std::string& p : {in, ours, sox, ff}) ::unlink(p.c_str());
  return 0;
}
