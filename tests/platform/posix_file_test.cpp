#include "platform/posix_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/page_buffer.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::FileExists;
using testing::ReadFileText;
using testing::WriteFileText;
using A = FileAccess;
using D = FileDisposition;

FileOpenOptions Opts(FileAccess access, FileDisposition disposition) {
  FileOpenOptions o;
  o.access = access;
  o.disposition = disposition;
  return o;
}

std::uint64_t SizeOf(PosixFile& f) {
  std::uint64_t size = 0;
  EXPECT_EQ(f.Size(&size), err::kOk);
  return size;
}

TEST(PosixFile, DispositionsAndAccess) {
  const std::string dir = testing::MakeTempDir("dispositions");
  const std::string path = dir + "/f.bin";
  PosixFile f;
  size_t done = 0;
  char c;
  EXPECT_EQ(f.Open(path, Opts(A::kRead, D::kOpenExisting)), err::kCannotOpen);
  EXPECT_EQ(f.last_errno(), ENOENT);
  EXPECT_FALSE(f.is_open());

  ASSERT_EQ(f.Open(path, Opts(A::kReadWrite, D::kCreateNew)), err::kOk);
  ASSERT_EQ(f.WriteAt("hello", 5, 0, &done), err::kOk);
  EXPECT_EQ(f.Open(path, Opts(A::kReadWrite, D::kCreateNew)), err::kCreateFailed);
  EXPECT_EQ(f.last_errno(), EEXIST);
  ASSERT_EQ(f.Open(path, Opts(A::kReadWrite, D::kOpenAlways)), err::kOk);
  EXPECT_EQ(SizeOf(f), 5u);  // kept
  ASSERT_EQ(f.Open(path, Opts(A::kWrite, D::kCreateAlways)), err::kOk);
  EXPECT_EQ(SizeOf(f), 0u);  // emptied
  ASSERT_EQ(f.Open(dir + "/new", Opts(A::kWrite, D::kOpenAlways)), err::kOk);
  EXPECT_TRUE(FileExists(dir + "/new"));

  ASSERT_EQ(f.Open(path, Opts(A::kRead, D::kOpenExisting)), err::kOk);
  EXPECT_EQ(f.WriteAt("x", 1, 0, &done), err::kWriteFailed);
  EXPECT_EQ(f.last_errno(), EBADF);
  ASSERT_EQ(f.Open(path, Opts(A::kWrite, D::kOpenExisting)), err::kOk);
  EXPECT_EQ(f.ReadAt(&c, 1, 0, &done), err::kReadFailed);

  // Too long a path is "cannot open" even where the open may create.
  EXPECT_EQ(f.Open(dir + "/" + std::string(5000, 'n'), Opts(A::kWrite, D::kOpenAlways)),
            err::kCannotOpen);
  EXPECT_EQ(f.last_errno(), ENAMETOOLONG);
  EXPECT_EQ(f.Open(dir + "/no/such", Opts(A::kWrite, D::kCreateNew)), err::kCreateFailed);
  // A closed handle refuses instead of using descriptor -1.
  EXPECT_EQ(f.Sync(), err::kWriteFailed);
  EXPECT_EQ(f.Truncate(1), err::kSeekFailed);
  EXPECT_EQ(f.Close(), err::kOk);

  // Moving hands the descriptor over; assigning closes the target's own file.
  PosixFile a, b;
  ASSERT_EQ(a.Open(dir + "/m", Opts(A::kWrite, D::kCreateNew)), err::kOk);
  ASSERT_EQ(b.Open(dir + "/other", Opts(A::kWrite, D::kCreateNew)), err::kOk);
  const int fd = a.fd();
  b = std::move(a);
  EXPECT_FALSE(a.is_open());
  EXPECT_EQ(b.fd(), fd);
  ASSERT_EQ(b.WriteAt("m", 1, 0, &done), err::kOk);
  PosixFile moved(std::move(b));
  ASSERT_EQ(moved.Close(), err::kOk);
  EXPECT_EQ(moved.Close(), err::kOk);
  EXPECT_EQ(ReadFileText(dir + "/m"), "m");
}

TEST(PosixFile, DeleteOnCloseLeavesNothingBehind) {
  const std::string dir = testing::MakeTempDir("delete-on-close");
  FileOpenOptions o = Opts(A::kReadWrite, D::kCreateNew);
  o.delete_on_close = true;
  PosixFile f;
  ASSERT_EQ(f.Open(dir + "/scratch", o), err::kOk);
  EXPECT_TRUE(std::filesystem::is_empty(dir));  // gone from the folder at once
  size_t done = 0;
  char buf[8] = {};
  ASSERT_EQ(f.WriteAt("scratch", 7, 100, &done), err::kOk);
  ASSERT_EQ(f.ReadAt(buf, 7, 100, &done), err::kOk);
  EXPECT_STREQ(buf, "scratch");
  ASSERT_EQ(f.Close(), err::kOk);
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(PosixFile, ReadsStopAtTheEnd) {
  const std::string dir = testing::MakeTempDir("eof");
  WriteFileText(dir + "/ten", "0123456789");
  PosixFile f;
  ASSERT_EQ(f.Open(dir + "/ten", Opts(A::kRead, D::kOpenExisting)), err::kOk);
  char buf[32];
  size_t done = 99;
  ASSERT_EQ(f.ReadAt(buf, 20, 5, &done), err::kOk);
  EXPECT_EQ(std::string(buf, done), "56789");
  for (std::uint64_t at : {10ull, 1ull << 40}) {
    ASSERT_EQ(f.ReadAt(buf, 4, at, &done), err::kOk);
    EXPECT_EQ(done, 0u);
  }
}

TEST(PosixFile, TruncateAllocateAndSparseSizes) {
  const std::string dir = testing::MakeTempDir("sizes");
  PosixFile f;
  ASSERT_EQ(f.Open(dir + "/s", Opts(A::kReadWrite, D::kCreateNew)), err::kOk);
  VolumeInfo volume;
  ASSERT_EQ(f.QueryVolume(&volume), err::kOk);
  std::uint64_t allocated = 0;

  ASSERT_EQ(f.Truncate(4u << 20), err::kOk);
  EXPECT_EQ(SizeOf(f), 4u << 20);
  ASSERT_EQ(f.AllocatedBytes(&allocated), err::kOk);
  if (volume.local_disk) {
    EXPECT_LT(allocated, 4u << 20);  // cut to size without writing: sparse
  }
  ASSERT_EQ(f.Truncate(100), err::kOk);
  EXPECT_EQ(SizeOf(f), 100u);

  ASSERT_EQ(f.Allocate(1u << 20), err::kOk);
  EXPECT_EQ(SizeOf(f), 1u << 20);
  ASSERT_EQ(f.AllocatedBytes(&allocated), err::kOk);
  if (volume.local_disk) {
    EXPECT_GE(allocated, 1u << 20);  // reserved, not sparse
  }
  ASSERT_EQ(f.Allocate(10), err::kOk);
  ASSERT_EQ(f.Allocate(0), err::kOk);
  EXPECT_EQ(SizeOf(f), 1u << 20);  // never cuts

  // Without reservation support the size is still extended, never cut.
  {
    fault::ScopedFault none(fault::FaultRule::FailNth(fault::kFallocate, 1, EOPNOTSUPP).Sticky());
    ASSERT_EQ(f.Allocate(3u << 20), err::kOk);
    EXPECT_EQ(SizeOf(f), 3u << 20);
    ASSERT_EQ(f.Allocate(100), err::kOk);
    EXPECT_EQ(SizeOf(f), 3u << 20);
    EXPECT_EQ(none.fire_count(), 2u);
  }
  {
    fault::ScopedFault none(fault::FaultRule::FailNth(fault::kFallocate, 1, ENOSYS));
    ASSERT_EQ(f.Allocate(4u << 20), err::kOk);
    EXPECT_EQ(SizeOf(f), 4u << 20);
  }

  size_t done = 0;
  char buf[6];
  ASSERT_EQ(f.WriteAt("abc", 3, 0, &done), err::kOk);
  ASSERT_EQ(f.Truncate(2), err::kOk);
  ASSERT_EQ(f.Truncate(6), err::kOk);
  ASSERT_EQ(f.ReadAt(buf, 6, 0, &done), err::kOk);
  EXPECT_EQ(std::string(buf, done), std::string("ab\0\0\0\0", 6));
}

TEST(PosixFile, DirectIoWhereAcceptedElseCached) {
  const std::string dir = testing::MakeTempDir("direct");
  const std::size_t block = 4096;
  PageBuffer buffer;
  ASSERT_EQ(buffer.Allocate(block), err::kOk);
  std::memset(buffer.data(), 'd', block);
  FileOpenOptions o = Opts(A::kReadWrite, D::kCreateNew);
  o.try_direct = true;
  PosixFile f;
  size_t done = 0;
  ASSERT_EQ(f.Open(dir + "/d", o), err::kOk);
  ASSERT_EQ(f.WriteAt(buffer.data(), block, 0, &done), err::kOk);
  std::memset(buffer.data(), 0, block);
  ASSERT_EQ(f.ReadAt(buffer.data(), block, 0, &done), err::kOk);
  EXPECT_EQ(buffer.data()[block - 1], std::byte{'d'});

  // Refused: a create-new open still succeeds (it is not repeated) and
  // unaligned transfers work through the cache.
  fault::ScopedFault refuse(fault::FaultRule::FailNth(fault::kSetDirect, 1, EINVAL));
  ASSERT_EQ(f.Open(dir + "/cached", o), err::kOk);
  EXPECT_FALSE(f.direct());
  char buf[4];
  ASSERT_EQ(f.WriteAt("xyz", 3, 1, &done), err::kOk);
  ASSERT_EQ(f.ReadAt(buf, 4, 0, &done), err::kOk);
  EXPECT_EQ(std::string(buf, done), std::string("\0xyz", 4));
}

TEST(PosixFile, VolumeQuery) {
  const std::string dir = testing::MakeTempDir("volume");
  VolumeInfo by_path, by_file;
  ASSERT_EQ(QueryVolume(dir, &by_path), err::kOk);
  EXPECT_GT(by_path.sector_size, 0u);
  EXPECT_LE(by_path.sector_size, kMaxSectorSize);
  EXPECT_GT(by_path.cluster_size, 0u);
  EXPECT_LE(by_path.free_bytes, by_path.total_bytes);
  PosixFile f;
  ASSERT_EQ(f.Open(dir + "/v", Opts(A::kWrite, D::kCreateNew)), err::kOk);
  ASSERT_EQ(f.QueryVolume(&by_file), err::kOk);
  EXPECT_EQ(by_file.fs_magic, by_path.fs_magic);
  EXPECT_EQ(by_file.sector_size, by_path.sector_size);
  EXPECT_EQ(QueryVolume(dir + "/missing/x", &by_path), err::OsError(ENOENT));

  for (std::uint32_t local : {0xEF53u, 0x58465342u, 0x9123683Eu, 0x01021994u, 0x794C7630u})
    EXPECT_TRUE(IsLocalDiskFileSystem(local)) << std::hex << local;
  // nfs, cifs, smb2, 9p, fuse
  for (std::uint32_t remote : {0x6969u, 0xFF534D42u, 0xFE534D42u, 0x01021997u, 0x65735546u})
    EXPECT_FALSE(IsLocalDiskFileSystem(remote)) << std::hex << remote;
}

}  // namespace
}  // namespace tidemark
