// The console's codec forms: saveas into FLAC with fields, refusals that
// change nothing, opening the result with the path in the second slot, and
// the encoders listing.
#include <gtest/gtest.h>

#include <string>

#include "codecs/codec_install.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "tests/app/console_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

class ConsoleCodec : public ::testing::Test {
 protected:
  void SetUp() override { InstallCodecs(); }
  // Other tests of this program expect the codec rows empty.
  void TearDown() override { InstallCodecReaders({}); }
};

TEST_F(ConsoleCodec, SaveAsFlacWithFieldsAndOpenItBack) {
  const std::string dir = testing::MakeTempDir("console_codec_save");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 8000, 8000, 5));
  testing::ConsoleRun run;
  console::Session& s = run.session;
  ASSERT_EQ(s.Execute("open " + dir + "/in.wav"), console::Result::kDone);

  struct Refused {
    std::string line;
    const char* file;
  };
  for (const Refused& r : {Refused{"saveas " + dir + "/a.flac level=9", "/a.flac"},
                           Refused{"saveas " + dir + "/b.flac bits=12", "/b.flac"},
                           Refused{"saveas " + dir + "/c.flac bogus=1", "/c.flac"},
                           Refused{"saveas " + dir + "/d.flac block=0500", "/d.flac"},
                           Refused{"saveas " + dir + "/e.wav level=5", "/e.wav"},
                           Refused{"saveas " + dir + "/f.flac Wave16 level=5", "/f.flac"}}) {
    EXPECT_EQ(s.Execute(r.line), console::Result::kFailed) << r.line;
    EXPECT_FALSE(testing::FileExists(dir + r.file)) << r.line;
  }
  EXPECT_EQ(s.Execute("saveas " + dir + "/out.flac level=8 verify=1"), console::Result::kDone) << run.err.str();
  EXPECT_EQ(s.Execute("saveas " + dir + "/word.bin flac block=05100000000000000000000000000000"),
            console::Result::kDone)
      << run.err.str();
  // A copy: the document keeps its own WAV path.
  EXPECT_EQ(*s.active()->path, dir + "/in.wav");

  ASSERT_EQ(s.Execute("open " + dir + "/out.flac"), console::Result::kDone) << run.err.str();
  const SoundDocument& opened = *s.active();
  EXPECT_FALSE(opened.path.has_value());
  EXPECT_EQ(opened.second_path, dir + "/out.flac");
  EXPECT_EQ(opened.length, 8000u);
  EXPECT_EQ(s.Execute("save"), console::Result::kFailed);  // never PCM over the FLAC file

  run.out.str("");
  EXPECT_EQ(s.Execute("encoders"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("libFLAC"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("libmpg123"), std::string::npos) << run.out.str();
}

// The FFmpeg writers from saveas: each extension or word with its fields,
// bad fields refused with nothing written, the result opened decoded.
TEST_F(ConsoleCodec, SaveAsThroughFfmpegAndOpenBack) {
  const std::string dir = testing::MakeTempDir("console_codec_ffmpeg");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 44100, 22050, 7));
  testing::ConsoleRun run;
  console::Session& s = run.session;
  ASSERT_EQ(s.Execute("open " + dir + "/in.wav"), console::Result::kDone);
  for (const char* line : {"/a.m4a bitrate=999", "/b.wma fdk=1", "/c.mp3 sysmp3 format=alaw", "/d.wav acm format=gsm",
                           "/e.m4a block=00"}) {
    EXPECT_EQ(s.Execute("saveas " + dir + line), console::Result::kFailed) << line;
    EXPECT_FALSE(testing::FileExists(dir + std::string(line).substr(0, 6))) << line;
  }
  for (const char* line : {"/ok.m4a bitrate=96 fdk=0", "/ok.wma", "/ok.mp3 sysmp3 bitrate=128", "/ok.wav acm format=mulaw",
                           "/blk.mp4 block=0077010000000000"}) {
    EXPECT_EQ(s.Execute("saveas " + dir + line), console::Result::kDone) << line << run.err.str();
  }
  EXPECT_EQ(*s.active()->path, dir + "/in.wav");
  ASSERT_EQ(s.Execute("open " + dir + "/ok.wav"), console::Result::kDone) << run.err.str();
  EXPECT_FALSE(s.active()->path.has_value());
  EXPECT_EQ(s.active()->second_path, dir + "/ok.wav");
  EXPECT_EQ(s.active()->length, 22050u);
  EXPECT_EQ(s.Execute("save"), console::Result::kFailed);  // never PCM over the µ-law file
}

}  // namespace
}  // namespace tidemark
