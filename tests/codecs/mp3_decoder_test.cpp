#include "codecs/mp3_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codecs/codec_library.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("mp3_decoder_test"); }

Decoded Decode(const fs::path& path) { return DecodeWith(ReadMp3File, path); }

struct LameCase {
  const char* options;
  int channels;
  int rate;
  double seconds;
  double min_snr_db;
};

class Mp3FromLame : public ::testing::TestWithParam<LameCase> {};

// Files the reference encoder writes open at their exact original length
// (delay and padding from the LAME header removed), with the samples ffmpeg
// decodes, and close to the original.
TEST_P(Mp3FromLame, ExactLengthAndPeerSamples) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/lame");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const LameCase c = GetParam();
  const std::string stem = std::string("lame") + std::to_string(c.channels) + "_" + std::to_string(c.rate) + "_" +
                           std::to_string(static_cast<int>(c.min_snr_db));
  const fs::path wav = Folder() / (stem + ".wav");
  const fs::path mp3 = Folder() / (stem + ".mp3");
  // Music-like: two partials and a quiet noise floor, seeded.
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                  " -b 16 '" + wav.string() + "' synth " + std::to_string(c.seconds) +
                  " sine 440 sine 1234 vol 0.4"),
            0);
  ASSERT_EQ(Shell(std::string("/usr/bin/lame -S ") + c.options + " '" + wav.string() + "' '" + mp3.string() + "'"),
            0);
  const std::vector<float> original = FfmpegDecode(wav);
  const Decoded d = Decode(mp3);
  ASSERT_EQ(d.rc, 0u);
  EXPECT_EQ(d.info.channels, c.channels);
  EXPECT_EQ(d.info.rate, static_cast<std::uint32_t>(c.rate));
  EXPECT_EQ(d.info.code, sample_code::kFloat);
  EXPECT_EQ(d.samples.size(), original.size());
  const std::vector<float> peer = FfmpegDecode(mp3);
  EXPECT_EQ(d.samples.size(), peer.size());
  EXPECT_GE(Correlation(d.samples, peer), 0.999);
  EXPECT_GE(SnrDb(original, d.samples), c.min_snr_db);
}

INSTANTIATE_TEST_SUITE_P(Bitrates, Mp3FromLame,
                         ::testing::Values(LameCase{"-b 192", 2, 44100, 3.01, 20.0},
                                           LameCase{"-V 2", 2, 48000, 2.5, 15.0},
                                           LameCase{"-b 64 -m m", 1, 22050, 1.7, 10.0}));

// Bad input: a clear refusal or the decodable part, never a crash or a
// length from nowhere.
TEST(Mp3Damage, BadFilesAreRefusedOrCut) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/lame");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const fs::path wav = Folder() / "damage.wav";
  const fs::path mp3 = Folder() / "damage.mp3";
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 2 sine 500"), 0);
  ASSERT_EQ(Shell("/usr/bin/lame -S -b 128 '" + wav.string() + "' '" + mp3.string() + "'"), 0);
  const auto good = ReadBytes(mp3);
  const std::uint32_t full = 88200;

  std::mt19937 random(3);
  std::vector<std::uint8_t> garbage(700);
  for (auto& b : garbage) b = static_cast<std::uint8_t>(random() & 0x7F);  // no sync byte
  std::vector<std::uint8_t> garbage_first = garbage;
  garbage_first.insert(garbage_first.end(), good.begin(), good.end());
  const std::vector<std::uint8_t> only_id3 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<std::uint8_t> half(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool opens;
    std::uint32_t max_frames;
  };
  const std::vector<Case> cases = {
      {"empty", {}, false, 0},
      {"only ID3 tags", only_id3, false, 0},
      {"garbage only", garbage, false, 0},
      {"FLAC named .mp3", {'f', 'L', 'a', 'C', 0, 0, 0, 34}, false, 0},
      {"garbage before the first frame", garbage_first, true, full},
      {"cut in half", half, true, full},
  };
  for (const Case& c : cases) {
    const fs::path damaged = Folder() / "damaged.mp3";
    WriteBytes(damaged, c.bytes);
    const Decoded d = Decode(damaged);
    if (c.opens) {
      ASSERT_EQ(d.rc, 0u) << c.name;
      EXPECT_GT(d.info.frames, 0u) << c.name;
      EXPECT_LE(d.info.frames, c.max_frames + 1152u) << c.name;
    } else {
      EXPECT_EQ(d.rc, 14u) << c.name;
    }
  }
}

}  // namespace
}  // namespace tidemark
