#include "codecs/vorbis_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/codec_install.h"
#include "codecs/codec_library.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("vorbis_decoder_test"); }

Decoded Decode(const fs::path& path) { return DecodeWith(ReadVorbisFile, path); }

struct OggencCase {
  const char* options;
  int channels;
  int rate;
  double seconds;
};

class VorbisFromOggenc : public ::testing::TestWithParam<OggencCase> {};

// Files the reference encoder writes open at their exact length, with the
// samples ffmpeg decodes and the comments given to the encoder.
TEST_P(VorbisFromOggenc, ExactLengthPeerSamplesAndTags) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/oggenc");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const OggencCase c = GetParam();
  const std::string stem = "v" + std::to_string(c.channels) + "_" + std::to_string(c.rate);
  const fs::path wav = Folder() / (stem + ".wav");
  const fs::path ogg = Folder() / (stem + ".ogg");
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                  " -b 16 '" + wav.string() + "' synth " + std::to_string(c.seconds) + " sine 440 sine 1234 vol 0.4"),
            0);
  const std::string title = "\xE6\xB5\xB7\xE3\x81\xAE\xE6\xAD\x8C";
  ASSERT_EQ(Shell(std::string("/usr/bin/oggenc -Q ") + c.options + " -t '" + title + "' -a Someone -o '" +
                  ogg.string() + "' '" + wav.string() + "'"),
            0);
  const std::vector<float> original = FfmpegDecode(wav);
  const Decoded d = Decode(ogg);
  ASSERT_EQ(d.rc, 0u);
  EXPECT_EQ(d.info.channels, c.channels);
  EXPECT_EQ(d.info.rate, static_cast<std::uint32_t>(c.rate));
  EXPECT_EQ(d.samples.size(), original.size());
  const std::vector<float> peer = FfmpegDecode(ogg);
  // ffmpeg keeps the whole last packet instead of cutting it at the final
  // granule position: at most one block more, the same samples before it.
  EXPECT_LE(d.samples.size(), peer.size());
  EXPECT_LE(peer.size() - std::min(peer.size(), d.samples.size()), std::size_t{2048} * d.info.channels);
  EXPECT_GE(Correlation(d.samples, peer), 0.999);
  EXPECT_GE(SnrDb(original, d.samples), 15.0);
  EXPECT_EQ(d.info.tags[InfoText::Name], title);
  EXPECT_EQ(d.info.tags[InfoText::Artist], "Someone");
}

INSTANTIATE_TEST_SUITE_P(Qualities, VorbisFromOggenc,
                         ::testing::Values(OggencCase{"-q 5", 2, 44100, 2.01}, OggencCase{"-q 0", 1, 22050, 1.3},
                                           OggencCase{"-b 96", 2, 48000, 0.7}));

// Through the ".ogg" row: Vorbis first; a cut file gives its decodable
// part or a clear error; other bytes are not Vorbis.
TEST(VorbisOpen, RowAndDamage) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/oggenc");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const fs::path wav = Folder() / "row.wav";
  const fs::path ogg = Folder() / "row.ogg";
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 1.5 sine 300"), 0);
  ASSERT_EQ(Shell("/usr/bin/oggenc -Q -o '" + ogg.string() + "' '" + wav.string() + "'"), 0);
  InstallCodecs();
  SoundDocument* raw = nullptr;
  ASSERT_EQ(OpenSoundDocument(ogg.string(), OpenOptions(), &raw), 0u);
  DocumentPtr document(raw);
  EXPECT_EQ(document->length, 66150u);
  EXPECT_EQ(document->second_path, ogg.string());
  InstallCodecReaders({});

  const auto bytes = ReadBytes(ogg);
  for (std::size_t cut : {std::size_t{0}, std::size_t{30}, std::size_t{200}, bytes.size() / 2}) {
    const fs::path damaged = Folder() / "cut.ogg";
    WriteBytes(damaged, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
    const Decoded d = Decode(damaged);
    if (d.rc == 0u)
      EXPECT_LE(d.info.frames, 66150u) << cut;
    else
      EXPECT_TRUE(d.rc == 14u || d.rc == 8u) << cut << ": " << d.rc;
  }
  EXPECT_EQ(Decode(wav).rc, 14u);
}

}  // namespace
}  // namespace tidemark
