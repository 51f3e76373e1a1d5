#include "core/io/buffered_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/samples/sample_convert.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/io/fake_memory.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

namespace bo = buffered_open;
using testing::FileExists;
using testing::RandomText;
using testing::ReadFileText;
using testing::WriteFileText;

std::uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : ~0ull;
}

// A second descriptor on the open, already unlinked file whose name was `path`.
int ReopenDeleted(const std::string& path) {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int result = -1;
  while (dirent* e = readdir(dir)) {
    const std::string link = std::string("/proc/self/fd/") + e->d_name;
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    if (std::string(target, static_cast<std::size_t>(n)) == path + " (deleted)") {
      result = open(link.c_str(), O_RDONLY | O_CLOEXEC);
      break;
    }
  }
  closedir(dir);
  return result;
}

using testing::FakeMemoryScope;

// A private folder and a file name in it for each test.
class BufferedFileTest : public ::testing::Test {
 protected:
  std::string dir_ = testing::MakeTempDir("buffered");
  std::string path_ = dir_ + "/f";
};

TEST_F(BufferedFileTest, CacheCapacityFromMemoryAndFlags) {
  constexpr std::uint64_t MiB = 1 << 20;
  for (const auto& [flags, memory, capacity] : {std::tuple{bo::kWorkFile, 256 * MiB, 0x200000u},
                                                {bo::kWorkFile, 256 * MiB + 1, 0x200000u},
                                                {bo::kWorkFile, 512 * MiB - 1, 0x200000u},
                                                {bo::kWorkFile, 512 * MiB, 0x400000u},
                                                {bo::kWorkFile, 1024 * MiB - 1, 0x400000u},
                                                {bo::kWorkFile, 1024 * MiB, 0x800000u},
                                                {bo::kRecorderFile, 64 * 1024 * MiB, 0x40000u},
                                                {bo::kRead, 64 * 1024 * MiB, 0x40000u},
                                                {bo::kReadAheadReader, 64 * 1024 * MiB, 0x40000u}})
    EXPECT_EQ(BufferedFileCacheCapacity(flags, memory), capacity) << flags << " " << memory;

  const FakeMemoryScope memory(600 * MiB);
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kEffectOutput | bo::kWorkFile), err::kOk);
  EXPECT_EQ(f.cache_capacity(), 0x400000u);
  EXPECT_EQ(f.read_granularity(), std::max(f.sector_size(), 65536u));
  EXPECT_FALSE(f.read_ahead());
  ASSERT_EQ(f.Open(path_, bo::kEffectOutputFile), err::kOk);
  EXPECT_EQ(f.cache_capacity(), 0x40000u);
  EXPECT_EQ(f.Close(), err::kOk);
}

TEST_F(BufferedFileTest, ExactSizesAfterClose) {
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kWorkFile), err::kOk);
  ASSERT_EQ(f.Write("x", 1), err::kOk);
  ASSERT_EQ(f.Flush(), err::kOk);
  EXPECT_EQ(FileSize(path_), f.sector_size());  // a whole sector went to disk
  std::int64_t final_size = -1;
  ASSERT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(final_size, 1);
  EXPECT_EQ(ReadFileText(path_), "x");

  // Delete on close: no name from the start, and the same descriptor cuts it.
  const std::string doomed = dir_ + "/doomed";
  ASSERT_EQ(f.Open(doomed, bo::kWorkFile | bo::kRead | bo::kDeleteOnClose), err::kOk);
  EXPECT_FALSE(FileExists(doomed));
  ASSERT_EQ(f.Write("y", 1), err::kOk);
  const int spy = ReopenDeleted(doomed);
  ASSERT_GE(spy, 0);
  ASSERT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(final_size, 1);
  struct stat st {};
  ASSERT_EQ(fstat(spy, &st), 0);
  EXPECT_EQ(st.st_size, 1);
  close(spy);

  // After ShrinkCache, with data on both sides of it.
  const FakeMemoryScope memory(std::uint64_t{4} << 30);
  const std::string big = dir_ + "/big";
  const std::string data = RandomText(3 * 0x100000 + 12345, 1);
  ASSERT_EQ(f.Open(big, bo::kWorkFile | bo::kRead), err::kOk);
  ASSERT_EQ(f.cache_capacity(), 0x800000u);
  ASSERT_EQ(f.Write(data.data(), 0x180001), err::kOk);
  ASSERT_EQ(f.ShrinkCache(), err::kOk);
  EXPECT_EQ(f.cache_capacity(), std::max(0x40000u, f.sector_size()));
  EXPECT_FALSE(f.dirty());
  ASSERT_EQ(f.Write(data.data() + 0x180001, data.size() - 0x180001), err::kOk);
  // The kept window still reads.
  ASSERT_EQ(f.Seek(0x180000 - 10, 0), 0x180000 - 10);
  char back[20];
  ASSERT_EQ(f.Read(back, sizeof back), err::kOk);
  EXPECT_EQ(std::string(back, sizeof back), data.substr(0x180000 - 10, sizeof back));
  ASSERT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(final_size, static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(ReadFileText(big), data);

  // An empty new file stays empty; a logical end lengthens the file.
  ASSERT_EQ(f.Open(dir_ + "/empty", bo::kWorkFile), err::kOk);
  ASSERT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(FileSize(dir_ + "/empty"), 0u);
  ASSERT_EQ(f.Open(dir_ + "/ends", bo::kWorkFile), err::kOk);
  ASSERT_EQ(f.Write("abc", 3), err::kOk);
  ASSERT_EQ(f.SetLogicalEnd(10), err::kOk);
  EXPECT_EQ(f.SetLogicalEnd(-1), err::kSeekFailed);
  ASSERT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(ReadFileText(dir_ + "/ends"), std::string("abc\0\0\0\0\0\0\0", 10));
}

TEST_F(BufferedFileTest, ReadToTheEndAndOnePast) {
  const std::string data = RandomText(200000, 2);
  WriteFileText(path_, data);
  for (const std::uint32_t flags : {bo::kRead, bo::kReadAheadReader, bo::kRead | bo::kWrite}) {
    BufferedFile f;
    ASSERT_EQ(f.Open(path_, flags), err::kOk);
    EXPECT_EQ(f.read_ahead(), flags == bo::kReadAheadReader);
    std::string got(data.size(), '\0');
    ASSERT_EQ(f.Read(got.data(), got.size()), err::kOk);
    EXPECT_EQ(got, data);
    char c = 0;
    EXPECT_EQ(f.Read(&c, 1), err::kReadFailed);
    EXPECT_EQ(f.position(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(f.Read(&c, 0), err::kOk);
    ASSERT_EQ(f.Seek(-1, 2), static_cast<std::int64_t>(data.size()) - 1);
    EXPECT_EQ(f.Read(&c, 2), err::kReadFailed);
    EXPECT_EQ(f.position(), static_cast<std::int64_t>(data.size()) - 1);
    ASSERT_EQ(f.Read(&c, 1), err::kOk);
    EXPECT_EQ(c, data.back());
    // Seek origins and limits.
    EXPECT_EQ(f.Seek(10, 0), 10);
    EXPECT_EQ(f.Seek(-4, 1), 6);
    EXPECT_EQ(f.Seek(-7, 1), -1);
    EXPECT_EQ(f.position(), 6);
    EXPECT_EQ(f.Seek(5, 2), static_cast<std::int64_t>(data.size()) + 5);
    EXPECT_EQ(f.Read(&c, 1), err::kReadFailed);
    EXPECT_EQ(f.Seek(0, 3), -1);
    if (!(flags & bo::kWrite)) {
      EXPECT_EQ(f.Write("x", 1), err::kCannotOpen);
    }
    EXPECT_EQ(f.Close(), err::kOk);
  }
  BufferedFile w;
  ASSERT_EQ(w.Open(path_, bo::kWrite), err::kOk);
  char c;
  EXPECT_EQ(w.Read(&c, 1), err::kCannotOpen);
  std::uint32_t header = 0;
  EXPECT_EQ(w.Close(), err::kOk);
  BufferedFile r;
  ASSERT_EQ(r.Open(path_, bo::kRead), err::kOk);
  EXPECT_EQ(r.WriteHeader(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 1, &header), err::kCannotOpen);
  EXPECT_EQ(r.Truncate(), err::kCannotOpen);
  EXPECT_EQ(ReadFileText(path_), data);
}

// Random Write, Seek, Read, Flush and ShrinkCache against a byte array:
// partial sectors merged with the file, holes behind the end read as zeros.
TEST_F(BufferedFileTest, MatchesAByteArrayModel) {
  const FakeMemoryScope memory(std::uint64_t{300} << 20);  // 2 MiB write cache
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const std::string path = dir_ + "/m" + std::to_string(seed);
    std::string model = seed % 2 ? RandomText(rng() % 300000, seed) : std::string();
    if (!model.empty()) WriteFileText(path, model);
    const std::uint32_t flags = bo::kRead | bo::kWorkFile | (seed % 3 == 0 ? bo::kSmallCache : 0u);
    BufferedFile f;
    ASSERT_EQ(f.Open(path, flags), err::kOk);
    std::int64_t pos = 0;
    for (int step = 0; step < 400; ++step) {
      const unsigned op = static_cast<std::uint32_t>(rng()) % 10;
      const std::size_t len = rng() % 4 == 0 ? rng() % 600000 : rng() % 5000;
      if (op < 4) {
        const std::string data = RandomText(len, static_cast<std::uint32_t>(rng()));
        ASSERT_EQ(f.Write(data.data(), data.size()), err::kOk);
        if (model.size() < pos + len) model.resize(pos + len, '\0');
        model.replace(static_cast<std::size_t>(pos), len, data);
        pos += static_cast<std::int64_t>(len);
      } else if (op < 7) {
        std::string got(len, '\0');
        const Error rc = f.Read(got.data(), len);
        if (pos + static_cast<std::int64_t>(len) <= static_cast<std::int64_t>(model.size())) {
          ASSERT_EQ(rc, err::kOk) << step;
          ASSERT_EQ(got, model.substr(static_cast<std::size_t>(pos), len)) << step;
          pos += static_cast<std::int64_t>(len);
        } else {
          ASSERT_EQ(rc, err::kReadFailed) << step;
        }
      } else if (op == 7) {
        const int origin = static_cast<int>(rng() % 3);
        const std::int64_t offset = static_cast<std::int64_t>(rng() % 400000) - 200000;
        const std::int64_t base = origin == 0 ? 0 : origin == 1 ? pos : static_cast<std::int64_t>(model.size());
        const std::int64_t expected = base + offset < 0 ? -1 : base + offset;
        ASSERT_EQ(f.Seek(offset, origin), expected) << step;
        if (expected >= 0) pos = expected;
      } else if (op == 8) {
        std::int64_t physical = -1;
        ASSERT_EQ(f.Flush(&physical), err::kOk);
        ASSERT_EQ(physical, static_cast<std::int64_t>(model.size()));
      } else {
        ASSERT_EQ(f.ShrinkCache(), err::kOk);
      }
      ASSERT_EQ(f.position(), pos);
      ASSERT_EQ(f.Seek(0, 2), static_cast<std::int64_t>(model.size()));
      ASSERT_EQ(f.Seek(pos, 0), pos);
    }
    std::int64_t final_size = 0;
    ASSERT_EQ(f.Close(&final_size), err::kOk);
    EXPECT_EQ(final_size, static_cast<std::int64_t>(model.size()));
    EXPECT_TRUE(ReadFileText(path) == model);
  }
}

TEST_F(BufferedFileTest, ReadAheadReadsWholeFilesAndSeeks) {
  const std::string data = RandomText(5 * 0x100000 + 4321, 4);
  WriteFileText(path_, data);
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kReadAheadReader), err::kOk);
  ASSERT_TRUE(f.read_ahead());
  std::mt19937 rng(9);
  std::string got;
  got.reserve(data.size());
  while (got.size() < data.size()) {
    const std::size_t n = std::min<std::size_t>(data.size() - got.size(), 1 + rng() % 200000);
    std::string part(n, '\0');
    ASSERT_EQ(f.Read(part.data(), n), err::kOk);
    got += part;
  }
  EXPECT_TRUE(got == data);
  for (int i = 0; i < 200; ++i) {
    const std::size_t at = rng() % data.size();
    const std::size_t n = std::min<std::size_t>(data.size() - at, rng() % 700000);
    ASSERT_EQ(f.Seek(static_cast<std::int64_t>(at), 0), static_cast<std::int64_t>(at));
    std::string part(n, '\0');
    ASSERT_EQ(f.Read(part.data(), n), err::kOk);
    ASSERT_TRUE(part == data.substr(at, n)) << at << " " << n;
  }
  EXPECT_EQ(f.Close(), err::kOk);
}

TEST_F(BufferedFileTest, TypedAndPlanarHelpers) {
  constexpr std::size_t kFrames = 3000;  // several staging blocks
  std::vector<float> left(kFrames), right(kFrames);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> level(-1.0f, 1.0f);
  for (std::size_t i = 0; i < kFrames; ++i) {
    left[i] = level(rng);
    right[i] = level(rng);
  }
  std::vector<float> interleaved(2 * kFrames);
  for (std::size_t i = 0; i < kFrames; ++i) {
    interleaved[2 * i] = left[i];
    interleaved[2 * i + 1] = right[i];
  }
  // What the file must hold: the converter's 24-bit big-endian form.
  std::vector<unsigned char> stored(2 * kFrames * 3);
  Convert(interleaved.data(), stored.data(), 2 * kFrames, sample_code::kFloat, sample_code::kS24BE);

  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kWorkFile | bo::kRead), err::kOk);
  const void* planes[2] = {left.data(), right.data()};
  ASSERT_EQ(f.WritePlanar(planes, 2, kFrames, sample_code::kFloat, sample_code::kS24BE), err::kOk);
  EXPECT_EQ(f.WritePlanar(planes, 3, kFrames, sample_code::kFloat, sample_code::kS24BE), err::kSizeLimit);
  EXPECT_EQ(f.WritePlanar(planes, 2, kFrames, sample_code::kS16, sample_code::kS24BE), err::kSizeLimit);
  // Narrowing in place: the caller's buffer ends in the stored form.
  std::vector<float> copy = interleaved;
  ASSERT_EQ(f.WriteSamples(copy.data(), copy.size(), sample_code::kFloat, sample_code::kS24BE), err::kOk);
  EXPECT_EQ(std::memcmp(copy.data(), stored.data(), stored.size()), 0);
  // Widening through the staging buffer: 16-bit into a double file.
  std::vector<std::int16_t> shorts(5000);
  for (std::size_t i = 0; i < shorts.size(); ++i) shorts[i] = static_cast<std::int16_t>(i * 13 - 30000);
  const std::vector<std::int16_t> shorts_before = shorts;
  ASSERT_EQ(f.WriteSamples(shorts.data(), shorts.size(), sample_code::kS16, sample_code::kDouble), err::kOk);
  EXPECT_EQ(shorts, shorts_before);

  ASSERT_EQ(f.Seek(0, 0), 0);
  std::vector<double> dl(kFrames), dr(kFrames);
  void* out_planes[2] = {dl.data(), dr.data()};
  ASSERT_EQ(f.ReadPlanar(out_planes, 2, kFrames, sample_code::kS24BE, sample_code::kDouble), err::kOk);
  std::vector<double> expect_interleaved(2 * kFrames);
  Convert(stored.data(), expect_interleaved.data(), 2 * kFrames, sample_code::kS24BE, sample_code::kDouble);
  for (std::size_t i = 0; i < kFrames; ++i) {
    ASSERT_EQ(dl[i], expect_interleaved[2 * i]) << i;
    ASSERT_EQ(dr[i], expect_interleaved[2 * i + 1]) << i;
  }
  std::vector<float> mono(2 * kFrames);
  void* mono_plane[1] = {mono.data()};
  ASSERT_EQ(f.ReadPlanar(mono_plane, 1, 2 * kFrames, sample_code::kS24BE, sample_code::kFloat), err::kOk);
  std::vector<float> expect_float(2 * kFrames);
  Convert(stored.data(), expect_float.data(), 2 * kFrames, sample_code::kS24BE, sample_code::kFloat);
  EXPECT_EQ(mono, expect_float);
  // Narrowing reads land in the caller's buffer first, so it holds the stored width.
  std::vector<std::int32_t> wide(2 * shorts.size());
  ASSERT_EQ(f.ReadSamples(wide.data(), shorts.size(), sample_code::kDouble, sample_code::kS32), err::kOk);
  wide.resize(shorts.size());
  std::vector<double> doubles(shorts.size());
  std::vector<std::int32_t> expect_wide(shorts.size());
  Convert(shorts_before.data(), doubles.data(), shorts.size(), sample_code::kS16, sample_code::kDouble);
  Convert(doubles.data(), expect_wide.data(), shorts.size(), sample_code::kDouble, sample_code::kS32);
  EXPECT_EQ(wide, expect_wide);
  EXPECT_EQ(f.ReadPlanar(out_planes, 0, 1, sample_code::kS16, sample_code::kFloat), err::kSizeLimit);
  EXPECT_EQ(f.Close(), err::kOk);
}

TEST_F(BufferedFileTest, HeaderReservesSpaceAndTruncateGivesItBack) {
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kWorkFile), err::kOk);
  std::uint32_t header = 0;
  // 0x3FFFFFFF frames of 4-byte stereo pass 0xFFFFFFFE bytes.
  EXPECT_EQ(f.WriteHeader(PcmFileKind::Temp, 44100, sample_code::kS32, 2, 0x3FFFFFFF, &header),
            err::kSizeLimit);
  EXPECT_EQ(header, 0u);
  EXPECT_EQ(FileSize(path_), 0u);
  ASSERT_EQ(f.WriteHeader(PcmFileKind::Temp, 44100, sample_code::kU8, 1, 100001, &header), err::kOk);
  EXPECT_EQ(header, 44u);
  EXPECT_EQ(f.position(), 44);
  EXPECT_EQ(f.logical_end(), 44 + 100002);  // padded to even
  const std::uint64_t sector = f.sector_size();
  EXPECT_EQ(FileSize(path_), (44 + 100001 + sector - 1) / sector * sector);
  ASSERT_EQ(f.Write("abc", 3), err::kOk);
  ASSERT_EQ(f.Truncate(), err::kOk);
  EXPECT_EQ(FileSize(path_), sector);
  std::int64_t final_size = 0;
  ASSERT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(final_size, 44 + 100002);
  EXPECT_EQ(FileSize(path_), 44u + 100002u);
  const std::string bytes = ReadFileText(path_);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(bytes.substr(44, 3), "abc");
  EXPECT_EQ(bytes.back(), '\0');

  // Raw: no header, no padding.
  ASSERT_EQ(f.Open(path_, bo::kWorkFile), err::kOk);
  ASSERT_EQ(f.WriteHeader(PcmFileKind::Raw, 44100, sample_code::kU8, 1, 7, &header), err::kOk);
  EXPECT_EQ(header, 0u);
  EXPECT_EQ(f.logical_end(), 7);
  EXPECT_EQ(f.position(), 0);
  EXPECT_EQ(f.Close(), err::kOk);
  EXPECT_EQ(ReadFileText(path_).substr(0, 4), "RIFF");  // nothing overwritten
}

TEST_F(BufferedFileTest, DiskFullAtTheHeaderWritesNoSample) {
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kWorkFile), err::kOk);
  const fault::ScopedFault full(fault::FaultRule::DiskFullAt(0x100000));
  const fault::ScopedFault writes(fault::FaultRule::FailNth(fault::kWrite, ~0ull, EIO));
  std::uint32_t header = 7;
  EXPECT_EQ(f.WriteHeader(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 1000000, &header), err::kDiskFull);
  EXPECT_EQ(header, 0u);
  EXPECT_TRUE(f.disk_full_seen());
  EXPECT_EQ(writes.seen(), 0u);
  std::int64_t final_size = -1;
  EXPECT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(writes.seen(), 0u);
  EXPECT_EQ(final_size, 0);
  EXPECT_EQ(FileSize(path_), 0u);
}

TEST_F(BufferedFileTest, DiskFullInAFlushFailsFastAfterwards) {
  const std::string data = RandomText(0x30000, 6);
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, bo::kWorkFile | bo::kSmallCache), err::kOk);
  const std::uint64_t limit = 0x10000;  // sector aligned for any block size up to 64 KiB
  ASSERT_EQ(limit % f.sector_size(), 0u);
  const fault::ScopedFault full(fault::FaultRule::DiskFullAt(limit));
  const fault::ScopedFault writes(fault::FaultRule::FailNth(fault::kWrite, ~0ull, EIO));
  ASSERT_EQ(f.Write(data.data(), data.size()), err::kOk);
  EXPECT_EQ(f.Flush(), err::kDiskFull);
  EXPECT_TRUE(f.disk_full_seen());
  const std::uint64_t after_failure = writes.seen();
  EXPECT_GE(after_failure, 1u);
  // Beyond the space on disk: 26 at once, no write is tried.
  EXPECT_EQ(f.Flush(), err::kDiskFull);
  ASSERT_EQ(f.Write("more", 4), err::kOk);
  EXPECT_EQ(f.Flush(), err::kDiskFull);
  EXPECT_EQ(writes.seen(), after_failure);
  // The header clips the window to the space on disk and writes inside it.
  std::uint32_t header = 0;
  ASSERT_EQ(f.WriteHeader(PcmFileKind::Temp, 8000, sample_code::kU8, 1, 1000, &header), err::kOk);
  EXPECT_GT(writes.seen(), after_failure);
  std::int64_t final_size = 0;
  EXPECT_EQ(f.Close(&final_size), err::kOk);
  EXPECT_EQ(final_size, static_cast<std::int64_t>(limit));
  const std::string bytes = ReadFileText(path_);
  ASSERT_EQ(bytes.size(), limit);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_TRUE(bytes.substr(44) == data.substr(44, limit - 44));
}

TEST_F(BufferedFileTest, InputOutputFailuresLeaveTheFileUsable) {
  const std::string data = RandomText(300000, 7);
  WriteFileText(path_, data);
  for (const std::uint32_t flags : {bo::kRead, bo::kReadAheadReader}) {
    BufferedFile f;
    ASSERT_EQ(f.Open(path_, flags), err::kOk);
    {
      const fault::ScopedFault fail(fault::FaultRule::FailNth(fault::kRead, 1, EIO));
      char buf[100];
      EXPECT_EQ(f.Read(buf, sizeof buf), err::kReadFailed);
      EXPECT_EQ(f.position(), 0);
    }
    {
      // A read that ends early, as if the file had shrunk.
      const fault::ScopedFault shorter(fault::FaultRule::ShortNth(fault::kRead, 1, 0, 0));
      char buf[100];
      EXPECT_EQ(f.Read(buf, sizeof buf), err::kReadFailed);
    }
    std::string got(data.size(), '\0');
    ASSERT_EQ(f.Read(got.data(), got.size()), err::kOk);
    EXPECT_TRUE(got == data);
    EXPECT_EQ(f.Close(), err::kOk);
  }
  BufferedFile w;
  ASSERT_EQ(w.Open(dir_ + "/w", bo::kWorkFile), err::kOk);
  ASSERT_EQ(w.Write(data.data(), 1000), err::kOk);
  {
    const fault::ScopedFault fail(fault::FaultRule::FailNth(fault::kWrite, 1, EIO));
    EXPECT_EQ(w.Flush(), err::kWriteFailed);
    EXPECT_FALSE(w.disk_full_seen());
  }
  {
    const fault::ScopedFault fail(fault::FaultRule::FailNth(fault::kFallocate, 1, EIO));
    std::uint32_t header = 0;
    EXPECT_EQ(w.WriteHeader(PcmFileKind::Raw, 8000, sample_code::kU8, 1, 1 << 20, &header), err::kSeekFailed);
  }
  EXPECT_EQ(w.Close(), err::kOk);  // the window was kept and reached the disk later
  EXPECT_EQ(ReadFileText(dir_ + "/w"), data.substr(0, 1000));
}

TEST_F(BufferedFileTest, BadPathsAndVolumes) {
  BufferedFile f;
  EXPECT_EQ(f.Open(dir_ + "/missing", bo::kRead), err::kCannotOpen);
  EXPECT_EQ(f.Open(dir_ + "/missing", bo::kWrite), err::kCannotOpen);
  EXPECT_EQ(f.Open(dir_ + "/no/such/folder", bo::kWorkFile), err::kCreateFailed);
  EXPECT_EQ(f.Open(dir_, bo::kRead), err::kCannotOpen);
  EXPECT_EQ(f.Open(dir_, bo::kWorkFile), err::kCreateFailed);
  EXPECT_EQ(f.Open("", bo::kRead), err::kCannotOpen);
  WriteFileText(path_, "abc");
  EXPECT_EQ(f.Open(path_, bo::kOpenAlways), err::kCannotOpen);  // neither read nor write
  // A name of PATH_MAX bytes or more is refused; one of NAME_MAX + 1 by the system.
  EXPECT_EQ(f.Open(dir_ + "/" + std::string(PATH_MAX, 'a'), bo::kWorkFile), err::kCannotOpen);
  EXPECT_EQ(f.Open(dir_ + "/" + std::string(NAME_MAX + 1, 'a'), bo::kWorkFile), err::kCannotOpen);
  EXPECT_FALSE(f.is_open());
  {
    const fault::ScopedFault no_volume(fault::FaultRule::FailNth(fault::kStatvfs, 1, EIO));
    EXPECT_EQ(f.Open(dir_ + "/f", bo::kRead), err::kSectorSize);
  }
  {
    const fault::ScopedFault fail(fault::FaultRule::FailNth(fault::kOpen, 1, ENOMEM));
    EXPECT_EQ(f.Open(dir_ + "/f", bo::kRead), err::kOutOfMemory);
  }
  EXPECT_EQ(f.Close(), err::kOk);
  EXPECT_EQ(ReadFileText(dir_ + "/f"), "abc");
}

}  // namespace
}  // namespace tidemark
