// The console editor as a program: files from the command line, commands
// from a command file on standard input, and the exit status.
#include <gtest/gtest.h>

#include "tests/app/console_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

TEST(ConsoleProgram, RunsACommandFileAndStopsAtTheFirstFailure) {
  const std::string dir = testing::MakeTempDir("console_program");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 8000, 800, 9));
  testing::WriteWholeFile(dir + "/good.txt", {});
  const auto write_script = [&](const std::string& name, const std::string& text) {
    testing::WriteWholeFile(dir + "/" + name, std::vector<std::uint8_t>(text.begin(), text.end()));
  };
  write_script("good.txt", "select 100f 200f\ndelete\ninfo\nsaveas " + dir + "/out.aif\n");
  std::string output;
  EXPECT_EQ(testing::Run(std::string(TIDEMARK_EDIT_PROGRAM) + " " + dir + "/in.wav < " + dir + "/good.txt",
                         &output),
            0)
      << output;
  EXPECT_NE(output.find("length: 700 frames"), std::string::npos) << output;
  EXPECT_NE(output.find("undo: Delete"), std::string::npos) << output;
  const testing::DocumentPtr saved = testing::OpenDocument(dir + "/out.aif");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->length, 700u);
  EXPECT_EQ(saved->kind, PcmFileKind::AIFF);

  write_script("bad.txt", "select all\ndelete\nsilence now\nsaveas " + dir + "/half.wav\n");
  EXPECT_EQ(testing::Run(std::string(TIDEMARK_EDIT_PROGRAM) + " " + dir + "/in.wav < " + dir + "/bad.txt",
                         &output),
            1);
  EXPECT_FALSE(testing::FileExists(dir + "/half.wav"));
  EXPECT_NE(output.find("usage: silence"), std::string::npos) << output;

  // A file on the command line that cannot be opened fails the run.
  EXPECT_EQ(testing::Run(std::string(TIDEMARK_EDIT_PROGRAM) + " " + dir + "/missing.wav < /dev/null", &output), 1);
  EXPECT_NE(output.find("missing.wav"), std::string::npos) << output;
}

// A clip copied in one run is pasted in the next through the system
// clipboard file the environment names.
TEST(ConsoleProgram, ClipTravelsBetweenRunsThroughTheClipboardFile) {
  const std::string dir = testing::MakeTempDir("console_clipboard");
  testing::WriteWholeFile(dir + "/a.wav", testing::Pcm16Wave(2, 8000, 800, 31));
  testing::WriteWholeFile(dir + "/b.wav", testing::Pcm16Wave(2, 8000, 300, 32));
  const std::string env = "TIDEMARK_CLIPBOARD=" + dir + "/clip.wav ";
  const std::string program = std::string(TIDEMARK_EDIT_PROGRAM);
  std::string output;
  ASSERT_EQ(testing::Run("printf 'select 100f 200f\\ncopy\\n' | " + env + program + " " + dir + "/a.wav", &output),
            0)
      << output;
  ASSERT_TRUE(testing::FileExists(dir + "/clip.wav"));
  ASSERT_EQ(testing::Run("printf 'select 0 0\\npaste\\nsaveas " + dir + "/out.wav\\n' | " + env + program +
                             " " + dir + "/b.wav",
                         &output),
            0)
      << output;
  const std::vector<float> a = testing::FileSamples(dir + "/a.wav");
  const std::vector<float> b = testing::FileSamples(dir + "/b.wav");
  std::vector<float> ref(a.begin() + 2 * 100, a.begin() + 2 * 200);
  ref.insert(ref.end(), b.begin(), b.end());
  EXPECT_EQ(testing::FileSamples(dir + "/out.wav"), ref);
}

// Without $XDG_RUNTIME_DIR the clipboard file lives in the working folder:
// never in the folder the program was started from.
TEST(ConsoleProgram, ClipboardFallsBackToTheWorkingFolder) {
  const std::string dir = testing::MakeTempDir("console_clipboard_fallback");
  testing::WriteWholeFile(dir + "/a.wav", testing::Pcm16Wave(1, 8000, 500, 33));
  const std::string run = "(cd " + dir + " && env -u XDG_RUNTIME_DIR -u TIDEMARK_CLIPBOARD " +
                          std::string(TIDEMARK_EDIT_PROGRAM) + " a.wav)";
  std::string output;
  ASSERT_EQ(testing::Run("printf 'select 100f 200f\\ncopy\\n' | " + run, &output), 0) << output;
  for (const char* leftover : {"/tidemark-clipboard.wav", "/tidemark-clipboard.wav.lock",
                               "/tidemark-clipboard.wav.owner"})
    EXPECT_FALSE(testing::FileExists(dir + leftover)) << leftover;
  ASSERT_EQ(testing::Run("printf 'select 0 0\\npaste\\ninfo\\n' | " + run, &output), 0) << output;
  EXPECT_NE(output.find("length: 600 frames"), std::string::npos) << output;
}

}  // namespace
}  // namespace tidemark
