// "tide.ini" on disk: the settings folder, where the file is read from and
// written to, the encodings of files written by hand and the crash-safe
// replacement of the old file.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "config/config_file_io.h"
#include "config/settings.h"
#include "config/settings_folder.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/system_info.h"
#include "tests/platform/file_test_util.h"
#include "tests/platform/env_override.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::EnvOverride;

using testing::FolderNames;
using testing::ReadFileText;
using testing::WriteFileText;

// A private XDG_CONFIG_HOME for one test.
class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest()
      : config_home_(testing::MakeTempDir("config-home")),
        xdg_("XDG_CONFIG_HOME", config_home_.c_str()),
        folder_(config_home_ + "/Fernwick/Tidemark") {}

  std::string config_home_;
  EnvOverride xdg_;
  std::string folder_;
};

TEST_F(SettingsFileTest, SettingsFolderIsCreatedBelowXdgConfigHome) {
  EXPECT_EQ(GetPathKind(folder_), PathKind::kMissing);
  EXPECT_EQ(SettingsFolder(), folder_);
  EXPECT_EQ(GetPathKind(folder_), PathKind::kFolder);
  struct stat st {};
  ASSERT_EQ(stat(folder_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  EXPECT_EQ(ConfigWriteFolder(), folder_);
  EXPECT_EQ(ConfigWritePath("tide.ini"), folder_ + "/tide.ini");
  // A trailing slash in the variable changes nothing.
  const std::string slashed = config_home_ + "//";
  EnvOverride again("XDG_CONFIG_HOME", slashed.c_str());
  EXPECT_EQ(SettingsFolder(), folder_);
}

TEST_F(SettingsFileTest, HomeConfigWhenXdgConfigHomeIsUnsetOrRelative) {
  const std::string home = testing::MakeTempDir("home");
  EnvOverride home_env("HOME", home.c_str());
  {
    EnvOverride unset("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(SettingsFolder(), home + "/.config/Fernwick/Tidemark");
  }
  EnvOverride relative("XDG_CONFIG_HOME", "relative/path");
  EXPECT_EQ(SettingsFolder(), home + "/.config/Fernwick/Tidemark");
}

TEST_F(SettingsFileTest, FolderUnavailableWhenANameIsAFileOrThePathIsTooLong) {
  ASSERT_EQ(mkdir((config_home_ + "/Fernwick").c_str(), 0700), 0);
  WriteFileText(folder_, "not a folder");
  EXPECT_EQ(SettingsFolder(), "");
  // The program's own folder stands in for writing.
  EXPECT_EQ(ConfigWriteFolder(), ProgramFolder());

  const std::string deep = "/" + std::string(PATH_MAX, 'x');
  EnvOverride long_env("XDG_CONFIG_HOME", deep.c_str());
  EXPECT_EQ(SettingsFolder(), "");
}

TEST_F(SettingsFileTest, ReadPathRules) {
  const std::string settings = testing::MakeTempDir("settings");
  const std::string program = testing::MakeTempDir("program");
  EXPECT_EQ(ConfigReadPathIn(settings, program, "tide.ini"), "");
  EXPECT_EQ(ConfigReadPathIn("", "", "tide.ini"), "");
  WriteFileText(program + "/tide.ini", "[Tidemark]\n");
  EXPECT_EQ(ConfigReadPathIn(settings, program, "tide.ini"), program + "/tide.ini");
  // An empty file in the settings folder does not count...
  WriteFileText(settings + "/tide.ini", "");
  EXPECT_EQ(ConfigReadPathIn(settings, program, "tide.ini"), program + "/tide.ini");
  // ...a non-empty one does.
  WriteFileText(settings + "/tide.ini", "x");
  EXPECT_EQ(ConfigReadPathIn(settings, program, "tide.ini"), settings + "/tide.ini");
  EXPECT_EQ(ConfigReadPathIn(settings, "", "tide.ini"), settings + "/tide.ini");
  // A folder of that name is not a file.
  const std::string other = testing::MakeTempDir("other");
  ASSERT_EQ(mkdir((other + "/tide.ini").c_str(), 0700), 0);
  EXPECT_EQ(ConfigReadPathIn(other, other, "tide.ini"), "");
}

TEST_F(SettingsFileTest, NoFileMeansBuiltInValuesAndSavingCreatesIt) {
  Settings s;
  EXPECT_EQ(LoadSettings(&s), err::kOk);
  EXPECT_TRUE(s == Settings());
  s.record_directory = "/rec";
  s.SetOption(OptionBit::kKeepWorkspace, true);
  ASSERT_EQ(SaveSettings(s), err::kOk);
  const std::string bytes = ReadFileText(folder_ + "/tide.ini");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  Settings back;
  EXPECT_EQ(LoadSettings(&back), err::kOk);
  EXPECT_TRUE(back == s);
  // Nothing but the file is left in the folder.
  EXPECT_EQ(FolderNames(folder_), std::vector<std::string>{"tide.ini"});
}

TEST_F(SettingsFileTest, HandWrittenFilesUtf16AndNarrow) {
  ASSERT_FALSE(SettingsFolder().empty());
  const std::string path = folder_ + "/tide.ini";
  WriteFileText(path, testing::Utf16Bytes(u"[Tidemark]\r\nRecordDirectory=/r\u00e9c\r\n"));
  Settings a;
  ASSERT_EQ(LoadSettings(&a), err::kOk);
  EXPECT_EQ(a.record_directory, "/r\xC3\xA9""c");
  // Narrow text, in the process's narrow code page: the ASCII part reads
  // whatever that page is.
  WriteFileText(path, "[Tidemark]\nWaveOutVolume=33\n");
  Settings d;
  ASSERT_EQ(LoadSettings(&d), err::kOk);
  EXPECT_EQ(d.wave_out_volume, 33);
}

TEST_F(SettingsFileTest, UnreadableFileKeepsBuiltInValues) {
  Settings s;
  EXPECT_NE(LoadSettingsFrom(folder_ + "/missing.ini", &s), err::kOk);
  EXPECT_TRUE(s == Settings());
  const std::string dir = testing::MakeTempDir("dir-as-file");
  EXPECT_NE(LoadSettingsFrom(dir, &s), err::kOk);
  EXPECT_TRUE(s == Settings());
  {
    const fault::ScopedFault fail(fault::FaultRule::FailNth(fault::kRead, 1, EIO).Sticky());
    const std::string path = dir + "/tide.ini";
    WriteFileText(path, "[Tidemark]\nWaveOutVolume=1\n");
    EXPECT_NE(LoadSettingsFrom(path, &s), err::kOk);
    EXPECT_TRUE(s == Settings());
  }
}

TEST_F(SettingsFileTest, AFullDiskLeavesTheOldFileIntact) {
  const std::string path = testing::MakeTempDir("replace") + "/tide.ini";
  Settings old_settings;
  old_settings.record_directory = "/old";
  ASSERT_EQ(SaveSettingsTo(path, old_settings), err::kOk);
  const std::string old_bytes = ReadFileText(path);

  Settings new_settings;
  new_settings.record_directory = "/new";
  {
    const fault::ScopedFault full(fault::FaultRule::DiskFullAt(100));
    EXPECT_EQ(SaveSettingsTo(path, new_settings), err::kDiskFull);
    EXPECT_TRUE(full.fired());
  }
  EXPECT_EQ(ReadFileText(path), old_bytes);
  // No temporary file is left behind.
  const std::string folder = path.substr(0, path.rfind('/'));
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"tide.ini"});
}

TEST_F(SettingsFileTest, EveryFaultPointLeavesTheOldOrTheNewFile) {
  const std::string folder = testing::MakeTempDir("fault-loop");
  const std::string path = folder + "/tide.ini";
  Settings a, b;
  a.record_directory = "/a";
  b.record_directory = "/b";
  ASSERT_EQ(SaveSettingsTo(path, a), err::kOk);
  const std::string a_bytes = ReadFileText(path);
  std::uint64_t faults = 0;
  for (std::uint64_t n = 1; n <= 100; ++n) {
    Error rc;
    bool fired;
    {
      // Every system call of the save may fail, one at a time.
      const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kAllOps, n, EIO));
      rc = SaveSettingsTo(path, b);
      fired = fault.fired();
    }
    Settings back;
    ASSERT_EQ(LoadSettingsFrom(path, &back), err::kOk) << n;
    if (rc == err::kOk) {
      EXPECT_EQ(back.record_directory, "/b") << n;
    } else {
      EXPECT_TRUE(fired) << n;
      EXPECT_EQ(ReadFileText(path), a_bytes) << n;
    }
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"tide.ini"}) << n;
    if (!fired) break;
    ++faults;
    ASSERT_EQ(SaveSettingsTo(path, a), err::kOk);  // back to the old file for the next run
  }
  EXPECT_GE(faults, 3u);  // open, write, fsync, close, rename at least
}

TEST_F(SettingsFileTest, SaveFailsWithoutAFolderAndReportsIt) {
  EXPECT_NE(SaveSettingsTo(folder_ + "/no/such/folder/tide.ini", Settings()), err::kOk);
}

}  // namespace
}  // namespace tidemark
