// Ogg Vorbis opens through FFmpeg's decoder when FFmpeg is there and
// through libvorbisfile when it is hidden: the same result, length and tags
// either way; the FFmpeg path gives ffmpeg's own samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/codec_library.h"
#include "codecs/vorbis_decoder.h"
#include "platform/error_numbers.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("vorbis_paths_test"); }

// Decodes with a search folder that holds libvorbisfile and nothing of FFmpeg.
Decoded DecodeWithoutFfmpeg(const fs::path& path) {
  const fs::path only = Folder() / "vorbisfile_only";
  fs::create_directories(only);
  std::error_code ignored;
  fs::create_symlink("/usr/lib/x86_64-linux-gnu/libvorbisfile.so.3", only / "libvorbisfile.so.3", ignored);
  ::setenv("TIDEMARK_CODEC_PATH", only.c_str(), 1);
  detail::ResetCodecLibraries();
  Decoded d = DecodeWith(ReadVorbisFile, path);
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  return d;
}

void Encode(const std::string& name, const std::string& layout, const std::string& synth,
            const std::string& oggenc_options) {
  const fs::path wav = Folder() / (name + ".wav");
  ASSERT_EQ(Shell("/usr/bin/sox -R -n " + layout + " -b 16 '" + wav.string() + "' " + synth), 0) << name;
  ASSERT_EQ(Shell("/usr/bin/oggenc -Q " + oggenc_options + " -t 'Title " + name + "' -a Someone -o '" +
                  (Folder() / (name + ".ogg")).string() + "' '" + wav.string() + "'"),
            0)
      << name;
}

std::vector<std::uint8_t> Concatenated(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::vector<std::uint8_t> out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

float WorstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  float worst = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

TEST(VorbisPaths, FfmpegAndLibvorbisfileAgree) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/oggenc");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  Encode("q5", "-r 44100 -c 2", "synth 2.01 sine 440 sine 1234 vol 0.4", "-q 5 -s 1");
  Encode("q5_other_serial", "-r 44100 -c 2", "synth 2.01 sine 440 sine 1234 vol 0.4", "-q 5 -s 2");
  // ffmpeg alone keeps this file's whole last packet: 7 frames past the end.
  Encode("q0", "-r 22050 -c 1", "synth 1.3 sine 300 vol 0.5", "-q 0");
  Encode("b96", "-r 48000 -c 2", "synth 0.7 pinknoise vol 0.3", "-b 96");
  const auto q5 = ReadBytes(Folder() / "q5.ogg");
  const auto cut = [&q5](std::size_t num, std::size_t den) {
    return std::vector<std::uint8_t>(q5.begin(), q5.begin() + static_cast<std::ptrdiff_t>(q5.size() * num / den));
  };
  WriteBytes(Folder() / "half.ogg", cut(1, 2));
  WriteBytes(Folder() / "three_quarters.ogg", cut(3, 4));
  WriteBytes(Folder() / "chained.ogg", Concatenated(q5, ReadBytes(Folder() / "q5_other_serial.ogg")));
  WriteBytes(Folder() / "chained_rates.ogg", Concatenated(q5, ReadBytes(Folder() / "b96.ogg")));
  WriteBytes(Folder() / "same_serial_twice.ogg", Concatenated(q5, q5));

  // Single links are checked against ffmpeg's decode; chained files,
  // which ffmpeg reads its own way, against their links decoded one by one.
  struct Case {
    const char* file;
    Error rc;
    std::uint32_t frames;  // 0: whatever both paths agree on
    bool same_as_ffmpeg;
    std::vector<const char*> links;
  };
  const Case cases[] = {
      {"q5", err::kOk, 88641, true, {}},
      {"q0", err::kOk, 28665, true, {}},
      {"b96", err::kOk, 33600, true, {}},
      {"three_quarters", err::kOk, 0, true, {}},
      {"half", err::kOk, 0, false, {}},  // ffmpeg cannot open it; libvorbisfile can
      {"chained", err::kOk, 2 * 88641, false, {"q5", "q5_other_serial"}},
      {"chained_rates", err::kUnsupportedFormat, 0, false, {}},
      {"same_serial_twice", err::kOk, 88641, false, {"q5"}},
  };
  for (const Case& c : cases) {
    const fs::path path = Folder() / (std::string(c.file) + ".ogg");
    const Decoded fast = DecodeWith(ReadVorbisFile, path);
    const Decoded plain = DecodeWithoutFfmpeg(path);
    ASSERT_EQ(fast.rc, c.rc) << c.file;
    ASSERT_EQ(plain.rc, c.rc) << c.file;
    if (c.rc) continue;
    if (c.frames) {
      EXPECT_EQ(fast.info.frames, c.frames) << c.file;
    }
    ASSERT_EQ(fast.info.frames, plain.info.frames) << c.file;
    EXPECT_EQ(fast.info.rate, plain.info.rate) << c.file;
    EXPECT_EQ(fast.info.channels, plain.info.channels) << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Name], plain.info.tags[InfoText::Name]) << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Artist], "Someone") << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Software], plain.info.tags[InfoText::Software]) << c.file;
    EXPECT_LT(WorstDifference(fast.samples, plain.samples), 1e-4f) << c.file;
    if (c.same_as_ffmpeg) {
      const std::vector<float> peer = FfmpegDecode(path);
      ASSERT_LE(fast.samples.size(), peer.size()) << c.file;
      EXPECT_TRUE(std::equal(fast.samples.begin(), fast.samples.end(), peer.begin())) << c.file;
    }
    if (!c.links.empty()) {
      std::vector<float> joined;
      for (const char* link : c.links) {
        const Decoded part = DecodeWith(ReadVorbisFile, Folder() / (std::string(link) + ".ogg"));
        joined.insert(joined.end(), part.samples.begin(), part.samples.end());
      }
      ASSERT_EQ(fast.samples.size(), joined.size()) << c.file;
      EXPECT_LT(WorstDifference(fast.samples, joined), 1e-4f) << c.file;
    }
  }
}

}  // namespace
}  // namespace tidemark
