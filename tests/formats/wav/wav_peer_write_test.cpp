// Files the program writes, read by other programs: sox decodes the same
// samples, sndfile-info lists the same cue points and labels.
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "formats/file_markers.h"
#include "formats/wav/wav_cues.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Bytes;
using testing::ReadWholeFile;

struct Form {
  const char* name;
  SampleCode code;
  std::uint16_t channels;
  bool extensible;
  std::uint32_t header;
};

const Form kForms[] = {
    {"u8", kU8, 1, false, 44},         {"s16", kS16, 2, false, 44},         {"s24", kS24, 2, false, 44},
    {"s24x", kS24, 1, true, 80},       {"s32x", kS32, 2, true, 80},         {"f32", kFloat, 2, false, 58},
    {"f64", kDouble, 1, false, 58},    {"f32x", kFloat, 1, true, 80},
};

constexpr std::uint32_t kFrames = 201;  // odd: 8-bit mono and 24-bit mono get a pad byte

// sndfile-info stops listing an adtl list at its first note, so its check
// uses the markers without comments.
MarkerList Markers(bool with_notes) {
  return testing::MakeMarkerList({{5, "Intro", with_notes ? "first note" : ""},
                                  {77, "two words", ""},
                                  {77, "", with_notes ? "note of an empty label" : ""},
                                  {150, "odd", ""}});
}

class WavPeerWrite : public ::testing::TestWithParam<Form> {
 protected:
  // A file of the form with peer-safe samples and the markers without notes.
  std::string Write() {
    const Form& form = GetParam();
    samples_ = testing::PeerSafeSamples(form.code, std::size_t{kFrames} * form.channels, form.code + form.channels);
    const Bytes file = testing::PcmFile(form.code, form.channels, 44100, samples_, form.extensible);
    EXPECT_EQ(LoadLe32(&file[16]) + 20 + (form.header == 44 ? 8 : 20), form.header);
    const std::string path = testing::MakeTempDir("wav_write") + "/" + form.name + ".wav";
    testing::WriteWholeFile(path, file);
    EXPECT_EQ(WriteCueList(path, Markers(false)), 0u);
    return path;
  }
  Bytes samples_;
};

TEST_P(WavPeerWrite, SoxDecodesTheSamples) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const Form& form = GetParam();
  const std::string path = Write();
  testing::ExpectSoxDecodes(path, form.channels, kFrames, 44100, samples_, form.code, true);
  // Writing again replaces the first list in place; sox still reads the
  // samples, and our own reader sees the notes.
  ASSERT_EQ(WriteCueList(path, Markers(true)), 0u);
  testing::ExpectSoxDecodes(path, form.channels, kFrames, 44100, samples_, form.code, true);
  MarkerList back;
  ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, kFrames, &back), 0u);
  EXPECT_EQ(testing::MarkerEntries(back), testing::MarkerEntries(Markers(true)));
}

TEST_P(WavPeerWrite, SndfileListsTheCues) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sndfile-info");
  const std::string path = Write();
  std::string out;
  ASSERT_EQ(testing::Run("sndfile-info " + path, &out), 0);
  // libsndfile remarks on every odd-sized data chunk, which RIFF allows with its pad byte.
  if (const std::size_t odd = out.find("*** 'data' chunk should be an even number of bytes in length.\n");
      odd != std::string::npos && samples_.size() % 2 == 1)
    out.erase(odd, out.find('\n', odd) - odd + 1);
  for (const char* complaint : {"***", "rror", "arning"}) EXPECT_EQ(out.find(complaint), std::string::npos) << out;
  std::vector<std::string> cues, labels;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    unsigned id = 0, pos = 0, offset = 0;
    const std::size_t cue = line.find("Cue ID :"), at = line.find("Offset :");
    if (cue != std::string::npos && at != std::string::npos &&
        std::sscanf(line.c_str() + cue, "Cue ID : %u Pos : %u", &id, &pos) == 2 &&
        std::sscanf(line.c_str() + at, "Offset : %u", &offset) == 1)
      cues.push_back(std::to_string(id) + "@" + std::to_string(pos) + "/" + std::to_string(offset));
    const std::size_t text = line.find_first_not_of(" \t");
    int end = 0;
    if (text != std::string::npos && line.compare(text, 7, "labl : ") == 0 &&
        std::sscanf(line.c_str() + text, "labl : %u :%n", &id, &end) == 1 && end > 0) {
      std::string label = line.substr(text + static_cast<std::size_t>(end));
      if (!label.empty() && label[0] == ' ') label.erase(0, 1);
      labels.push_back(std::to_string(id) + ":" + label);
    }
  }
  EXPECT_EQ(cues, (std::vector<std::string>{"0@5/5", "1@77/77", "2@77/77", "3@150/150"})) << out;
  EXPECT_EQ(labels, (std::vector<std::string>{"0:Intro", "1:two words", "2:", "3:odd"})) << out;
}

INSTANTIATE_TEST_SUITE_P(Forms, WavPeerWrite, ::testing::ValuesIn(kForms),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark
