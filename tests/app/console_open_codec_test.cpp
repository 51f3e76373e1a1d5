// What the console says when a file needs a codec library this build does
// not have, as opposed to a WAV file in an encoding other than PCM or float.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/console_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

constexpr char kCodecText[] = "The codec library could not be loaded.";
constexpr char kWaveEncodingText[] = "This WAV file stores its sound in an encoding other than PCM or floating point.";

TEST(ConsoleOpenCodec, CodecRowsNameTheLibraryAndCompressedWaveTheEncoding) {
  const std::string dir = testing::MakeTempDir("console_codec");
  // The bytes do not matter: the extension decides before anything is read.
  const std::vector<std::uint8_t> wave = testing::Pcm16Wave(1, 8000, 10, 1);
  for (const char* name : {"song.flac", "song.mp3", "song.ogg", "song.opus", "song.wma", "clip.avi"}) {
    SCOPED_TRACE(name);
    testing::WriteWholeFile(dir + "/" + name, wave);
    testing::ConsoleRun run;
    EXPECT_EQ(run.session.Execute("open " + dir + "/" + name), console::Result::kFailed);
    EXPECT_NE(run.err.str().find(kCodecText), std::string::npos) << run.err.str();
    EXPECT_EQ(run.err.str().find("WAV"), std::string::npos) << run.err.str();
  }
  testing::RiffBuilder adpcm;
  adpcm.Chunk("fmt ", testing::FormatBody(2, 1, 8000, 256, 4).bytes()).Chunk("data", std::vector<std::uint8_t>(256));
  testing::WriteWholeFile(dir + "/adpcm.wav", adpcm.Bytes());
  testing::ConsoleRun run;
  EXPECT_EQ(run.session.Execute("open " + dir + "/adpcm.wav"), console::Result::kFailed);
  EXPECT_NE(run.err.str().find(kWaveEncodingText), std::string::npos) << run.err.str();
}

}  // namespace
}  // namespace tidemark
