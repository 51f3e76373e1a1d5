// The program's start-up and shutdown, driven as a user would: which runs
// restore and keep the workspace, a session continued in a fresh process,
// kill -9 in the middle of edits, the settings saved, the code page decided,
// status lines shown, and the command line's "--workspace" and "--".
#include <gtest/gtest.h>
#include <signal.h>
#include <omp.h>
#include <poll.h>
#include <sched.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/console_instance.h"
#include "app/console_startup.h"
#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/workspace/workspace_file.h"
#include "tests/app/console_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

class ProgramWorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    console::LoadStartupTexts();
    ASSERT_FALSE(UiText(text::kStatusNoFurtherMarker).empty());
    dir_ = testing::MakeTempDir("program_workspace");
    ASSERT_EQ(::mkdir((dir_ + "/tmp").c_str(), 0700), 0);
    testing::WriteWholeFile(dir_ + "/in.wav", testing::Pcm16Wave(2, 8000, 4000, 21));
  }
  // The program with its own temporary and settings folders, commands
  // from `commands`.
  int Tidemark(const std::string& args, const std::string& commands, std::string* output = nullptr) {
    testing::WriteFileText(dir_ + "/commands.txt", commands);
    const std::string env = "cd " + dir_ + " && TMPDIR=" + dir_ + "/tmp XDG_CONFIG_HOME=" + dir_ +
                            "/config TIDEMARK_INSTANCE=ws-test-" + std::to_string(::getpid()) + " ";
    std::string out;
    const int rc = testing::Run(env + TIDEMARK_EDIT_PROGRAM + " " + args + " < " + dir_ + "/commands.txt", &out);
    if (output) *output = out;
    return rc;
  }
  std::string WorkspaceFile() const { return dir_ + "/tmp/__tide__/" + kWorkspaceFileName; }

  std::string dir_;
};

TEST_F(ProgramWorkspaceTest, RunTable) {
  std::string out;
  ASSERT_EQ(Tidemark("--workspace in.wav", "gain -3\nmarker add 0.1 one\n", &out), 0) << out;
  ASSERT_TRUE(testing::FileExists(WorkspaceFile()));
  const std::string kept = testing::ReadFileText(WorkspaceFile());
  struct Row {
    const char* args;
    const char* commands;
    const char* expect;
    bool file_after;  // the workspace file exists afterwards
  };
  const Row rows[] = {
      // A plain pipe run neither restores nor touches the file.
      {"", "docs\n", "no documents open", true},
      {"in.wav", "close!\n", "", true},
      // --workspace restores, whatever the input, and keeps at exit.
      {"--workspace", "docs\n", "restored 1 document(s)", true},
      // No document open at exit: nothing stale is left to restore.
      {"--workspace", "close!\n", "restored 1 document(s)", false},
      {"--workspace", "docs\n", "no documents open", false},
  };
  for (const Row& row : rows) {
    Tidemark(row.args, row.commands, &out);
    EXPECT_NE(out.find(row.expect), std::string::npos) << row.args << ": " << out;
    EXPECT_EQ(testing::FileExists(WorkspaceFile()), row.file_after) << row.args << " " << row.commands;
    if (row.file_after && std::string(row.args).empty()) {
      EXPECT_EQ(testing::ReadFileText(WorkspaceFile()), kept);
    }
  }
}

// Random commands split over two processes, the second restoring what the
// first kept, end in the same samples, history and markers as one process.
TEST_F(ProgramWorkspaceTest, SessionContinuesInAFreshProcess) {
  const char* const steps[] = {"gain -2",        "select 0.05 0.1", "delete",         "insert-silence 20",
                               "marker add 0.2 a", "undo",          "redo",           "select 0.01 0.3",
                               "silence",        "offset 0.01",     "undo",           "tag artist someone"};
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    std::mt19937 rng32(seed);
    std::string first, second;
    for (int i = 0; i < 10; ++i) (i < 5 ? first : second) += std::string(steps[static_cast<std::uint32_t>(rng32()) % std::size(steps)]) + "\n";
    const std::string probe =
        "help onerror\nhistory\nmarker list\ntag\ninfo\nsaveas " + dir_ + "/out" + std::to_string(seed);
    std::string one, two, out;
    ASSERT_EQ(Tidemark("in.wav", "onerror continue\n" + first + second + probe + "a.wav\n", &one), 0) << one;
    ASSERT_EQ(Tidemark("--workspace in.wav", "onerror continue\n" + first, &out), 0) << out;
    ASSERT_EQ(Tidemark("--workspace", "onerror continue\n" + second + probe + "b.wav\nclose!\n", &two), 0) << two;
    EXPECT_EQ(testing::FileSamples(dir_ + "/out" + std::to_string(seed) + "a.wav"),
              testing::FileSamples(dir_ + "/out" + std::to_string(seed) + "b.wav"))
        << seed;
    // The listings after the help line agree.
    const std::string sentinel = "onerror stop|continue";
    ASSERT_NE(one.find(sentinel), std::string::npos) << one;
    ASSERT_NE(two.find(sentinel), std::string::npos) << two;
    EXPECT_EQ(one.substr(one.find(sentinel)), two.substr(two.find(sentinel))) << first << second;
  }
}

// kill -9 while a long run of edits autosaves: the next start restores a
// whole workspace holding some prefix of the edits.
TEST_F(ProgramWorkspaceTest, KillDuringEditsLeavesARestorableWorkspace) {
  std::string many;
  for (int i = 0; i < 400; ++i) many += i % 2 ? "gain -1\n" : "marker add 0." + std::to_string(i % 9) + " m\n";
  testing::WriteFileText(dir_ + "/many.txt", many);
  std::mt19937 rng32(7);
  for (int round = 0; round < 4; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const std::string cmd = "cd " + dir_ + " && TMPDIR=" + dir_ + "/tmp XDG_CONFIG_HOME=" + dir_ +
                              "/config exec " + TIDEMARK_EDIT_PROGRAM + " --workspace in.wav < many.txt >/dev/null";
      ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::usleep(50000 + static_cast<std::uint32_t>(rng32()) % 300000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    std::string out;
    EXPECT_EQ(Tidemark("--workspace", "docs\n", &out), 0) << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << out;
    EXPECT_FALSE(testing::FileExists(dir_ + "/tmp/__tide__.000")) << out;
    // A kill before the first document opened leaves nothing to restore.
    if (out.find("no documents open") == std::string::npos) {
      EXPECT_EQ(Tidemark("--workspace", "close!\n", &out), 0) << out;
    }
  }
}

TEST_F(ProgramWorkspaceTest, StartupAndShutdownWiring) {
  std::string out;
  // The settings are written at exit, and the code page is decided (the
  // registry value is created) before the catalogue loads.
  ASSERT_EQ(Tidemark("in.wav", "info\n", &out), 0) << out;
  EXPECT_TRUE(testing::FileExists(dir_ + "/config/Fernwick/Tidemark/tide.ini"));
  EXPECT_NE(testing::ReadFileText(dir_ + "/config/Fernwick/Tidemark/registry.ini").find("D\0e\0f\0a\0u\0l\0t", 0, 14),
            std::string::npos);
  // A status line of the core becomes a notice.
  ASSERT_EQ(Tidemark("in.wav", "marker add 0.1 a\nregion next\nregion next\n", &out), 0) << out;
  EXPECT_NE(out.find("notice: " + std::string(UiText(text::kStatusNoFurtherMarker))), std::string::npos) << out;
  // "--" ends the options: a file named like one opens.
  testing::WriteWholeFile(dir_ + "/--workspace", testing::Pcm16Wave(1, 8000, 100, 3));
  ASSERT_EQ(Tidemark("-- --workspace", "info\n", &out), 0) << out;
  EXPECT_NE(out.find("100 frames"), std::string::npos) << out;
  EXPECT_FALSE(testing::FileExists(WorkspaceFile()));
}

// Switching projects keeps each project's documents in its own folder.
TEST_F(ProgramWorkspaceTest, ProjectSwitchKeepsAndRestores) {
  std::string out;
  ASSERT_EQ(Tidemark("--workspace", "new 8000 1\nproject " + dir_ + "/p2\ndocs\nnew 8000 2\nproject " + dir_ +
                                        "/tmp\ninfo\n",
                     &out),
            0)
      << out;
  EXPECT_NE(out.find("no documents open"), std::string::npos) << out;
  EXPECT_NE(out.find("restored 1 document(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("8000 Hz, 1 channels"), std::string::npos) << out;
  EXPECT_TRUE(testing::FileExists(dir_ + "/p2/__tide__/" + kWorkspaceFileName));
  EXPECT_TRUE(testing::FileExists(WorkspaceFile()));
  ASSERT_EQ(Tidemark("", "project " + dir_ + "/p2\n", &out), 1);  // a run that keeps no workspace
}

// A piped --workspace run refuses while an interactive instance runs; a
// plain piped run goes on beside it.
TEST_F(ProgramWorkspaceTest, PipedWorkspaceRunRefusesBesideARunningInstance) {
  console::InstanceServer server;
  bool held = false;
  ASSERT_EQ(server.Listen("ws-test-" + std::to_string(::getpid()), &held), 0u);
  ASSERT_FALSE(held);
  std::string out;
  EXPECT_EQ(Tidemark("--workspace in.wav", "info\n", &out), 1);
  EXPECT_FALSE(testing::FileExists(WorkspaceFile()));
  EXPECT_EQ(Tidemark("in.wav", "info\n", &out), 0) << out;
}

// A program on a pseudo-terminal, as a user at a terminal runs it.
class Terminal {
 public:
  explicit Terminal(const std::string& command) {
    pid_ = ::forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  void Type(const std::string& text) { EXPECT_EQ(::write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  // Reads what the program shows until `text` appears (5 s at most).
  bool WaitFor(const std::string& text) {
    for (int waited = 0; waited < 5000 && shown_.find(text) == std::string::npos;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) {
        waited += 50;
        continue;
      }
      char buf[512];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      shown_.append(buf, static_cast<std::size_t>(n));
    }
    const std::size_t at = shown_.find(text);
    if (at == std::string::npos) return false;
    shown_.erase(0, at + text.size());
    return true;
  }
  int Exit() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  bool exited_ = false;
  std::string shown_;
};

// Two interactive starts: the second hands its file to the first and
// exits; the first keeps both documents when told so at quit.
TEST_F(ProgramWorkspaceTest, SecondInteractiveStartHandsItsFilesOver) {
  testing::WriteWholeFile(dir_ + "/b.wav", testing::Pcm16Wave(1, 8000, 500, 5));
  const std::string env = "cd " + dir_ + " && TMPDIR=" + dir_ + "/tmp XDG_CONFIG_HOME=" + dir_ +
                          "/config TIDEMARK_INSTANCE=ws-pty-" + std::to_string(::getpid()) + " exec " +
                          TIDEMARK_EDIT_PROGRAM;
  Terminal first(env + " in.wav");
  ASSERT_TRUE(first.WaitFor("tidemark> "));
  {
    Terminal second(env + " b.wav");
    EXPECT_TRUE(second.WaitFor(console::Session::Format(text::kConsoleAlreadyRunning, "1")));
    EXPECT_EQ(second.Exit(), 0);
  }
  first.Type("docs\n");
  ASSERT_TRUE(first.WaitFor("b.wav"));
  first.Type("gain -1\nquit\n");
  ASSERT_TRUE(first.WaitFor("[y/n]"));
  first.Type("y\n");
  EXPECT_EQ(first.Exit(), 0);
  std::string out;
  ASSERT_EQ(Tidemark("--workspace", "docs\nclose!\nclose!\n", &out), 0) << out;
  EXPECT_NE(out.find("restored 2 document(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("b.wav"), std::string::npos) << out;
}

// Replacing a large file other documents read asks first on a terminal; a
// "no" leaves the file as it was. The file lies on another file system than
// the working folder, so that it must be copied aside, not linked.
// A take started without a length runs in the background; Ctrl-C at the
// prompt ends it as `stop` does, and the take opens.
TEST_F(ProgramWorkspaceTest, CtrlCAtThePromptEndsABackgroundTake) {
  Terminal t("cd " + dir_ + " && TMPDIR=" + dir_ + "/tmp XDG_CONFIG_HOME=" + dir_ + "/config TIDEMARK_INSTANCE=ws-rec-" +
             std::to_string(::getpid()) + " exec " + TIDEMARK_EDIT_PROGRAM);
  ASSERT_TRUE(t.WaitFor("tidemark> "));
  t.Type("device in null\nrecord take.wav rate=8000 channels=1\n");
  ASSERT_TRUE(t.WaitFor("tidemark> "));
  ASSERT_TRUE(t.WaitFor("tidemark> "));
  ::usleep(300 * 1000);
  t.Type("\x03");
  ASSERT_TRUE(t.WaitFor("tidemark> "));  // the terminal drops what is typed with the Ctrl-C
  t.Type("docs\n");
  EXPECT_TRUE(t.WaitFor("take.wav"));
  t.Type("quit\nn\n");
  EXPECT_EQ(t.Exit(), 0);
  EXPECT_GT(std::filesystem::file_size(dir_ + "/take.wav"), 44u);
}

TEST_F(ProgramWorkspaceTest, LargeDetachAsksOnATerminal) {
  const std::string shm = "/dev/shm/tidemark-detach-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(shm.c_str(), 0700), 0);
  testing::WriteWholeFile(shm + "/big.wav", testing::Pcm16Wave(2, 44100, 8500000, 6));
  const std::vector<std::uint8_t> before = testing::ReadWholeFile(shm + "/big.wav");
  {
    Terminal t("cd " + shm + " && TMPDIR=" + dir_ + "/tmp XDG_CONFIG_HOME=" + dir_ + "/config TIDEMARK_INSTANCE=ws-big-" +
               std::to_string(::getpid()) + " exec " + TIDEMARK_EDIT_PROGRAM + " big.wav");
    EXPECT_TRUE(t.WaitFor("tidemark> "));
    t.Type("saveas " + dir_ + "/other.wav\nnew 44100 2\nsaveas big.wav\n");
    EXPECT_TRUE(t.WaitFor("[y/n]"));
    t.Type("n\n");
    EXPECT_TRUE(t.WaitFor("tidemark> "));
    t.Type("close! 2\nclose! 1\nquit\n");
    EXPECT_EQ(t.Exit(), 1);  // the refused save counts as a failed command
  }
  EXPECT_TRUE(testing::ReadWholeFile(shm + "/big.wav") == before);
  std::error_code ec;
  std::filesystem::remove_all(shm, ec);
}

// Working files gone or cut short under a kept workspace: the documents
// whose data is whole come back, each other one is named with what it
// lacks, and the workspace as it was is kept beside with its files.
TEST_F(ProgramWorkspaceTest, RestoreLeavesOutDocumentsWhoseFilesAreGone) {
  testing::WriteWholeFile(dir_ + "/b.wav", testing::Pcm16Wave(1, 8000, 500, 5));
  std::string out;
  ASSERT_EQ(Tidemark("--workspace in.wav b.wav", "gain -1\n", &out), 0) << out;
  ASSERT_EQ(::truncate((dir_ + "/b.wav").c_str(), 300), 0);
  ASSERT_EQ(Tidemark("--workspace", "docs\n", &out), 0) << out;
  EXPECT_NE(out.find("restored 1 document(s)"), std::string::npos) << out;
  EXPECT_NE(out.find("in.wav"), std::string::npos) << out;
  EXPECT_NE(out.find("notice: workspace document 2 (" + dir_ + "/b.wav) was not restored: " + dir_ +
                     "/b.wav holds 128 of the 500 frames it reads"),
            std::string::npos)
      << out;
  const std::string kept = dir_ + "/tmp/__tide__.000";
  EXPECT_NE(out.find("kept in " + kept), std::string::npos) << out;
  EXPECT_TRUE(testing::FileExists(kept + "/" + kWorkspaceFileName));
  // The workspace written since names only what came back.
  ASSERT_EQ(Tidemark("--workspace", "docs\n", &out), 0) << out;
  EXPECT_NE(out.find("restored 1 document(s)"), std::string::npos) << out;
  EXPECT_EQ(out.find("was not restored"), std::string::npos) << out;
}

// A document read from a 1-bit file is left out of the workspace with a
// notice; the others are kept.
TEST_F(ProgramWorkspaceTest, OneBitDocumentIsLeftOutWithANotice) {
  testing::WriteWholeFile(dir_ + "/one.dsf", testing::DsfFile(2822400, 2, 1, 4096));
  std::string out;
  ASSERT_EQ(Tidemark("--workspace one.dsf in.wav", "docs\n", &out), 0) << out;
  EXPECT_NE(out.find("notice: document 1 reads a 1-bit file through its converter and is not kept in the workspace"),
            std::string::npos)
      << out;
  ASSERT_EQ(Tidemark("--workspace", "docs\n", &out), 0) << out;
  EXPECT_NE(out.find("restored 1 document(s)"), std::string::npos) << out;
  EXPECT_EQ(out.find("one.dsf"), std::string::npos) << out;
}

// A command that changes a setting saves the settings at once: a kill -9
// afterwards keeps them.
TEST_F(ProgramWorkspaceTest, SettingChangedMidSessionSurvivesKill) {
  const std::string ini = dir_ + "/config/Fernwick/Tidemark/tide.ini";
  std::string section;
  for (const char c : std::string("Effect Popup Menu")) section += {c, '\0'};
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[1]);
    const std::string command = "cd " + dir_ + " && TMPDIR=" + dir_ + "/tmp XDG_CONFIG_HOME=" + dir_ +
                                "/config TIDEMARK_INSTANCE=ws-kill-" + std::to_string(::getpid()) + " exec " +
                                TIDEMARK_EDIT_PROGRAM + " in.wav >/dev/null 2>&1";
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(input[0]);
  const std::string line = "select 0 0.1\neffect Volume gain=-3\n";
  ASSERT_EQ(::write(input[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
  // The program waits for its next command, its input still open.
  bool saved = false;
  for (int waited = 0; waited < 10000 && !saved; waited += 20) {
    saved = testing::FileExists(ini) && testing::ReadFileText(ini).find(section) != std::string::npos;
    if (!saved) ::usleep(20000);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0);  // still running
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  ::close(input[1]);
  ASSERT_TRUE(saved);
  EXPECT_NE(testing::ReadFileText(ini).find(section), std::string::npos);
}

// The OpenMP thread setting: at most the processors of the affinity mask;
// zero or less keeps what the runtime has.
TEST(StartupThreads, SettingBoundsTheWorkerCount) {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  ASSERT_EQ(::sched_getaffinity(0, sizeof mask, &mask), 0);
  const int processors = CPU_COUNT(&mask);
  const struct {
    int setting, expected;
  } rows[] = {{1, 1}, {0, 1}, {-3, 1}, {processors + 5, processors}, {-1, processors}};
  for (const auto& row : rows) {
    console::ApplyThreadSetting(row.setting);
    EXPECT_EQ(omp_get_max_threads(), row.expected) << row.setting;
  }
}

}  // namespace
}  // namespace tidemark
