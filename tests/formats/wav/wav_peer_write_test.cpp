// Files the program writes, read by other programs: sox decodes the same
// samples, sndfile-info lists the same cue points and labels.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "formats/file_markers.h"
#include "formats/wav/wav_cues.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ReadWholeFile;

// Samples that pass through sox's 32-bit integer pipeline unchanged: floats
// on a 2^-20 grid, integers of any value.
std::vector<std::uint8_t> PeerSafeSamples(SampleCode code, std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> out(count * BytesPerSample(code));
  for (std::size_t i = 0; i < count; ++i) {
    const double v = static_cast<double>(static_cast<std::int32_t>(rng() % (1u << 21)) - (1 << 20)) / (1 << 20);
    if (code == sample_code::kFloat) {
      const float f = static_cast<float>(v);
      std::memcpy(&out[i * 4], &f, 4);
    } else if (code == sample_code::kDouble) {
      std::memcpy(&out[i * 8], &v, 8);
    } else {
      for (unsigned b = 0; b < BytesPerSample(code); ++b) out[i * BytesPerSample(code) + b] = static_cast<std::uint8_t>(rng());
    }
  }
  return out;
}

struct Form {
  SampleCode code;
  std::uint16_t channels;
  bool extensible;
  std::uint32_t header;
  const char* sox_raw;  // how sox writes the samples back as raw
};

const Form kForms[] = {
    {sample_code::kU8, 1, false, 44, "-e unsigned-integer -b 8"},
    {sample_code::kS16, 2, false, 44, "-e signed-integer -b 16"},
    {sample_code::kS24, 2, false, 44, "-e signed-integer -b 24"},
    {sample_code::kS24, 1, true, 80, "-e signed-integer -b 24"},
    {sample_code::kS32, 2, true, 80, "-e signed-integer -b 32"},
    {sample_code::kFloat, 2, false, 58, "-e floating-point -b 32"},
    {sample_code::kDouble, 1, false, 58, "-e floating-point -b 64"},
    {sample_code::kFloat, 1, true, 80, "-e floating-point -b 32"},
};

// sndfile-info stops listing an adtl list at its first note, so its check
// uses the markers without comments.
MarkerList Markers(bool with_notes) {
  MarkerList list;
  Marker* last = nullptr;
  for (const auto& [pos, name, note] : {std::tuple<std::uint32_t, const char*, const char*>{5, "Intro", "first note"},
                                        {77, "two words", ""},
                                        {77, "", "note of an empty label"},
                                        {150, "odd", ""}}) {
    Marker* m = NewMarker(name, with_notes ? note : "", pos);
    list.InsertAfterAdopt(last, m);
    last = m;
  }
  return list;
}

TEST(WavPeerWrite, SoxAndSndfileReadWhatWeWrite) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sndfile-info");
  const std::string dir = testing::MakeTempDir("wav_write");
  int n = 0;
  for (const Form& form : kForms) {
    const std::string path = dir + "/w" + std::to_string(n++) + ".wav";
    SCOPED_TRACE(path);
    const std::uint32_t frames = 201;  // odd: 8-bit mono and 24-bit mono get a pad byte
    const std::vector<std::uint8_t> samples = PeerSafeSamples(form.code, std::size_t{frames} * form.channels, n);
    const std::vector<std::uint8_t> file = testing::PcmFile(form.code, form.channels, 44100, samples, form.extensible);
    ASSERT_EQ(LoadLe32(&file[16]) + 20 + (form.header == 44 ? 8 : 20), form.header);
    testing::WriteWholeFile(path, file);
    ASSERT_EQ(WriteCueList(path, Markers(false)), 0u);

    std::string out;
    ASSERT_EQ(testing::Run("sox --i -c " + path, &out, true), 0);
    EXPECT_EQ(out, std::to_string(form.channels) + "\n");
    ASSERT_EQ(testing::Run("sox --i -s " + path, &out, true), 0);
    EXPECT_EQ(out, std::to_string(frames) + "\n");
    ASSERT_EQ(testing::Run("sox --i -r " + path, &out, true), 0);
    EXPECT_EQ(out, "44100\n");
    ASSERT_EQ(testing::Run("sox -V1 " + path + " -t raw " + form.sox_raw + " " + path + ".raw", &out), 0) << out;
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_EQ(ReadWholeFile(path + ".raw"), samples);

    ASSERT_EQ(testing::Run("sndfile-info " + path, &out), 0);
    // libsndfile remarks on every odd-sized data chunk, which RIFF allows with its pad byte.
    if (const std::size_t odd = out.find("*** 'data' chunk should be an even number of bytes in length.\n");
        odd != std::string::npos && samples.size() % 2 == 1)
      out.erase(odd, out.find('\n', odd) - odd + 1);
    EXPECT_EQ(out.find("***"), std::string::npos) << out;
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
    EXPECT_EQ(out.find("arning"), std::string::npos) << out;
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

    // Notes are not shown by sndfile-info: our own reader sees them. Writing
    // again replaces the first list in place; sox still reads the samples.
    ASSERT_EQ(WriteCueList(path, Markers(true)), 0u);
    ASSERT_EQ(testing::Run("sox -V1 " + path + " -t raw " + form.sox_raw + " " + path + ".raw", &out), 0) << out;
    EXPECT_EQ(ReadWholeFile(path + ".raw"), samples);
    MarkerList back;
    ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, frames, &back), 0u);
    std::vector<std::string> got;
    for (const Marker* m = back.first(); m; m = m->next)
      got.push_back(std::to_string(m->position) + m->name + "|" + (m->comment ? *m->comment : ""));
    EXPECT_EQ(got, (std::vector<std::string>{"5Intro|first note", "77two words|", "77|note of an empty label",
                                             "150odd|"}));
  }
}

}  // namespace
}  // namespace tidemark
