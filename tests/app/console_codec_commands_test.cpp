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

TEST_F(ConsoleCodec, SaveAsMp3WithFieldsAndOpenItBack) {
  const std::string dir = testing::MakeTempDir("console_codec_mp3");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 44100, 20000, 5));
  testing::ConsoleRun run;
  console::Session& s = run.session;
  ASSERT_EQ(s.Execute("open " + dir + "/in.wav"), console::Result::kDone);
  for (const std::string bad : {"bitrate=400", "vbr=10", "quality=10", "channels=quad", "mode=fast", "id3=2",
                                "crc=2", "block=000000", "level=5"}) {
    EXPECT_EQ(s.Execute("saveas " + dir + "/bad.mp3 " + bad), console::Result::kFailed) << bad;
    EXPECT_FALSE(testing::FileExists(dir + "/bad.mp3")) << bad;
  }
  ASSERT_EQ(s.Execute("tag Name Title"), console::Result::kDone);
  EXPECT_EQ(s.Execute("saveas " + dir + "/out.mp3 vbr=4 quality=-1 channels=stereo crc=1 id3=4"),
            console::Result::kDone)
      << run.err.str();
  // The block form: ABR 128 kbit/s, joint stereo, ID3v2.3 in Unicode.
  EXPECT_EQ(s.Execute("saveas " + dir + "/word.bin mp3 block=01FF0200800000001000000000"), console::Result::kFailed);
  EXPECT_EQ(s.Execute("saveas " + dir + "/word.bin mp3 block=01FF02008000000010000000"), console::Result::kDone)
      << run.err.str();
  ASSERT_EQ(s.Execute("open " + dir + "/out.mp3"), console::Result::kDone) << run.err.str();
  EXPECT_EQ(s.active()->length, 20000u);
  EXPECT_EQ(s.active()->second_path, dir + "/out.mp3");
  run.out.str("");
  ASSERT_EQ(s.Execute("tag"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("Title"), std::string::npos) << run.out.str();
  run.out.str("");
  EXPECT_EQ(s.Execute("encoders"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("libmp3lame: MP3: saveas"), std::string::npos) << run.out.str();
}

// The Opus and Vorbis forms: good fields write a file that opens at the
// document's length, bad ones are refused and leave nothing.
TEST_F(ConsoleCodec, SaveAsOpusAndVorbis) {
  const std::string dir = testing::MakeTempDir("console_codec_lossy");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 48000, 30000, 5));
  testing::ConsoleRun run;
  console::Session& s = run.session;
  ASSERT_EQ(s.Execute("open " + dir + "/in.wav"), console::Result::kDone);
  struct Form {
    std::string args;
    bool ok;
  };
  for (const Form& f : {Form{"a.opus bitrate=64000 mode=cvbr signal=music complexity=5", true},
                        Form{"b.opus bitrate=1 mode=cbr", true},  // clamped to 6000
                        Form{"c.bin opus block=00F4010001010A0000000000", true},
                        Form{"d.opus complexity=11", false}, Form{"e.opus mode=abr", false},
                        Form{"f.opus block=00F4010001010A00000000", false},
                        Form{"g.ogg quality=-1", true}, Form{"h.oga bitrate=96000 maxbitrate=128000", true},
                        Form{"i.bin vorbis quality=10", true}, Form{"j.ogg quality=11", false},
                        Form{"k.ogg bitrate=7999", false}, Form{"l.ogg minbitrate=200000 maxbitrate=100000", false}}) {
    const std::string name = f.args.substr(0, f.args.find(' '));
    EXPECT_EQ(s.Execute("saveas " + dir + "/" + f.args), f.ok ? console::Result::kDone : console::Result::kFailed)
        << f.args << run.err.str();
    EXPECT_EQ(testing::FileExists(dir + "/" + name), f.ok) << f.args;
  }
  for (const char* name : {"/a.opus", "/b.opus", "/g.ogg", "/h.oga"}) {
    ASSERT_EQ(s.Execute("open " + dir + name), console::Result::kDone) << name << run.err.str();
    EXPECT_EQ(s.active()->length, 30000u) << name;
  }
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
