// The clipboard stand-in: where the file lives, delayed rendering at close,
// ownership, emptying, and the refusals with 38.
#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::MakeTempDir("clip") + "/board.wav";
    setenv("TIDEMARK_CLIPBOARD", path_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TIDEMARK_CLIPBOARD");
    SetClipboardOpenFailsForTesting(false);
    fault::RemoveAllFaults();
  }
  std::string path_;
};

TEST_F(ClipboardTest, ThePathFollowsTheEnvironment) {
  EXPECT_EQ(ClipboardPath(), path_);
  unsetenv("TIDEMARK_CLIPBOARD");
  const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(ClipboardPath(), runtime + "/tidemark-clipboard.wav");
  const std::string saved = runtime;
  unsetenv("XDG_RUNTIME_DIR");
  SetClipboardFallbackFolder("/some/work/");
  EXPECT_EQ(ClipboardPath(), "/some/work/tidemark-clipboard.wav");
  SetClipboardFallbackFolder("");
  setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST_F(ClipboardTest, OfferedDataIsRenderedAtCloseAndOwned) {
  int rendered = 0;
  {
    ClipboardSession session;
    ASSERT_EQ(session.Open(), 0u);
    ASSERT_EQ(session.Empty(), 0u);
    session.OfferWave([&](std::vector<std::uint8_t>* image) {
      ++rendered;
      *image = Bytes("RIFF image");
      return err::kOk;
    });
    EXPECT_EQ(rendered, 0);  // delayed until the session closes
    ASSERT_EQ(session.Close(), 0u);
  }
  EXPECT_EQ(rendered, 1);
  ClipboardSession reader;
  ASSERT_EQ(reader.Open(), 0u);
  std::vector<std::uint8_t> image;
  ASSERT_EQ(reader.ReadWave(&image), 0u);
  EXPECT_EQ(image, Bytes("RIFF image"));
  EXPECT_TRUE(reader.OwnedByThisProcess());
  // Another writer's mark: no longer ours.
  std::ofstream(path_ + ".owner", std::ios::trunc) << "1";
  EXPECT_FALSE(reader.OwnedByThisProcess());
  ASSERT_EQ(reader.Empty(), 0u);
  ASSERT_EQ(reader.ReadWave(&image), 0u);
  EXPECT_TRUE(image.empty());
  EXPECT_FALSE(reader.OwnedByThisProcess());
  ASSERT_EQ(reader.Close(), 0u);

  // A renderer that fails keeps what was there.
  std::ofstream(path_, std::ios::trunc) << "old";
  ClipboardSession failing;
  ASSERT_EQ(failing.Open(), 0u);
  failing.OfferWave([](std::vector<std::uint8_t>*) { return err::kSizeLimit; });
  EXPECT_EQ(failing.Close(), err::kSizeLimit);
  ClipboardSession check;
  ASSERT_EQ(check.Open(), 0u);
  ASSERT_EQ(check.ReadWave(&image), 0u);
  EXPECT_EQ(image, Bytes("old"));
}

TEST_F(ClipboardTest, OpeningFailsWith38) {
  SetClipboardOpenFailsForTesting(true);
  ClipboardSession hooked;
  EXPECT_EQ(hooked.Open(), err::kClipboardUnavailable);
  std::vector<std::uint8_t> image;
  EXPECT_EQ(hooked.ReadWave(&image), err::kClipboardUnavailable);
  SetClipboardOpenFailsForTesting(false);

  {
    fault::ScopedFault refuse(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES));
    ClipboardSession faulted;
    EXPECT_EQ(faulted.Open(), err::kClipboardUnavailable);
    EXPECT_TRUE(refuse.fired());
  }
  // A folder that does not exist cannot hold the lock file.
  setenv("TIDEMARK_CLIPBOARD", (path_ + "/missing/board.wav").c_str(), 1);
  ClipboardSession nowhere;
  EXPECT_EQ(nowhere.Open(), err::kClipboardUnavailable);
  setenv("TIDEMARK_CLIPBOARD", path_.c_str(), 1);

  // Held by another session: refused after a short wait.
  ClipboardSession holder;
  ASSERT_EQ(holder.Open(), 0u);
  ClipboardSession second;
  EXPECT_EQ(second.Open(), err::kClipboardUnavailable);
  ASSERT_EQ(holder.Close(), 0u);
  EXPECT_EQ(second.Open(), 0u);
}

}  // namespace
}  // namespace tidemark
