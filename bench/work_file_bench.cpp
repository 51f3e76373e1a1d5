// Working-file throughput against the plain system calls, both sides cold.
//
//   work_file_bench [MiB] [folder] [repetitions]
//
// Writes MiB (default 256; 1024 is the full run) of 16-bit stereo through
// WorkFileWriter and, beside it in the same folder (default: the current
// one), the same bytes with plain write(2) calls of 8 MiB ending in
// fdatasync. Then reads both back as 32-bit float: through a cached file
// source, and with a plain read(2) loop plus the conversion alone. Every read
// pass starts with the file's pages dropped (posix_fadvise DONTNEED; see
// DropPages for the virtual-disk cache). Prints
// the rates and the ratios (goal: at most 1.25) of the best of each side
// over the repetitions (default 3).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/core_options.h"
#include "core/sources/file_source.h"
#include "core/samples/sample_convert.h"
#include "core/document/segment.h"
#include "core/sources/source_list.h"
#include "core/io/work_file_writer.h"
#include "platform/error_numbers.h"
#include "platform/page_buffer.h"

namespace {

using namespace tidemark;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 8u << 20;          // write and plain read size
constexpr std::uint32_t kReadFrames = 1u << 16;   // frames per source read (512 KiB of float)

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Leaves `path` out of the page cache, in the same state for either side.
// A virtual disk keeps a cache of its own that the guest cannot drop, and a
// file written just before it is read back comes from there several times
// faster than one written earlier; so each file is first read once, untimed,
// and then its pages are dropped.
bool DropPages(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  static std::vector<char> scratch(kChunk);
  while (read(fd, scratch.data(), scratch.size()) > 0) {
  }
  const bool ok = fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
  close(fd);
  return ok;
}

int Fail(const char* what, Error rc) {
  std::fprintf(stderr, "work_file_bench: %s failed (%u)\n", what, rc.code());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const std::string folder = argc > 2 ? argv[2] : ".";
  const int reps = argc > 3 ? std::atoi(argv[3]) : 3;
  if (mib == 0 || mib > 3072 || reps < 1) {
    std::fprintf(stderr, "usage: work_file_bench [MiB, 1..3072] [folder] [repetitions]\n");
    return 2;
  }
  const std::uint64_t bytes = mib << 20;
  const auto frames = static_cast<std::uint32_t>(bytes / 4);
  MutableCoreOptions().host_work_folder = folder;

  PageBuffer pattern, input, output;
  if (pattern.Allocate(kChunk) || input.Allocate(kChunk) || output.Allocate(kChunk * 2))
    return Fail("allocation", err::kOutOfMemory);
  std::mt19937 rng(1);
  for (std::size_t i = 0; i < kChunk; ++i) pattern.data()[i] = static_cast<std::byte>(rng());

  double writer_s = 1e30, plain_write_s = 1e30, source_s = 1e30, plain_read_s = 1e30;
  bool all_cached = true;
  const std::string plain = folder + "/work_file_bench.plain";
  for (int rep = 0; rep < reps; ++rep) {
    // Writing through the working-file writer; its files are synced as
    // well, so both sides end with the data on disk.
    SegmentList segments;
    auto t = Clock::now();
    WorkFileWriter writer;
    if (const Error rc = writer.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, frames))
      return Fail("Begin", rc);
    for (std::uint64_t done = 0; done < bytes; done += kChunk)
      if (const Error rc = writer.Write(pattern.data(), std::min<std::uint64_t>(kChunk, bytes - done)))
        return Fail("Write", rc);
    if (const Error rc = writer.Finish(&segments)) return Fail("Finish", rc);
    std::vector<std::string> work_files;
    for (const Segment* s = segments.first(); s; s = s->next) {
      work_files.push_back(FilePath(s->source.get()));
      const int fd = open(work_files.back().c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || fdatasync(fd) != 0) return Fail("syncing the working file", err::kOk);
      close(fd);
    }
    writer_s = std::min(writer_s, Seconds(t));

    t = Clock::now();
    const int out = open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return Fail("creating the plain file", err::kOk);
    for (std::uint64_t done = 0; done < bytes; done += kChunk) {
      const std::size_t n = std::min<std::uint64_t>(kChunk, bytes - done);
      if (write(out, pattern.data(), n) != static_cast<ssize_t>(n)) return Fail("plain write", err::kOk);
    }
    if (fdatasync(out) != 0 || close(out) != 0) return Fail("plain fdatasync", err::kOk);
    plain_write_s = std::min(plain_write_s, Seconds(t));

    // Reading back as float through the cached sources.
    for (const std::string& f : work_files) DropPages(f);
    t = Clock::now();
    for (const Segment* s = segments.first(); s; s = s->next) {
      all_cached = all_cached && s->source->kind() == SourceKind::FileCached;
      for (std::uint32_t first = 0; first < s->length; first += kReadFrames) {
        const std::uint32_t n = std::min(kReadFrames, s->length - first);
        if (const Error rc = s->source->Read(first, n, output.data(), sample_code::kFloat))
          return Fail("source Read", rc);
      }
    }
    source_s = std::min(source_s, Seconds(t));

    DropPages(plain);
    t = Clock::now();
    const int in = open(plain.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail("opening the plain file", err::kOk);
    for (ssize_t n; (n = read(in, input.data(), kChunk)) > 0;)
      Convert(input.data(), output.data(), static_cast<std::size_t>(n) / 2, sample_code::kS16, sample_code::kFloat);
    close(in);
    plain_read_s = std::min(plain_read_s, Seconds(t));

    segments.Clear();  // the working files go with their sources
    unlink(plain.c_str());
  }

  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("%llu MiB of 16-bit stereo in %s, best of %d%s\n", static_cast<unsigned long long>(mib), folder.c_str(), reps,
              all_cached ? "" : " (sources read directly, not cached)");
  std::printf("write  WorkFileWriter %8.1f MB/s   plain write(2) %8.1f MB/s   ratio %.3f\n", mb / writer_s,
              mb / plain_write_s, writer_s / plain_write_s);
  std::printf("read   cached source  %8.1f MB/s   read(2)+Convert %7.1f MB/s   ratio %.3f\n", mb / source_s,
              mb / plain_read_s, source_s / plain_read_s);
  return 0;
}
