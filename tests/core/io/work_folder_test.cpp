#include "core/io/work_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "platform/env_expand.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/platform/env_override.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

namespace fs = std::filesystem;

// Restores the process-wide options after a test changed them.
class OptionsScope {
 public:
  OptionsScope() : saved_(GetCoreOptions()) {}
  ~OptionsScope() { MutableCoreOptions() = saved_; }

 private:
  CoreOptions saved_;
};

TEST(WorkFolder, ChoosesHostThenSettingThenTemporaryFolder) {
  const OptionsScope restore;
  std::string folder;
  // The default "%TEMP%" is the user's temporary folder (TMPDIR here).
  ASSERT_EQ(WorkFolder(&folder), err::kOk);
  EXPECT_EQ(folder, TempFolder() + "/__tide__");

  const std::string base = testing::MakeTempDir("base");
  const testing::EnvOverride var("TIDE_TEST_BASE", base.c_str());
  MutableCoreOptions().work_folder_setting = "%TIDE_TEST_BASE%/work/";
  ASSERT_EQ(WorkFolder(&folder), err::kOk);
  EXPECT_EQ(folder, base + "/work/__tide__");

  MutableCoreOptions().host_work_folder = base + "/host//";
  MutableCoreOptions().work_subfolder = "sub";
  ASSERT_EQ(WorkFolder(&folder), err::kOk);
  EXPECT_EQ(folder, base + "/host/sub");

  // An unusable setting falls back to the temporary folder.
  MutableCoreOptions().host_work_folder.clear();
  MutableCoreOptions().work_folder_setting = "%TIDE_TEST_UNSET%";
  ASSERT_EQ(WorkFolder(&folder), err::kOk);
  EXPECT_EQ(folder, TempFolder() + "/sub");
  MutableCoreOptions().work_subfolder = "a/b";
  EXPECT_EQ(WorkFolder(&folder), err::kNoWorkFile);
}

TEST(WorkFolder, NamesAreUniqueUpperCaseAndSkipTakenValues) {
  const OptionsScope restore;
  const std::string base = testing::MakeTempDir("names");
  MutableCoreOptions().host_work_folder = base;
  const std::string folder = base + "/__tide__";

  std::string path;
  detail::ForceNextWorkNameStart(0xABC0);
  ASSERT_EQ(NewWorkFileName("wav", &path), err::kOk);  // creates the folder on demand
  EXPECT_EQ(path, folder + "/wavABC0.tmp");
  EXPECT_EQ(testing::ReadFileText(path), "");
  struct stat st {};
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Taken values move on; the search wraps past 0xFFFF and skips 0.
  testing::WriteFileText(folder + "/wavABC1.tmp", "");
  detail::ForceNextWorkNameStart(0xABC0);
  ASSERT_EQ(NewWorkFileName("wav", &path), err::kOk);
  EXPECT_EQ(path, folder + "/wavABC2.tmp");
  testing::WriteFileText(folder + "/wavFFFF.tmp", "");
  detail::ForceNextWorkNameStart(0xFFFF);
  ASSERT_EQ(NewWorkFileName("wav", &path), err::kOk);
  EXPECT_EQ(path, folder + "/wav0001.tmp");

  // Drawn names: the fixed pattern, all different.
  auto matches_pattern = [&](const std::string& p) {
    const std::string prefix = folder + "/wav";
    if (p.size() != prefix.size() + 8 || p.compare(0, prefix.size(), prefix) != 0 || !p.ends_with(".tmp"))
      return false;
    for (std::size_t i = prefix.size(); i < prefix.size() + 4; ++i)
      if (!std::isdigit(static_cast<unsigned char>(p[i])) && (p[i] < 'A' || p[i] > 'F')) return false;
    return true;
  };
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(NewWorkFileName("wav", &path), err::kOk);
    EXPECT_TRUE(matches_pattern(path)) << path;
    EXPECT_TRUE(seen.insert(path).second) << path;
  }

  // Every value taken: one try per value, then 6. Another failure gives up at once.
  {
    const fault::ScopedFault taken(fault::FaultRule::FailNth(fault::kOpen, 1, EEXIST).Sticky());
    EXPECT_EQ(NewWorkFileName("wav", &path), err::kNoWorkFile);
    EXPECT_EQ(taken.seen(), 0xFFFFu);
    EXPECT_TRUE(path.empty());
  }
  {
    const fault::ScopedFault denied(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES).Sticky());
    EXPECT_EQ(NewWorkFileName("wav", &path), err::kNoWorkFile);
    EXPECT_EQ(denied.seen(), 1u);
  }
}

TEST(WorkFolder, RefusesFilesLinksAndForeignFolders) {
  const OptionsScope restore;
  const std::string base = testing::MakeTempDir("refuse");
  MutableCoreOptions().host_work_folder = base;
  const std::string folder = base + "/__tide__";
  std::string path;

  testing::WriteFileText(folder, "not a folder");
  EXPECT_EQ(NewWorkFileName("wav", &path), err::kFolderCreate);
  fs::remove(folder);

  const std::string target = testing::MakeTempDir("elsewhere");
  fs::create_directory_symlink(target, folder);
  EXPECT_EQ(NewWorkFileName("wav", &path), err::kNoWorkFile);
  EXPECT_TRUE(fs::is_empty(target));
  fs::remove(folder);

  // A parent that is a file.
  testing::WriteFileText(base + "/plain", "");
  MutableCoreOptions().host_work_folder = base + "/plain";
  EXPECT_EQ(NewWorkFileName("wav", &path), err::kFolderCreate);

  if (geteuid() == 0) {
    MutableCoreOptions().host_work_folder = base;
    fs::create_directory(folder);
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_EQ(NewWorkFileName("wav", &path), err::kNoWorkFile);
    EXPECT_TRUE(fs::is_empty(folder));
  }
}

TEST(WorkFolder, PathsAtTheLengthLimit) {
  const OptionsScope restore;
  const std::string base = testing::MakeTempDir("long");
  MutableCoreOptions().work_subfolder = "w";
  // Build a base whose working folder is exactly kMaxWorkFolderLength long.
  std::string host = base;
  while (host.size() + 201 + 50 < kMaxWorkFolderLength) host += "/" + std::string(200, 'd');
  host += "/" + std::string(kMaxWorkFolderLength - host.size() - 3, 'e');
  MutableCoreOptions().host_work_folder = host;
  std::string folder;
  ASSERT_EQ(WorkFolder(&folder), err::kOk);
  ASSERT_EQ(folder.size(), kMaxWorkFolderLength);
  std::string path;
  ASSERT_EQ(NewWorkFileName("wav", &path), err::kOk);
  EXPECT_EQ(path.size(), kMaxWorkFolderLength + 12);
  EXPECT_TRUE(testing::FileExists(path));

  MutableCoreOptions().host_work_folder = host + "x";
  EXPECT_EQ(WorkFolder(&folder), err::kInvalidPath);
  EXPECT_EQ(NewWorkFileName("wav", &path), err::kInvalidPath);
  // A component longer than the system allows.
  MutableCoreOptions().host_work_folder = base + "/" + std::string(NAME_MAX + 1, 'n');
  EXPECT_EQ(NewWorkFileName("wav", &path), err::kInvalidPath);
}

}  // namespace
}  // namespace tidemark
