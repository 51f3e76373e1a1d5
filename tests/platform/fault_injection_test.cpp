#include "platform/fault_injection.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using fault::FaultRule;
using fault::ScopedFault;

FileOpenOptions ReadWrite(FileDisposition disposition = FileDisposition::kCreateNew) {
  FileOpenOptions o;
  o.access = FileAccess::kReadWrite;
  o.disposition = disposition;
  return o;
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("fault");
    ASSERT_EQ(file_.Open(dir_ + "/f", ReadWrite()), err::kOk);
  }
  void TearDown() override { fault::RemoveAllFaults(); }

  Error Write(std::uint64_t offset, std::size_t n) {
    const std::string bytes(n, 'w');
    return file_.WriteAt(bytes.data(), n, offset, &done_);
  }
  std::uint64_t Size() {
    std::uint64_t size = 0;
    EXPECT_EQ(file_.Size(&size), err::kOk);
    return size;
  }

  std::string dir_;
  PosixFile file_;
  std::size_t done_ = 0;
  char buf_[300] = {};
};

TEST_F(FaultTest, NthCallOnceStickyAndStacked) {
  {
    ScopedFault third(FaultRule::FailNth(fault::kWrite, 3, EIO));
    EXPECT_EQ(Write(0, 4), err::kOk);
    EXPECT_EQ(file_.Sync(), err::kOk);  // not a write: not counted
    EXPECT_EQ(Write(4, 4), err::kOk);
    EXPECT_EQ(Write(8, 4), err::kWriteFailed);
    EXPECT_EQ(done_, 0u);
    EXPECT_EQ(file_.last_errno(), EIO);
    EXPECT_EQ(Write(8, 4), err::kOk);  // once only
    EXPECT_EQ(third.seen(), 4u);
    EXPECT_EQ(third.fire_count(), 1u);
  }
  EXPECT_EQ(Write(0, 1), err::kOk);  // removed with its scope
  {
    ScopedFault sticky(FaultRule::FailNth(fault::kWrite, 2, ENOSPC).Sticky());
    EXPECT_EQ(Write(0, 1), err::kOk);
    EXPECT_EQ(Write(0, 1), err::kDiskFull);
    EXPECT_EQ(Write(0, 1), err::kDiskFull);
    EXPECT_EQ(sticky.fire_count(), 2u);
  }
  // Two rules matching one call: the first installed decides, both count it.
  ScopedFault outer(FaultRule::FailNth(fault::kWrite, 1, EIO));
  ScopedFault inner(FaultRule::FailNth(fault::kWrite | fault::kFsync, 1, ENOSPC));
  EXPECT_EQ(Write(0, 1), err::kWriteFailed);
  EXPECT_FALSE(inner.fired());
  EXPECT_EQ(file_.Sync(), err::kOk);  // the inner rule's 2nd call
  EXPECT_EQ(inner.seen(), 2u);
  EXPECT_EQ(outer.seen(), 1u);
}

TEST_F(FaultTest, InjectedErrnoMapsToProgramNumbers) {
  std::uint64_t value = 0;
  VolumeInfo volume;
  const struct {
    fault::FaultOp op;
    int error;
    Error expected;
  } cases[] = {
      {fault::kRead, EIO, err::kReadFailed},      {fault::kRead, ENOMEM, err::kOutOfMemory},
      {fault::kWrite, EIO, err::kWriteFailed},    {fault::kWrite, EDQUOT, err::kDiskFull},
      {fault::kFsync, EIO, err::kWriteFailed},    {fault::kFsync, ENOSPC, err::kDiskFull},
      {fault::kFtruncate, EIO, err::kSeekFailed}, {fault::kFtruncate, ENOSPC, err::kDiskFull},
      {fault::kFallocate, EIO, err::kSeekFailed}, {fault::kFallocate, EDQUOT, err::kDiskFull},
      {fault::kStat, EIO, err::OsError(EIO)},     {fault::kStatvfs, ENOSYS, err::OsError(ENOSYS)},
  };
  for (const auto& c : cases) {
    ScopedFault f(FaultRule::FailNth(c.op, 1, c.error));
    Error rc;
    switch (c.op) {
      case fault::kRead: rc = file_.ReadAt(buf_, 4, 0, &done_); break;
      case fault::kWrite: rc = Write(0, 4); break;
      case fault::kFsync: rc = file_.Sync(); break;
      case fault::kFtruncate: rc = file_.Truncate(10); break;
      case fault::kFallocate: rc = file_.Allocate(10); break;
      case fault::kStat: rc = file_.Size(&value); break;
      default: rc = file_.QueryVolume(&volume); break;
    }
    EXPECT_EQ(rc, c.expected) << "op " << c.op << " errno " << c.error;
    EXPECT_EQ(file_.last_errno(), c.error) << "op " << c.op;
  }

  // Opening, by disposition; a permission failure needs no unprivileged user.
  const std::pair<FileDisposition, std::pair<int, Error>> opens[] = {
      {FileDisposition::kOpenExisting, {EACCES, err::kCannotOpen}},
      {FileDisposition::kOpenAlways, {EACCES, err::kCreateFailed}},
      {FileDisposition::kCreateAlways, {EROFS, err::kCreateFailed}},
      {FileDisposition::kOpenExisting, {ENOMEM, err::kOutOfMemory}},
      {FileDisposition::kOpenAlways, {ENOSPC, err::kDiskFull}},
      {FileDisposition::kOpenAlways, {ENAMETOOLONG, err::kCannotOpen}},
  };
  PosixFile g;
  for (const auto& [disposition, expectation] : opens) {
    ScopedFault f(FaultRule::FailNth(fault::kOpen, 1, expectation.first));
    EXPECT_EQ(g.Open(dir_ + "/f", ReadWrite(disposition)), expectation.second) << expectation.first;
    EXPECT_EQ(g.last_errno(), expectation.first);
    EXPECT_FALSE(g.is_open());
  }
  {
    ScopedFault f(FaultRule::FailNth(fault::kUnlink, 1, EPERM));
    FileOpenOptions o = ReadWrite();
    o.delete_on_close = true;
    EXPECT_EQ(g.Open(dir_ + "/doc", o), err::OsError(EPERM));
    EXPECT_FALSE(g.is_open());
  }
  ScopedFault f(FaultRule::FailNth(fault::kClose, 1, EIO));
  EXPECT_EQ(file_.Close(), err::kWriteFailed);  // the descriptor is released anyway
  EXPECT_FALSE(file_.is_open());
}

TEST_F(FaultTest, DiskFullAtAnOffset) {
  ScopedFault full(FaultRule::DiskFullAt(1000));
  EXPECT_EQ(Write(0, 600), err::kOk);
  EXPECT_EQ(Write(600, 600), err::kDiskFull);
  EXPECT_EQ(done_, 400u);  // the bytes below the limit went to disk
  EXPECT_EQ(file_.last_errno(), ENOSPC);
  EXPECT_EQ(Size(), 1000u);
  EXPECT_EQ(Write(5000, 1), err::kDiskFull);  // sticky
  EXPECT_EQ(done_, 0u);
  EXPECT_EQ(Write(10, 990), err::kOk);  // ending exactly at the limit fits
  EXPECT_EQ(file_.Truncate(1000), err::kOk);
  EXPECT_EQ(file_.Truncate(1001), err::kDiskFull);
  EXPECT_EQ(file_.Allocate(4096), err::kDiskFull);
  EXPECT_EQ(file_.Allocate(900), err::kOk);
  EXPECT_EQ(full.fire_count(), 4u);
  EXPECT_EQ(Size(), 1000u);
}

TEST_F(FaultTest, ShortAndOffsetLimitedTransfers) {
  ASSERT_EQ(Write(0, 300), err::kOk);
  FaultRule limit;
  limit.ops = fault::kRead;
  limit.trigger = fault::FaultTrigger::kByteOffset;
  limit.offset = 100;
  {
    ScopedFault f(limit);
    EXPECT_EQ(file_.ReadAt(buf_, 300, 0, &done_), err::kReadFailed);
    EXPECT_EQ(done_, 100u);
    EXPECT_EQ(file_.ReadAt(buf_, 300, 0, &done_), err::kOk);  // once
    EXPECT_EQ(done_, 300u);
  }
  limit.short_transfer = true;
  {
    ScopedFault f(limit);
    EXPECT_EQ(file_.ReadAt(buf_, 300, 50, &done_), err::kOk);
    EXPECT_EQ(done_, 50u);  // ends at the limit as at end of file
  }
  {
    ScopedFault f(FaultRule::ShortNth(fault::kRead, 1, 10, EIO));
    EXPECT_EQ(file_.ReadAt(buf_, 100, 0, &done_), err::kOk);
    EXPECT_EQ(done_, 10u);
  }
  ASSERT_EQ(file_.Truncate(0), err::kOk);
  {
    ScopedFault f(FaultRule::ShortNth(fault::kWrite, 1, 10, ENOSPC));
    EXPECT_EQ(Write(0, 100), err::kDiskFull);
    EXPECT_EQ(done_, 10u);
    EXPECT_EQ(Size(), 10u);
  }
  {
    // A short write without an error: the wrapper carries on with the rest.
    ScopedFault f(FaultRule::ShortNth(fault::kWrite, 1, 30, 0));
    EXPECT_EQ(Write(0, 100), err::kOk);
    EXPECT_EQ(done_, 100u);
    EXPECT_EQ(f.seen(), 2u);
  }
  ScopedFault stuck(FaultRule::ShortNth(fault::kWrite, 1, 0, 0).Sticky());
  EXPECT_EQ(Write(0, 100), err::kWriteFailed);  // no progress ends instead of spinning
}

TEST_F(FaultTest, CountsAreExactUnderThreads) {
  ScopedFault f(FaultRule::FailNth(fault::kRead, 2000, EIO));
  std::atomic<int> fired{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) fired += fault::CheckFault(fault::kRead, 0, 1).fire ? 1 : 0;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(f.seen(), 4000u);
  EXPECT_EQ(fired.load(), 1);
}

// A safe save: write a temporary file, sync it, rename it over the target.
Error SaveFile(const std::string& dir, const std::string& content) {
  const std::string temp = dir + "/target.tmp";
  PosixFile f;
  std::size_t done = 0;
  Error rc = f.Open(temp, ReadWrite(FileDisposition::kCreateAlways));
  if (rc == err::kOk) rc = f.Allocate(content.size());
  if (rc == err::kOk) rc = f.WriteAt(content.data(), content.size(), 0, &done);
  if (rc == err::kOk) rc = f.Sync();
  const Error close_rc = f.Close();
  if (rc == err::kOk) rc = close_rc;
  if (rc == err::kOk) rc = RenameFile(temp, dir + "/target", false);
  if (rc != err::kOk) (void)UnlinkFile(temp);
  return rc;
}

TEST_F(FaultTest, FaultLoopVisitsEveryOperation) {
  testing::WriteFileText(dir_ + "/target", "original");
  const std::uint64_t faulty = fault::ForEachFaultPoint(
      fault::kAllOps & ~fault::kUnlink, EIO, [&](const ScopedFault& fault) {
        const Error rc = SaveFile(dir_, "replacement");
        EXPECT_EQ(rc == err::kOk, !fault.fired()) << "operation " << fault.rule().nth;
        EXPECT_EQ(testing::ReadFileText(dir_ + "/target"), fault.fired() ? "original" : "replacement");
        EXPECT_FALSE(testing::FileExists(dir_ + "/target.tmp"));
      });
  EXPECT_EQ(faulty, 6u);  // open, fallocate, write, fsync, close, rename
}

}  // namespace
}  // namespace tidemark
