// End to end through the console against real tools: 24-bit files made by
// sox and ffmpeg are edited and saved in every type and sample code the
// built-in writers store; sox decodes each result, which must equal a
// reference converted here from the original samples by the plain
// conversion model (rounding rules included).
#include <cstring>

#include "core/edit/document_properties.h"
#include "core/samples/sample_type_text.h"
#include "tests/app/console_test_util.h"
#include "tests/core/samples/reference_convert.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ConsoleRun;

constexpr std::size_t kFrames = 4800;

std::vector<std::uint8_t> SoxDecode(const std::string& path, bool floating) {
  const std::string raw = path + ".raw";
  EXPECT_EQ(testing::Run("/usr/bin/sox -D \"" + path + "\" -t raw " +
                         (floating ? "-e floating-point -b 64" : "-e signed -b 32") + " -L \"" + raw + "\""),
            0)
      << path;
  return testing::ReadWholeFile(raw);
}

// The 24-bit samples of a stereo file as integers, interleaved.
std::vector<std::int32_t> Samples24(const std::string& path) {
  const std::vector<std::uint8_t> bytes = SoxDecode(path, false);
  std::vector<std::int32_t> s(bytes.size() / 4);
  std::memcpy(s.data(), bytes.data(), s.size() * 4);
  for (std::int32_t& v : s) v /= 256;  // sox widens 24-bit samples by 8 bits, exactly
  return s;
}

const char* ExtensionOf(PcmFileKind kind) {
  switch (kind) {
    case PcmFileKind::AIFF: return ".aiff";
    case PcmFileKind::AIFC: return ".aifc";
    case PcmFileKind::AU: return ".au";
    default: return ".wav";
  }
}

void CheckEveryType(const std::string& dir, const std::string& input) {
  const std::vector<std::int32_t> in = Samples24(input);
  ASSERT_EQ(in.size(), 2 * kFrames);

  ConsoleRun run;
  ASSERT_EQ(run.Script("open " + input + "\n"
                       "select 1000f 1500f\n"
                       "cut\n"
                       "select 200f 200f\n"
                       "paste\n"
                       "channels 1\n"
                       "select 3000f 3200f\n"
                       "silence\n"
                       "channels 2\n"
                       "select 4000f 4100f\n"
                       "gain -inf\n"),
            0)
      << run.err.str();
  // [0,200) + [1000,1500) + [200,1000) + [1500,4800), then the channel edits.
  std::vector<std::int32_t> ref;
  const auto take = [&](std::size_t from, std::size_t to) {
    ref.insert(ref.end(), in.begin() + std::ptrdiff_t(2 * from), in.begin() + std::ptrdiff_t(2 * to));
  };
  take(0, 200);
  take(1000, 1500);
  take(200, 1000);
  take(1500, kFrames);
  for (std::size_t f = 3000; f < 3200; ++f) ref[2 * f] = 0;
  for (std::size_t f = 4000; f < 4100; ++f) ref[2 * f + 1] = 0;
  std::vector<std::uint8_t> ref24(ref.size() * 3);
  for (std::size_t i = 0; i < ref.size(); ++i) reftest::StoreIntLe(ref[i], 3, &ref24[3 * i]);

  int saved = 0;
  for (const PcmFileKind kind : {PcmFileKind::Wave, PcmFileKind::AIFF, PcmFileKind::AIFC, PcmFileKind::AU}) {
    for (const SampleCode code : sample_code::kAll) {
      const NormalisedCode n = NormaliseForKind(kind, code);
      if (n.invalid || n.code != code) continue;  // each stored form once
      const std::string word = SampleTypeText(kind, code);
      const std::string path = dir + "/out-" + word + ExtensionOf(kind);
      ASSERT_EQ(run.session.Execute("saveas \"" + path + "\" " + word), console::Result::kDone)
          << word << ": " << run.err.str();
      const std::optional<ParsedSampleType> stored = ParseSampleTypeText(PcmFileSample(*run.session.active()));
      ASSERT_TRUE(stored) << word;
      EXPECT_EQ(stored->kind, kind) << word;
      const SampleCode s = stored->code;
      std::vector<std::uint8_t> expected_stored(ref.size() * BytesPerSample(s));
      reftest::ReferenceConvert(ref24.data(), expected_stored.data(), ref.size(), sample_code::kS24, s);
      const bool floating = IsFloatCode(s);
      const SampleCode wide = floating ? sample_code::kDouble : sample_code::kS32;
      std::vector<std::uint8_t> expected(ref.size() * BytesPerSample(wide));
      reftest::ReferenceConvert(expected_stored.data(), expected.data(), ref.size(), s, wide);
      EXPECT_TRUE(SoxDecode(path, floating) == expected)
          << word << " (stored as " << PcmFileSample(*run.session.active()) << ")";
      ++saved;
    }
  }
  EXPECT_GE(saved, 20);
}

TEST(ConsolePeers, SoxInputSavedInEveryTypeDecodesToTheReference) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::string dir = testing::MakeTempDir("console_peer_sox");
  ASSERT_EQ(testing::Run("/usr/bin/sox -D -n -r 48000 -c 2 -b 24 " + dir +
                         "/in.wav synth 0.1 sine 441 sine 3001 gain -1"),
            0);
  CheckEveryType(dir, dir + "/in.wav");
}

TEST(ConsolePeers, FfmpegInputSavedInEveryTypeDecodesToTheReference) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const std::string dir = testing::MakeTempDir("console_peer_ffmpeg");
  ASSERT_EQ(testing::Run("/usr/bin/ffmpeg -nostdin -loglevel error -f lavfi -i "
                         "\"aevalsrc=0.9*sin(2*PI*523*t)|0.7*sin(2*PI*97*t):s=48000:d=0.1\" -c:a pcm_s24le " +
                         dir + "/in.wav"),
            0);
  CheckEveryType(dir, dir + "/in.wav");
}

}  // namespace
}  // namespace tidemark
