// The preview source through the file device: every pass restarts the
// processor and makes up its latency, and the channels outside its mask
// play the range as it is.
#include "playback/preview_source.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/samples/sample_convert.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark::playback {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int16_t At(const std::string& file, std::size_t index) {
  std::int16_t v;
  std::memcpy(&v, file.data() + 44 + index * 2, 2);
  return v;
}

// Writes the frames counted since the last Reset as a ramp on channel 0
// and nothing on channel 1; records how many frames each pass took.
class RampProcessor final : public PreviewProcessor {
 public:
  RampProcessor(std::uint32_t latency, std::uint32_t mask) : latency_(latency), mask_(mask) {}
  static float Ramp(std::uint64_t k) { return static_cast<float>(k % 1000) / 2000.0f; }
  Error Process(float* data, std::uint32_t frames, std::uint16_t channels) override {
    for (std::uint32_t i = 0; i < frames; ++i) {
      data[std::size_t{i} * channels] = Ramp(since_reset_++);
      for (std::uint16_t c = 1; c < channels; ++c) data[std::size_t{i} * channels + c] = 0.0f;
    }
    return {};
  }
  void Reset() override {
    std::lock_guard lock(*passes_mutex);
    passes->push_back(since_reset_);
    since_reset_ = 0;
  }
  std::uint32_t Latency() const override { return latency_; }
  std::uint32_t ChannelMask() const override { return mask_; }

  std::shared_ptr<std::vector<std::uint64_t>> passes = std::make_shared<std::vector<std::uint64_t>>();
  std::shared_ptr<std::mutex> passes_mutex = std::make_shared<std::mutex>();

 private:
  std::uint64_t since_reset_ = 0;
  std::uint32_t latency_;
  std::uint32_t mask_;
};

class PreviewSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearNotices(); }
  void TearDown() override {
    StopPlayback();
    ClearNotices();
  }
  std::string dir_ = testing::MakeTempDir("preview");
};

TEST_F(PreviewSourceTest, EveryLoopRestartsTheRunAndMakesUpItsLatency) {
  const std::uint32_t rate = 8000, start = 500, length = 2000, latency = 300;
  testing::DocumentPtr doc(testing::MakeDocument({}, 3000, 2, rate));
  auto processor = std::make_unique<RampProcessor>(latency, 3);
  const auto passes = processor->passes;
  const auto passes_mutex = processor->passes_mutex;
  PlaySettings settings;
  const std::string path = dir_ + "/loop.wav";
  settings.device = "file:" + path + "?fast";
  ASSERT_EQ(PlayPreview(*doc, start, length, true, std::move(processor), settings), 0u);
  // The ring of 20 buffers of 400 frames holds four passes: with six begun,
  // the first has been delivered whole.
  for (int i = 0; i < 1000; ++i) {
    {
      std::lock_guard lock(*passes_mutex);
      if (passes->size() >= 6) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  StopPlayback();
  ASSERT_GE(passes->size(), 6u);
  EXPECT_EQ((*passes)[0], 0u);
  for (std::size_t p = 1; p < passes->size(); ++p) EXPECT_EQ((*passes)[p], length + latency) << "pass " << p;
  // Away from the fades the first pass is the ramp from the latency on.
  const std::string file = ReadAll(path);
  ASSERT_GE(file.size(), 44u + length * 4);
  for (std::uint32_t i = rate / 20; i + rate / 20 < length; ++i) {
    const float v = RampProcessor::Ramp(latency + i);
    std::int16_t want;
    Convert(&v, &want, 1, sample_code::kFloat, sample_code::kS16);
    ASSERT_EQ(At(file, std::size_t{i} * 2), want) << "frame " << i;
  }
}

TEST_F(PreviewSourceTest, ChannelsOutsideTheMaskPlayTheRange) {
  const std::uint32_t rate = 8000, frames = 3000, start = 700, length = 1500;
  SegmentList list;
  list.PushBack(testing::NewSegment(
      testing::MakeRandomSource(dir_ + "/noise.s16", sample_code::kS16, 2, frames, 5, rate), 0, frames, 0));
  testing::DocumentPtr doc(testing::MakeDocument(std::move(list), frames, 2, rate));
  const std::string plain = dir_ + "/plain.wav", preview = dir_ + "/masked.wav";
  PlaySettings settings;
  settings.device = "file:" + plain + "?fast";
  ASSERT_EQ(PlayDocumentRange(*doc, start, length, false, settings), 0u);
  PlayNotice n;
  while (TakeNotice(&n, 10000) && n.kind != PlayNotice::kEnd) {}
  StopPlayback();
  settings.device = "file:" + preview + "?fast";
  ASSERT_EQ(PlayPreview(*doc, start, length, false, std::make_unique<RampProcessor>(40, 1), settings), 0u);
  while (TakeNotice(&n, 10000) && n.kind != PlayNotice::kEnd) {}
  EXPECT_EQ(n.value, 0u);
  StopPlayback();
  const std::string a = ReadAll(plain), b = ReadAll(preview);
  ASSERT_EQ(a.size(), 44u + length * 4);
  ASSERT_EQ(b.size(), a.size());
  for (std::uint32_t i = 0; i < length; ++i) ASSERT_EQ(At(b, std::size_t{i} * 2 + 1), At(a, std::size_t{i} * 2 + 1)) << i;
  EXPECT_NE(At(b, 1000 * 2), At(a, 1000 * 2)) << "channel 0 went through the processor";
}

// A change handed to a playing preview reaches its processor between two
// buffers, without a restart: the range plays one level up to a buffer
// boundary and the new level from there on.
TEST_F(PreviewSourceTest, ChangeReachesThePlayingProcessorWithoutRestart) {
  const std::uint32_t rate = 8000, length = 12000, fade = rate / 20;
  class Level final : public PreviewProcessor {
   public:
    Error Process(float* data, std::uint32_t frames, std::uint16_t) override {
      std::fill(data, data + frames, level);
      return {};
    }
    void Reset() override { ++*resets; }
    float level = 0.25f;
    std::shared_ptr<std::atomic<int>> resets = std::make_shared<std::atomic<int>>(0);
  };
  class SetLevel final : public PreviewChange {
   public:
    Error ApplyTo(PreviewProcessor& p) override {
      static_cast<Level&>(p).level = 0.5f;
      return {};
    }
  };
  EXPECT_FALSE(ChangePreview(std::make_unique<SetLevel>())) << "no preview plays";
  testing::DocumentPtr doc(testing::MakeDocument({}, length, 1, rate));
  auto processor = std::make_unique<Level>();
  const auto resets = processor->resets;
  const std::string path = dir_ + "/live.wav";
  PlaySettings settings;
  settings.device = "file:" + path;  // the real pace: most of the range is filled after the change
  ASSERT_EQ(PlayPreview(*doc, 0, length, false, std::move(processor), settings), 0u);
  EXPECT_TRUE(PreviewPlaying());
  ASSERT_TRUE(ChangePreview(std::make_unique<SetLevel>()));
  PlayNotice n;
  while (TakeNotice(&n, 10000) && n.kind != PlayNotice::kEnd) {}
  EXPECT_EQ(n.value, 0u);
  StopPlayback();
  EXPECT_FALSE(PreviewPlaying());
  EXPECT_EQ(resets->load(), 1) << "only the first fill resets the run";
  const std::string file = ReadAll(path);
  ASSERT_EQ(file.size(), 44u + length * 2);
  std::int16_t before, after;
  const float levels[2] = {0.25f, 0.5f};
  Convert(&levels[0], &before, 1, sample_code::kFloat, sample_code::kS16);
  Convert(&levels[1], &after, 1, sample_code::kFloat, sample_code::kS16);
  std::uint32_t k = fade;
  while (k < length - fade && At(file, k) == before) ++k;
  EXPECT_LT(k, length - fade) << "the change never arrived";
  EXPECT_EQ(k % (rate / 20), 0u) << "changed inside a buffer";  // the engine fills 50 ms buffers
  for (std::uint32_t i = k; i < length - fade; ++i) ASSERT_EQ(At(file, i), after) << "frame " << i;
}

}  // namespace
}  // namespace tidemark::playback
