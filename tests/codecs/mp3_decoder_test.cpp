#include "codecs/mp3_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/codec_library.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

namespace fs = std::filesystem;

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path p = fs::temp_directory_path() / "mp3_decoder_test";
    fs::create_directories(p);
    return p;
  }();
  return folder;
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Interleaved float samples as ffmpeg decodes `path`.
std::vector<float> FfmpegDecode(const fs::path& path) {
  const fs::path raw = Folder() / (path.filename().string() + ".f32");
  EXPECT_EQ(Shell("/usr/bin/ffmpeg -v error -y -i '" + path.string() + "' -f f32le '" + raw.string() + "'"), 0);
  const auto bytes = ReadBytes(raw);
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

struct Decoded {
  Error rc;
  SoundFileInfo info;
  std::vector<float> samples;
};

Decoded Decode(const fs::path& path) {
  Decoded d;
  SegmentList segments;
  d.rc = ReadMp3File(path.string(), true, &d.info, &segments);
  if (d.rc) return d;
  d.samples.resize(static_cast<std::size_t>(d.info.frames) * d.info.channels);
  SegmentCursor cursor(segments, d.info.channels, d.info.frames);
  EXPECT_EQ(cursor.Read(d.info.frames, d.samples.data(), sample_code::kFloat), 0u);
  return d;
}

double SnrDb(const std::vector<float>& reference, const std::vector<float>& test) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < reference.size() && i < test.size(); ++i) {
    signal += double(reference[i]) * reference[i];
    noise += (double(reference[i]) - test[i]) * (double(reference[i]) - test[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-30));
}

double Correlation(const std::vector<float>& a, const std::vector<float>& b) {
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    ab += double(a[i]) * b[i];
    aa += double(a[i]) * a[i];
    bb += double(b[i]) * b[i];
  }
  return ab / std::sqrt(aa * bb);
}

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

TEST(Mp3Library, MissingLibraryNamesItsPackage) {
  const fs::path mp3 = Folder() / "hidden.mp3";
  WriteBytes(mp3, {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0});
  const fs::path empty = Folder() / "no_libraries";
  fs::create_directories(empty);
  ::setenv("TIDEMARK_CODEC_PATH", empty.c_str(), 1);
  detail::ResetCodecLibraries();
  const Decoded d = Decode(mp3);
  const std::string package = MissingCodecPackage();
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  EXPECT_EQ(d.rc, 37u);
  EXPECT_EQ(package, "libmpg123-0");
}

}  // namespace
}  // namespace tidemark
