// Detaching sources from users' files and moving owned working files.
#include "core/sources/source_detach.h"

#include <fcntl.h>
#include <unistd.h>


#include <gtest/gtest.h>

#include "core/sources/internal/block_cache.h"
#include "core/core_options.h"
#include "core/sources/file_source.h"
#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "core/io/work_folder.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/samples/reference_convert.h"
#include "tests/core/source_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::FolderNames;
using namespace sample_code;
using testing::FileExists;
using testing::RandomBytes;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

std::vector<std::uint8_t> ReadAll(SoundSource* s, std::uint32_t frames, SampleCode code) {
  std::vector<std::uint8_t> out(std::size_t{frames} * s->channels() * BytesPerSample(code));
  EXPECT_EQ(s->Read(0, frames, out.data(), code), 0u);
  return out;
}

class DetachTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("user");
    MutableCoreOptions().host_work_folder = testing::MakeTempDir("host");
    work_ = MutableCoreOptions().host_work_folder + "/__tide__";
  }
  void TearDown() override {
    fault::RemoveAllFaults();
    MutableCoreOptions() = CoreOptions();
    EXPECT_EQ(OpenFileSourceCount(), 0u);
    EXPECT_EQ(SharedBlockCacheStats().blocks, 0u);
  }
  // A big-endian 16-bit stereo file with a 54-byte header, as an AIFF holds it.
  SourceRef OpenUserFile(std::uint32_t frames, std::vector<std::uint8_t>* bytes) {
    *bytes = RandomBytes(54 + frames * 4, 21);
    user_ = dir_ + "/song.aif";
    WriteWholeFile(user_, *bytes);
    SourceRef s;
    EXPECT_EQ(OpenFileSource(user_, 54, 44100, kS16BE, 2, frames, kSourceSecondFlag, nullptr, &s), 0u);
    return s;
  }
  std::vector<std::uint8_t> Expected(const std::vector<std::uint8_t>& bytes, std::uint32_t frames,
                                     SampleCode code) const {
    std::vector<std::uint8_t> out(std::size_t{frames} * 2 * BytesPerSample(code));
    reftest::ReferenceConvert(bytes.data() + 54, out.data(), std::size_t{frames} * 2, kS16BE, code);
    return out;
  }

  std::string dir_, work_, user_;
};

TEST_F(DetachTest, CopiesIntoAWorkingFileAndLeavesTheOriginalFree) {
  constexpr std::uint32_t kFrames = 300000;
  std::vector<std::uint8_t> bytes;
  SourceRef s = OpenUserFile(kFrames, &bytes);
  ASSERT_TRUE(s);
  ASSERT_EQ(ReadAll(s.get(), kFrames, kFloat), Expected(bytes, kFrames, kFloat));  // fills cache blocks

  std::uint64_t last_done = 0, calls = 0;
  bool asked = false;
  const Error rc = DetachFromOriginal(
      user_,
      [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, std::uint64_t{kFrames} * 4);
        EXPECT_GT(done, last_done);
        last_done = done;
        ++calls;
        return true;
      },
      [&](std::uint64_t) { return asked = true; });
  ASSERT_EQ(rc, 0u);
  EXPECT_FALSE(asked) << "asked although the data are small";
  EXPECT_EQ(last_done, std::uint64_t{kFrames} * 4);
  EXPECT_GE(calls, 2u);

  const std::string copy = FilePath(s.get());
  EXPECT_EQ(copy.rfind(work_ + "/wav", 0), 0u) << copy;
  EXPECT_TRUE(OwnsFile(s.get()));
  EXPECT_EQ(DataOffset(s.get()), 44u);
  EXPECT_FALSE(FindFileSource(user_));
  EXPECT_EQ(FindFileSource(copy).get(), s.get());
  // The working file holds the samples little-endian behind its header.
  const std::vector<std::uint8_t> stored = ReadWholeFile(copy);
  ASSERT_EQ(stored.size(), 44u + kFrames * 4);
  EXPECT_EQ(std::vector<std::uint8_t>(stored.begin() + 44, stored.end()), Expected(bytes, kFrames, kS16));

  // The original can now be replaced without the source noticing.
  WriteWholeFile(user_, RandomBytes(100, 22));
  EXPECT_EQ(ReadAll(s.get(), kFrames, kFloat), Expected(bytes, kFrames, kFloat));
  std::string why;
  EXPECT_TRUE(CheckSharedBlockCache(&why)) << why;

  // Nothing reads the user's file any more: a second detach has nothing to do.
  EXPECT_EQ(DetachFromOriginal(user_, nullptr, nullptr), 0u);
  s.reset();
  EXPECT_FALSE(FileExists(copy)) << "the working copy outlived its source";
}

// Every failing system call during the copy leaves the source on the
// original and no working file behind; the run without a fault succeeds.
TEST_F(DetachTest, AnyFaultKeepsTheOriginalAndLeavesNothingBehind) {
  constexpr std::uint32_t kFrames = 150000;
  std::vector<std::uint8_t> bytes;
  SourceRef s = OpenUserFile(kFrames, &bytes);
  ASSERT_TRUE(s);
  const std::vector<std::uint8_t> want = Expected(bytes, kFrames, kS16);
  bool done = false;
  const std::uint64_t runs = fault::ForEachFaultPoint(
      fault::kWrite | fault::kFallocate | fault::kFtruncate | fault::kOpen | fault::kRead | fault::kFsync, ENOSPC,
      [&](const fault::ScopedFault& fault) {
        if (done) return;
        const Error rc = DetachFromOriginal(user_, nullptr, nullptr);
        if (rc == 0) {
          done = FilePath(s.get()) != user_;
          EXPECT_TRUE(done) << "success reported, source not moved, fault at op " << fault.rule().nth;
          return;
        }
        EXPECT_EQ(FilePath(s.get()), user_) << "fault at op " << fault.rule().nth;
        EXPECT_FALSE(OwnsFile(s.get()));
        EXPECT_TRUE(FolderNames(work_).empty()) << "a partial copy was left, fault at op " << fault.rule().nth;
      });
  EXPECT_GT(runs, 3u);
  EXPECT_TRUE(done);
  EXPECT_EQ(ReadAll(s.get(), kFrames, kS16), want);

  // Disk full at a given size: the header's pre-extension already fails.
  std::vector<std::uint8_t> b2;
  SourceRef s2 = OpenUserFile(kFrames, &b2);  // reopens song.aif, now free again
  {
    const fault::ScopedFault full(fault::FaultRule::DiskFullAt(4096));
    EXPECT_EQ(DetachFromOriginal(user_, nullptr, nullptr), err::kDiskFull);
  }
  EXPECT_EQ(FilePath(s2.get()), user_);
  EXPECT_EQ(FolderNames(work_).size(), 1u);  // only the first source's copy
  EXPECT_EQ(ReadAll(s2.get(), kFrames, kS16), Expected(b2, kFrames, kS16));
}

TEST_F(DetachTest, CancelAndDeclineKeepTheOriginal) {
  constexpr std::uint32_t kFrames = 600000;
  std::vector<std::uint8_t> bytes;
  SourceRef s = OpenUserFile(kFrames, &bytes);
  ASSERT_TRUE(s);
  int calls = 0;
  EXPECT_EQ(DetachFromOriginal(user_, [&](std::uint64_t, std::uint64_t) { return ++calls < 2; }, nullptr),
            err::kCancelled);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(FilePath(s.get()), user_);
  EXPECT_TRUE(FolderNames(work_).empty());
  EXPECT_EQ(ReadAll(s.get(), kFrames, kS16), Expected(bytes, kFrames, kS16));

  // More than 0x1FFFFFF data bytes: asked first when the option says so.
  const std::string big = dir_ + "/big.raw";
  const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0x2000000), 0);
  ::close(fd);
  SourceRef b;
  ASSERT_EQ(OpenFileSource(big, 0, 44100, kS16, 2, 0x800000, 0, nullptr, &b), 0u);
  std::uint64_t asked = 0;
  EXPECT_EQ(DetachFromOriginal(big, nullptr, [&](std::uint64_t n) { asked = n; return false; }), err::kCancelled);
  EXPECT_EQ(asked, 0x2000000u);
  EXPECT_EQ(FilePath(b.get()), big);
  EXPECT_TRUE(FolderNames(work_).empty());
  MutableCoreOptions().confirm_large_detach = false;
  asked = 0;
  ASSERT_EQ(DetachFromOriginal(big, nullptr, [&](std::uint64_t n) { asked = n; return false; }), 0u);
  EXPECT_EQ(asked, 0u);
  EXPECT_TRUE(OwnsFile(b.get()));
}

// An owned working file of 70000 16-bit stereo frames behind a 44-byte header.
class RenameTest : public DetachTest {
 protected:
  void SetUp() override {
    DetachTest::SetUp();
    ASSERT_EQ(NewWorkFileName("wav", &work_file_), 0u);
    bytes_ = RandomBytes(44 + 4 * 70000, 23);
    WriteWholeFile(work_file_, bytes_);
    ASSERT_EQ(OpenFileSource(work_file_, 44, 44100, kS16, 2, 70000, kSourceOwnsFile, nullptr, &s_), 0u);
  }
  void TearDown() override {
    s_.reset();
    DetachTest::TearDown();
  }
  std::vector<std::uint8_t> Samples() const { return std::vector<std::uint8_t>(bytes_.begin() + 44, bytes_.end()); }
  // The working file became `target`: the source reads it unowned, and the
  // saved file outlives the source.
  void ExpectRenamedTo(const std::string& target) {
    EXPECT_EQ(ReadWholeFile(target), bytes_);
    EXPECT_FALSE(FileExists(work_file_));
    EXPECT_FALSE(OwnsFile(s_.get()));
    EXPECT_EQ(FilePath(s_.get()), target);
    EXPECT_EQ(ReadAll(s_.get(), 70000, kS16), Samples());
    s_.reset();
    EXPECT_TRUE(FileExists(target));
  }

  std::string work_file_;
  std::vector<std::uint8_t> bytes_;
  SourceRef s_;
};

TEST_F(RenameTest, RenamesOrReportsTheTargetExists) {
  const std::string taken = dir_ + "/taken.wav", target = dir_ + "/saved.wav";
  WriteWholeFile(taken, {1, 2, 3});
  Error error(99);
  EXPECT_EQ(RenameOwnedFile(s_.get(), taken, &error), kRenameTargetExists);
  EXPECT_EQ(ReadWholeFile(taken), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE(OwnsFile(s_.get()));
  EXPECT_TRUE(FileExists(work_file_));

  ASSERT_EQ(RenameOwnedFile(s_.get(), target, &error), kRenameDone);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(FindFileSource(target).get(), s_.get());
  EXPECT_FALSE(FindFileSource(work_file_));

  // No longer owned: nothing to rename.
  EXPECT_EQ(RenameOwnedFile(s_.get(), dir_ + "/again.wav", &error), kRenameNotDone);
  EXPECT_EQ(error, 0u);
  SourceRef silence = MakeSilenceSource(44100, 2);
  EXPECT_EQ(RenameOwnedFile(silence.get(), dir_ + "/again.wav"), kRenameNotDone);
  ExpectRenamedTo(target);
}

// A target on another file system (EXDEV from the first rename): the file
// is copied beside the target, moved in atomically, and the original goes.
TEST_F(RenameTest, CopiesAcrossFileSystems) {
  const std::string target = dir_ + "/other.wav";
  {
    const fault::ScopedFault exdev(fault::FaultRule::FailNth(fault::kRename, 1, EXDEV));
    ASSERT_EQ(RenameOwnedFile(s_.get(), target), kRenameDone);
    EXPECT_TRUE(exdev.fired());
  }
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"other.wav"}) << "a temporary copy was left";
  ExpectRenamedTo(target);
}

TEST_F(RenameTest, FailedCrossFileSystemCopiesLeaveTheOriginal) {
  const std::string target = dir_ + "/other.wav";
  Error error;
  {
    // The disk fills while copying.
    const fault::ScopedFault exdev(fault::FaultRule::FailNth(fault::kRename, 1, EXDEV));
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kWrite, 1, ENOSPC));
    EXPECT_EQ(RenameOwnedFile(s_.get(), target, &error), kRenameNotDone);
    EXPECT_EQ(error, err::kDiskFull);
  }
  {
    // The target appears while copying: the atomic rename refuses it.
    const fault::ScopedFault exdev(fault::FaultRule::FailNth(fault::kRename, 1, EXDEV));
    const fault::ScopedFault exists(fault::FaultRule::FailNth(fault::kRename, 2, EEXIST));
    EXPECT_EQ(RenameOwnedFile(s_.get(), target, &error), kRenameTargetExists);
  }
  EXPECT_TRUE(FolderNames(dir_).empty()) << "a temporary copy was left";
  EXPECT_EQ(ReadWholeFile(work_file_), bytes_);
  EXPECT_TRUE(OwnsFile(s_.get()));
  EXPECT_EQ(FilePath(s_.get()), work_file_);
  EXPECT_EQ(ReadAll(s_.get(), 70000, kS16), Samples());
}

}  // namespace
}  // namespace tidemark
