// Ogg Vorbis opens through FFmpeg's decoder when FFmpeg is there and
// through libvorbisfile when it is hidden: the same answer, length and tags
// either way; the FFmpeg path gives ffmpeg's own samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "codecs/vorbis_decoder.h"
#include "platform/error_numbers.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("vorbis_paths_test"); }

TEST(VorbisPaths, FfmpegAndLibvorbisfileAgree) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/oggenc");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  // ffmpeg alone keeps the whole last packet of "q0": 7 frames past the end.
  struct Source {
    const char* name;
    const char* layout;
    const char* synth;
    const char* options;
  };
  for (const Source& s : {Source{"q5", "-r 44100 -c 2", "2.01 sine 440 sine 1234 vol 0.4", "-q 5 -s 1"},
                          Source{"q5b", "-r 44100 -c 2", "2.01 sine 440 sine 1234 vol 0.4", "-q 5 -s 2"},
                          Source{"q0", "-r 22050 -c 1", "1.3 sine 300 vol 0.5", "-q 0"},
                          Source{"b96", "-r 48000 -c 2", "0.7 pinknoise vol 0.3", "-b 96"}}) {
    const fs::path wav = Folder() / (std::string(s.name) + ".wav");
    ASSERT_EQ(Shell(std::string("/usr/bin/sox -R -n ") + s.layout + " -b 16 '" + wav.string() + "' synth " + s.synth),
              0);
    ASSERT_EQ(Shell(std::string("/usr/bin/oggenc -Q ") + s.options + " -t 'Title " + s.name + "' -a Someone -o '" +
                    (Folder() / (std::string(s.name) + ".ogg")).string() + "' '" + wav.string() + "'"),
              0);
  }
  const auto q5 = ReadBytes(Folder() / "q5.ogg");
  const auto write = [&q5](const char* name, std::size_t cut, const std::vector<std::uint8_t>& tail) {
    std::vector<std::uint8_t> bytes(q5.begin(), q5.begin() + static_cast<std::ptrdiff_t>(cut));
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    WriteBytes(Folder() / (std::string(name) + ".ogg"), bytes);
  };
  write("half", q5.size() / 2, {});
  write("three_quarters", q5.size() * 3 / 4, {});
  write("chained", q5.size(), ReadBytes(Folder() / "q5b.ogg"));
  write("chained_rates", q5.size(), ReadBytes(Folder() / "b96.ogg"));
  write("same_serial_twice", q5.size(), q5);

  struct Case {
    const char* file;
    Error rc;
    std::uint32_t frames;  // 0: whatever both paths agree on
    bool ffmpegs_samples;  // one link ffmpeg can open
  };
  const Case cases[] = {
      {"q5", err::kOk, 88641, true},
      {"q0", err::kOk, 28665, true},
      {"b96", err::kOk, 33600, true},
      {"three_quarters", err::kOk, 0, true},
      {"half", err::kOk, 0, false},  // ffmpeg cannot open it; libvorbisfile can
      {"chained", err::kOk, 2 * 88641, false},
      {"chained_rates", err::kUnsupportedFormat, 0, false},
      {"same_serial_twice", err::kOk, 88641, false},  // the last granule ends it
  };
  for (const Case& c : cases) {
    const fs::path path = Folder() / (std::string(c.file) + ".ogg");
    const Decoded fast = DecodeWith(ReadVorbisFile, path);
    const Decoded plain = DecodeWithOnly(ReadVorbisFile, path, "libvorbisfile.so.3", Folder());
    ASSERT_EQ(fast.rc, c.rc) << c.file;
    ASSERT_EQ(plain.rc, c.rc) << c.file;
    if (c.rc) continue;
    EXPECT_EQ(fast.info.frames, c.frames ? c.frames : plain.info.frames) << c.file;
    ASSERT_EQ(fast.samples.size(), plain.samples.size()) << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Name], plain.info.tags[InfoText::Name]) << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Artist], "Someone") << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Software], plain.info.tags[InfoText::Software]) << c.file;
    for (std::size_t i = 0; i < fast.samples.size(); ++i)
      ASSERT_NEAR(fast.samples[i], plain.samples[i], 1e-4f) << c.file << " " << i;
    if (!c.ffmpegs_samples) continue;
    const std::vector<float> peer = FfmpegDecode(path);
    ASSERT_LE(fast.samples.size(), peer.size()) << c.file;
    EXPECT_TRUE(std::equal(fast.samples.begin(), fast.samples.end(), peer.begin())) << c.file;
  }
}

}  // namespace
}  // namespace tidemark
