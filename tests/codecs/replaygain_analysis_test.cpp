// The loudness behind the ReplayGain tags against ffmpeg's EBU R128 meter
// (rates, gating of quiet passages), non-finite samples kept out of the
// sums, and the tags the FLAC writer stores from it.
#include "codecs/replaygain_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "codecs/codec_install.h"
#include "codecs/flac_codec.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Dir() { return codec_test::Folder("replaygain_analysis_test"); }

// The integrated loudness ffmpeg's ebur128 filter reports.
double PeerLufs(const fs::path& wav) {
  const std::string out = Capture("/usr/bin/ffmpeg -nostats -hide_banner -i '" + wav.string() +
                                  "' -af ebur128 -f null - 2>&1");
  const std::size_t at = out.rfind(" I:");
  EXPECT_NE(at, std::string::npos) << out;
  return at == std::string::npos ? 0.0 : std::stod(out.substr(at + 3));
}

DocumentPtr OpenDocument(const fs::path& path) {
  SoundDocument* raw = nullptr;
  EXPECT_EQ(OpenSoundDocument(path.string(), OpenOptions(), &raw), 0u) << path;
  return DocumentPtr(raw);
}

struct LoudCase {
  const char* name;
  int rate;
  int channels;
  const char* synth;  // sox effects after "synth"
};

class Loudness : public ::testing::TestWithParam<LoudCase> {};

TEST_P(Loudness, MatchesThePeerMeter) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const LoudCase c = GetParam();
  const fs::path wav = Dir() / (std::string(c.name) + ".wav");
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                  " -b 16 '" + wav.string() + "' " + c.synth),
            0);
  DocumentPtr doc = OpenDocument(wav);
  ASSERT_TRUE(doc);
  ReplayGainValues values;
  ASSERT_EQ(AnalyseReplayGain(*doc, {}, &values), 0u);
  const double peer = PeerLufs(wav);
  EXPECT_NEAR(kReplayGainReferenceLufs - values.track_gain, peer, 0.15) << c.name;
  EXPECT_GT(values.track_peak, 0.0);
  EXPECT_LE(values.track_peak, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Loudness,
    ::testing::Values(LoudCase{"sine48k", 48000, 2, "synth 5 sine 997 vol 0.1"},
                      LoudCase{"pink44k", 44100, 2, "synth 6 pinknoise vol 0.3"},
                      LoudCase{"mono22k", 22050, 1, "synth 4 sine 440 sine 3000 vol 0.5"},
                      // A loud part fading into a long silence: the gates drop the tail.
                      LoudCase{"gated96k", 96000, 2, "synth 9 pinknoise fade q 0 4 2 vol 0.5"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(LoudnessMeter, NonFiniteSamplesCountAsSilence) {
  std::vector<float> samples(48000 * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.25f * std::sin(static_cast<float>(i) * 0.05f);
  LoudnessMeter clean(48000, 2);
  clean.Add(samples);
  samples[1000] = std::numeric_limits<float>::quiet_NaN();
  samples[2001] = std::numeric_limits<float>::infinity();
  LoudnessMeter dirty(48000, 2);
  dirty.Add(samples);
  EXPECT_TRUE(std::isfinite(dirty.IntegratedLufs()));
  EXPECT_NEAR(dirty.IntegratedLufs(), clean.IntegratedLufs(), 0.05);
  EXPECT_FLOAT_EQ(dirty.peak(), clean.peak());
  LoudnessMeter silent(48000, 2);
  silent.Add(std::vector<float>(48000 * 2, 0.0f));
  EXPECT_TRUE(std::isinf(silent.IntegratedLufs()));
}

TEST(ReplayGainTags, FlacWriterStoresTheAnalysis) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/metaflac");
  const fs::path wav = Dir() / "tagged.wav";
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 3 sine 500 vol 0.2"), 0);
  DocumentPtr doc = OpenDocument(wav);
  ASSERT_TRUE(doc);
  ReplayGainValues values;
  ASSERT_EQ(AnalyseReplayGain(*doc, {}, &values), 0u);
  for (const bool on : {true, false}) {
    const fs::path flac = Dir() / (on ? "gain.flac" : "nogain.flac");
    FlacEncodeSettings settings;
    settings.replay_gain = on;
    ASSERT_EQ(WriteFlacFile(*doc, flac.string(), settings), 0u);
    const std::string tags = Capture("/usr/bin/metaflac --export-tags-to=- '" + flac.string() + "'");
    char expected[64];
    std::snprintf(expected, sizeof expected, "REPLAYGAIN_TRACK_GAIN=%+.2f dB", values.track_gain);
    EXPECT_EQ(tags.find(expected) != std::string::npos, on) << tags;
    EXPECT_EQ(tags.find("REPLAYGAIN_REFERENCE_LOUDNESS=89.0 dB") != std::string::npos, on) << tags;
  }
}

}  // namespace
}  // namespace tidemark
