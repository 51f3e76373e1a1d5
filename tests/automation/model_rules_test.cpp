// The object model's own rules, without COM: seconds to frames, the
// selection properties, the PcmFileSample words, temporary names and the
// AppPrivate list encoding.
#include "automation/model/model_rules.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "core/samples/sample_format.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_SCRIPT {
namespace {

TEST(ModelRules, SecondsToFramesRoundsAndClamps) {
  struct Row {
    double seconds;
    std::uint32_t rate;
    std::uint32_t frames;
  } rows[] = {
      {0.0, 44100, 0},          {-1.0, 44100, 0},
      {1.0, 44100, 44100},      {0.5 / 44100, 44100, 1},  // half a frame rounds up
      {0.49 / 44100, 44100, 0}, {1e12, 48000, kMaxFrames},
      {std::nan(""), 8000, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(SecondsToFrames(r.seconds, r.rate), r.frames) << r.seconds;
}

TEST(ModelRules, SelectionClamping) {
  // A document of 1000 frames at 1000 Hz, selection [200, 600).
  const FrameRange old{200, 600};
  struct Row {
    bool from;  // SelectionFrom, else SelectionTo
    double seconds;
    FrameRange expected;
  } rows[] = {
      {true, -1, {0, 600}},    {true, 0.3, {300, 600}},  {true, 0.8, {800, 800}},
      {true, 5, {1000, 1000}}, {false, -1, {0, 0}},      {false, 0.4, {200, 400}},
      {false, 0.1, {100, 100}}, {false, 5, {200, 1000}},
  };
  for (const Row& r : rows) {
    const FrameRange got = r.from ? PutSelectionFrom(old, 1000, r.seconds, 1000) : PutSelectionTo(old, 1000, r.seconds, 1000);
    EXPECT_EQ(got, r.expected) << (r.from ? "from " : "to ") << r.seconds;
  }
}

TEST(ModelRules, PcmFileSampleWords) {
  struct Row {
    const char* words;
    bool accepted;
  } rows[] = {
      {"wave16", true},          {"Wave 16", true},          {"WAVE16", true},
      {"Raw16", false},          {"RawBigEndian16", true},   {"RawSigned8", true},
      {"Raw8", false},           {"Wave16Signed", false},    {"WaveLittleEndian8", false},
      {"WaveFloatDouble", false}, {"", false},               {"Wave", false},
      {"AIFFFloat", false},  // the format layer cannot keep float in AIFF
  };
  for (const Row& r : rows) EXPECT_EQ(ParsePcmFileSample(r.words).has_value(), r.accepted) << r.words;
  const auto parsed = ParsePcmFileSample("  wave   24 ");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->kind, PcmFileKind::Wave);
  EXPECT_EQ(BytesPerSample(parsed->code), 3u);
}

class TempNames : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("model_temp_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(TempNames, ExistingNamesAreSkippedAndZeroNeverUsed) {
  std::FILE* f = std::fopen((dir_ / "ab0001.tmp").c_str(), "w");
  ASSERT_TRUE(f);
  std::fclose(f);
  std::string path;
  // The start 0 is taken as 1, which exists: 2 comes next.
  ASSERT_EQ(CreateTempName(dir_.string(), "ab", false, &path, 0), err::kOk);
  EXPECT_EQ(path, (dir_ / "ab0002.tmp").string());
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  ASSERT_EQ(CreateTempName(dir_.string(), "ab", true, &path, 0xFFFF), err::kOk);
  EXPECT_EQ(path, (dir_ / "abFFFF.tmp").string());
  EXPECT_TRUE(std::filesystem::is_directory(path));
  // The number after FFFF wraps to 1 (taken), then 2 (taken), then 3.
  ASSERT_EQ(CreateTempName(dir_.string(), "ab", false, &path, 0xFFFF), err::kOk);
  EXPECT_EQ(path, (dir_ / "ab0003.tmp").string());
}

TEST_F(TempNames, WrapAroundToTheStartEndsTheSearch) {
  for (unsigned n = 1; n <= 0xFFFF; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "w%04X.tmp", n);
    std::FILE* f = std::fopen((dir_ / name).c_str(), "w");
    ASSERT_TRUE(f) << name;
    std::fclose(f);
  }
  std::string path;
  EXPECT_EQ(CreateTempName(dir_.string(), "w", false, &path, 0x8000), err::OsError(EEXIST));
  EXPECT_EQ(CreateTempName(dir_.string(), "w", true, &path, 0x8000), kAllNamesTaken);
  EXPECT_TRUE(path.empty());
}

TEST_F(TempNames, EmptyFolderIsTheCurrentOne) {
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  std::string path;
  const Error rc = CreateTempName("", "ab", true, &path, 0x1234);
  std::filesystem::current_path(old);
  ASSERT_EQ(rc, err::kOk);
  EXPECT_EQ(std::filesystem::path(path), std::filesystem::canonical(dir_) / "ab1234.tmp");
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(TempNames, OverlongPathIsError36) {
  std::string path;
  EXPECT_EQ(CreateTempName(dir_.string(), std::string(300, 'p'), false, &path, 1), model_err::kPathTooLong);
}

TEST(ModelRules, AppPrivateRoundTrip) {
  const std::vector<std::vector<std::string>> lists = {
      {},
      {""},
      {"", ""},
      {"plain"},
      {"a,b", "\"quoted\"", "back\\slash", "\\\"", ","},
      {"trailing\\", "end"},
  };
  for (const auto& list : lists) EXPECT_EQ(SplitAppPrivate(JoinAppPrivate(list)), list) << JoinAppPrivate(list);
  // Seeded random lists over the characters that matter.
  std::mt19937 rng(30);
  const char alphabet[] = {'a', ',', '"', '\\', ' '};
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> list(rng() % 5);
    for (std::string& s : list)
      for (std::size_t n = rng() % 6; n; --n) s += alphabet[rng() % sizeof alphabet];
    EXPECT_EQ(SplitAppPrivate(JoinAppPrivate(list)), list);
  }
}

TEST(ModelRules, WeightingLetter) {
  EXPECT_EQ(WeightingLetter("", 'C'), 'C');
  EXPECT_EQ(WeightingLetter("a", '0'), 'A');
  EXPECT_EQ(WeightingLetter("A-weighting", '0'), 'A');
  EXPECT_EQ(WeightingLetter("0", 'B'), '0');
  EXPECT_EQ(WeightingLetter("Z", '0'), std::nullopt);
  EXPECT_EQ(WeightingLetter("\xC3\x84", '0'), std::nullopt);
}

TEST(ModelRules, WaveformKeysByChannel) {
  WaveformStatistics s;
  s.rms = 0.25;
  s.instant_peak_pos = 22050;
  s.channel[1].offset = -0.5;
  EXPECT_EQ(WaveformValue(s, 44100, "rms", -1), 0.25);
  EXPECT_EQ(WaveformValue(s, 44100, "InstantPeakPos", -1), 0.5);
  EXPECT_EQ(WaveformValue(s, 44100, "Rms", 0), std::nullopt);
  EXPECT_EQ(WaveformValue(s, 44100, "OFFSET", 1), -0.5);
  EXPECT_EQ(WaveformValue(s, 44100, "Offset", 2), std::nullopt);
  EXPECT_EQ(WaveformValue(s, 44100, "Offset", -1), std::nullopt);
  EXPECT_EQ(WaveformValue(s, 44100, "", -1), std::nullopt);
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
