// What a pass through a cached file source leaves in the system cache: the
// pages of a working file it owns are given back behind the pass; those of
// a file it does not own stay.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment.h"
#include "core/sources/file_source.h"
#include "core/sources/sound_source.h"
#include "core/sources/source_list.h"
#include "platform/error_numbers.h"
#include "tests/core/source_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

constexpr std::size_t kFileBytes = 24u << 20;
constexpr std::uint32_t kFrames = kFileBytes / 4;  // 16-bit stereo

// Writes the file and leaves none of its pages in the system cache.
void WriteCold(const std::string& path) {
  testing::WriteWholeFile(path, testing::RandomBytes(kFileBytes, 3));
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fdatasync(fd), 0);
  ASSERT_EQ(posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
  close(fd);
}

// Pages of the file's first `bytes` that are in the system cache.
std::size_t ResidentPages(const std::string& path, std::size_t bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ~std::size_t{0};
  void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return ~std::size_t{0};
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> in_core((bytes + page - 1) / page);
  std::size_t resident = ~std::size_t{0};
  if (mincore(map, bytes, in_core.data()) == 0) {
    resident = 0;
    for (const unsigned char c : in_core) resident += c & 1;
  }
  munmap(map, bytes);
  return resident;
}

// Reads the whole file through a cached source opened with `flags`, in
// order, as a save does.
void ReadPass(const std::string& path, std::uint32_t flags) {
  SourceRef source;
  ASSERT_EQ(OpenFileSource(path, 0, 44100, sample_code::kS16, 2, kFrames, flags, nullptr, &source), err::kOk);
  ASSERT_EQ(source->kind(), SourceKind::FileCached);
  std::vector<std::int16_t> block(2 * 65536);
  for (std::uint32_t done = 0; done < kFrames; done += 65536)
    ASSERT_EQ(source->Read(done, 65536, block.data(), sample_code::kS16), err::kOk);
}

TEST(FileSourcePages, AnOwnedWorkingFileGivesBackWhatAPassRead) {
  const std::string dir = testing::MakeTempDir("pages");
  struct statfs fs {};
  ASSERT_EQ(statfs(dir.c_str(), &fs), 0);
  if (fs.f_type == 0x01021994) GTEST_SKIP() << "tmpfs keeps every page: nothing can be given back";
  // Not named ".tmp", so the owning source leaves the file behind for the check.
  const std::string owned = dir + "/owned.dat", other = dir + "/other.wav";
  WriteCold(owned);
  WriteCold(other);
  ReadPass(other, 0);
  ReadPass(owned, kSourceOwnsFile);
  constexpr std::size_t kChecked = 16u << 20;  // well behind the end of the pass
  const std::size_t pages = kChecked / static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  EXPECT_GT(ResidentPages(other, kChecked), pages / 2);
  EXPECT_EQ(ResidentPages(owned, kChecked), 0u);
}

}  // namespace
}  // namespace tidemark
