#include "platform/file_ops.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::FileExists;
using testing::ReadFileText;
using testing::WriteFileText;

TEST(FileOps, RenameWithAndWithoutReplacing) {
  const std::string dir = testing::MakeTempDir("rename");
  const std::string a = dir + "/a", b = dir + "/b", c = dir + "/c";
  WriteFileText(a, "A");
  WriteFileText(b, "B");

  EXPECT_EQ(RenameFile(a, b, /*no_replace=*/true), err::OsError(EEXIST));
  EXPECT_EQ(LastFileErrno(), EEXIST);
  EXPECT_EQ(ReadFileText(a), "A");
  EXPECT_EQ(ReadFileText(b), "B");

  ASSERT_EQ(RenameFile(a, c, true), err::kOk);
  EXPECT_EQ(LastFileErrno(), 0);
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadFileText(c), "A");

  ASSERT_EQ(RenameFile(c, b, /*no_replace=*/false), err::kOk);
  EXPECT_FALSE(FileExists(c));
  EXPECT_EQ(ReadFileText(b), "A");

  EXPECT_EQ(RenameFile(dir + "/missing", c, false), err::OsError(ENOENT));
  EXPECT_EQ(LastFileErrno(), ENOENT);
}

TEST(FileOps, NoReplaceRenameWithoutKernelSupportUsesALink) {
  const std::string dir = testing::MakeTempDir("rename-fallback");
  const std::string a = dir + "/a", b = dir + "/b", c = dir + "/c";
  WriteFileText(a, "A");
  WriteFileText(b, "B");
  {
    fault::ScopedFault no_flag(fault::FaultRule::FailNth(fault::kRename, 1, EINVAL).Sticky());
    EXPECT_EQ(RenameFile(a, b, true), err::OsError(EEXIST));
    EXPECT_EQ(ReadFileText(b), "B");
    ASSERT_EQ(RenameFile(a, c, true), err::kOk);
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ(ReadFileText(c), "A");
  }
  {
    // Removing the old name fails: the new name is taken back.
    fault::ScopedFault no_flag(fault::FaultRule::FailNth(fault::kRename, 1, EINVAL));
    fault::ScopedFault busy(fault::FaultRule::FailNth(fault::kUnlink, 1, EBUSY));
    EXPECT_EQ(RenameFile(c, dir + "/d", true), err::OsError(EBUSY));
    EXPECT_EQ(LastFileErrno(), EBUSY);
    EXPECT_EQ(ReadFileText(c), "A");
    EXPECT_FALSE(FileExists(dir + "/d"));
  }
  {
    // A cross-device rename reports EXDEV so the caller can copy instead.
    fault::ScopedFault cross(fault::FaultRule::FailNth(fault::kRename, 1, EXDEV));
    EXPECT_EQ(RenameFile(c, dir + "/d", false), err::OsError(EXDEV));
    EXPECT_EQ(LastFileErrno(), EXDEV);
    EXPECT_EQ(ReadFileText(c), "A");
  }
}

TEST(FileOps, LinkAndUnlink) {
  const std::string dir = testing::MakeTempDir("link");
  const std::string a = dir + "/a", b = dir + "/b";
  WriteFileText(a, "A");
  ASSERT_EQ(LinkFile(a, b), err::kOk);
  EXPECT_EQ(ReadFileText(b), "A");
  EXPECT_EQ(LinkFile(a, b), err::OsError(EEXIST));
  EXPECT_EQ(LastFileErrno(), EEXIST);
  ASSERT_EQ(UnlinkFile(a), err::kOk);
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadFileText(b), "A");
  EXPECT_EQ(UnlinkFile(a), err::OsError(ENOENT));
  EXPECT_EQ(LastFileErrno(), ENOENT);
}

}  // namespace
}  // namespace tidemark
