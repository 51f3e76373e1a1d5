// Format changes of documents and clips: the converted material against the
// tone it must become, channel mapping exactly, markers scaled, one undo
// step that restores everything, the refusals that change nothing, cancel,
// non-finite samples, and pastes of clips of another rate or channel count.
#include "core/edit/format_change.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <vector>

#include "core/core_options.h"
#include "core/document/segment_cursor.h"
#include "core/edit/edit_commands.h"
#include "core/edit/stretch_render.h"
#include "core/markers/marker_list.h"
#include "core/undo/undo_history.h"
#include "dsp/resample/resample.h"
#include "platform/error_numbers.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ReadFloats;

std::vector<std::uint32_t> MarkerPositions(const MarkerList& list) {
  std::vector<std::uint32_t> p;
  for (const Marker* m = list.first(); m; m = m->next) p.push_back(m->position);
  return p;
}

double ToneAt(double frequency, double rate, std::size_t frame, int channel) {
  return 0.5 * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(frame) / rate + channel);
}

class CancelAfter final : public RenderObserver {
 public:
  explicit CancelAfter(int calls) : left_(calls) {}
  bool Cancelled() override { return --left_ < 0; }

 private:
  int left_;
};

class FormatChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("format");
    MutableCoreOptions().host_work_folder = testing::MakeTempDir("work");
    MutableCoreOptions().use_system_clipboard = false;
    work_ = MutableCoreOptions().host_work_folder + "/__tide__";
    SetMainFrame(&frame_);
  }
  void TearDown() override {
    SetMainFrame(nullptr);
    MutableCoreOptions() = CoreOptions();
  }

  // A float document holding `samples` (interleaved).
  SoundDocument* FloatDocument(const std::vector<float>& samples, std::uint16_t channels, std::uint32_t rate) {
    const std::string path = dir_ + "/f" + std::to_string(++files_) + ".raw";
    std::vector<std::uint8_t> bytes(samples.size() * 4);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    testing::WriteWholeFile(path, bytes);
    const auto frames = static_cast<std::uint32_t>(samples.size() / channels);
    SegmentList list;
    EXPECT_EQ(OpenFileSource(path, 0, rate, sample_code::kFloat, channels, frames, 0, &list, nullptr), 0u);
    return testing::MakeDocument(std::move(list), frames, channels, rate);
  }
  SoundDocument* ToneDocument(std::uint32_t frames, std::uint16_t channels, std::uint32_t rate, double frequency) {
    std::vector<float> s(std::size_t{frames} * channels);
    for (std::size_t j = 0; j < frames; ++j)
      for (int c = 0; c < channels; ++c) s[j * channels + c] = static_cast<float>(ToneAt(frequency, rate, j, c));
    return FloatDocument(s, channels, rate);
  }
  // Worst difference from the tone at the document's rate, away from the ends.
  static double ToneError(const SoundDocument& d, double frequency) {
    const std::vector<float> v = ReadFloats(d);
    double worst = 0.0;
    for (std::size_t j = d.length / 8; j < d.length - d.length / 8; ++j)
      for (int c = 0; c < d.channels; ++c)
        worst = std::max(worst, std::abs(v[j * d.channels + c] - ToneAt(frequency, d.rate, j, c)));
    return worst;
  }

  std::string dir_, work_;
  int files_ = 0;
  HeadlessMainFrame frame_;
};

struct ChangeRow {
  const char* name;
  std::uint16_t in_channels;
  FormatChange change;
};

// Every combination is one step: the new format and length, markers moved
// with the rate, and undo and redo exchanging the whole state.
TEST_F(FormatChangeTest, EachCombinationIsOneUndoableStep) {
  const ChangeRow rows[] = {
      {"rate", 2, {48000, 0, 0, MonoFrom::kMix}},
      {"mix to mono", 2, {0, 1, 0, MonoFrom::kMix}},
      {"left", 2, {0, 1, 0, MonoFrom::kLeft}},
      {"right", 2, {0, 1, 0, MonoFrom::kRight}},
      {"mono to stereo", 1, {0, 2, 0, MonoFrom::kMix}},
      {"code", 2, {0, 0, sample_code::kS24, MonoFrom::kMix}},
      {"all three", 2, {22050, 1, sample_code::kFloat, MonoFrom::kMix}},
  };
  constexpr std::uint32_t kFrames = 4410;
  for (const ChangeRow& row : rows) {
    SCOPED_TRACE(row.name);
    testing::DocumentPtr doc(ToneDocument(kFrames, row.in_channels, 44100, 1000.0));
    for (std::uint32_t p : {0u, 1000u, 4410u}) InsertMarker(doc->markers, NewMarker("m", "", p));
    const std::vector<float> before = ReadFloats(*doc);
    const SampleCode code_before = doc->code;
    ASSERT_EQ(ChangeFormat(*doc, row.change), 0u);
    const std::uint32_t rate = row.change.rate ? row.change.rate : 44100;
    const std::uint16_t channels = row.change.channels ? row.change.channels : row.in_channels;
    EXPECT_EQ(doc->rate, rate);
    EXPECT_EQ(doc->channels, channels);
    EXPECT_EQ(doc->code, row.change.code ? row.change.code : code_before);
    EXPECT_EQ(doc->length, dsp::ConvertedLength(kFrames, rate, 44100));
    EXPECT_TRUE(doc->format_changed);
    EXPECT_EQ(MarkerPositions(doc->markers),
              (std::vector<std::uint32_t>{0, ScalePosition(1000, 44100, rate, doc->length), doc->length}));
    const std::vector<float> after = ReadFloats(*doc);
    if (rate == 44100) {
      // Channel maps are exact.
      for (std::uint32_t j = 0; j < kFrames; ++j) {
        for (std::uint16_t c = 0; c < channels; ++c) {
          float want = before[j * row.in_channels + (row.in_channels == 1 ? 0 : c)];
          if (row.in_channels == 2 && channels == 1) {
            const float l = before[2 * j], r = before[2 * j + 1];
            want = row.change.mono == MonoFrom::kMix ? (l + r) * 0.5f : row.change.mono == MonoFrom::kLeft ? l : r;
          }
          ASSERT_EQ(after[j * channels + c], want) << j;
        }
      }
    } else if (channels == row.in_channels) {
      EXPECT_LT(ToneError(*doc, 1000.0), 1e-5);
    }
    ASSERT_EQ(Undo(*doc), 0u);
    EXPECT_EQ(doc->rate, 44100u);
    EXPECT_EQ(doc->channels, row.in_channels);
    EXPECT_EQ(doc->code, code_before);
    EXPECT_EQ(ReadFloats(*doc), before);
    EXPECT_EQ(MarkerPositions(doc->markers), (std::vector<std::uint32_t>{0, 1000, 4410}));
    ASSERT_EQ(Redo(*doc), 0u);
    EXPECT_EQ(doc->rate, rate);
    EXPECT_EQ(ReadFloats(*doc), after);
  }
}

// Empty and one-frame documents convert to their rounded lengths.
TEST_F(FormatChangeTest, EmptyAndOneFrameDocuments) {
  for (const std::uint32_t frames : {0u, 1u}) {
    testing::DocumentPtr doc(frames ? ToneDocument(frames, 2, 44100, 1000.0)
                                    : testing::MakeDocument(SegmentList(), 0, 2, 44100));
    ASSERT_TRUE(doc);
    ASSERT_EQ(ChangeFormat(*doc, {48000, 0, 0, MonoFrom::kMix}), 0u);
    EXPECT_EQ(doc->length, frames);
  }
}

// Refusals and cancel leave the document exactly as it was, with no history
// step and no working file left behind.
TEST_F(FormatChangeTest, RefusalsAndCancelChangeNothing) {
  testing::DocumentPtr doc(ToneDocument(44100, 2, 44100, 1000.0));
  const std::vector<float> before = ReadFloats(*doc);
  const std::size_t files = testing::RegularFileCount(work_);
  struct Refusal {
    FormatChange change;
    Error expected;
  };
  const Refusal refusals[] = {
      {{3999, 0, 0, MonoFrom::kMix}, err::kSizeLimit},
      {{384001, 0, 0, MonoFrom::kMix}, err::kSizeLimit},
      {{0, 3, 0, MonoFrom::kMix}, err::kSizeLimit},
      {{0, 0, 0x0005, MonoFrom::kMix}, err::kUnsupportedFormat},
  };
  for (const Refusal& r : refusals) EXPECT_EQ(ChangeFormat(*doc, r.change), r.expected);
  CancelAfter cancel(1);
  EXPECT_EQ(ChangeFormat(*doc, {96000, 0, 0, MonoFrom::kMix}, &cancel), err::kCancelled);
  EXPECT_EQ(doc->rate, 44100u);
  EXPECT_EQ(ReadFloats(*doc), before);
  EXPECT_FALSE(CanUndo(*doc));
  EXPECT_EQ(testing::RegularFileCount(work_), files);

  // A result past 0xFFFF0000 frames: 77 before any work (the document is silence).
  testing::DocumentPtr long_doc(testing::MakeDocument(SegmentList(), 0xF0000000u, 1, 4000));
  EXPECT_EQ(ChangeFormat(*long_doc, {8000, 0, 0, MonoFrom::kMix}), err::kSizeLimit);
  EXPECT_EQ(long_doc->rate, 4000u);
  EXPECT_EQ(long_doc->length, 0xF0000000u);
}

TEST_F(FormatChangeTest, NonFiniteSamplesBecomeSilenceNotNoise) {
  std::vector<float> s(8000, 0.25f);
  s[1000] = std::nanf("");
  s[3000] = INFINITY;
  s[5000] = -INFINITY;
  for (const FormatChange& change : {FormatChange{48000, 0, 0, MonoFrom::kMix}, FormatChange{0, 1, 0, MonoFrom::kMix}}) {
    testing::DocumentPtr doc(FloatDocument(s, 2, 44100));
    ASSERT_EQ(ChangeFormat(*doc, change), 0u);
    for (const float v : ReadFloats(*doc)) ASSERT_TRUE(std::isfinite(v));
  }
}

// Pastes of a clip of another rate convert it first: the document gets the
// tone at its own rate and the clip's markers scaled.
TEST_F(FormatChangeTest, PastesConvertClipsOfAnotherRate) {
  using PasteFn = Error (*)(SoundDocument&, const SoundClip&);
  const std::pair<const char*, PasteFn> commands[] = {
      {"paste", [](SoundDocument& d, const SoundClip& c) { return Paste(d, 0, c); }},
      {"overwrite", [](SoundDocument& d, const SoundClip& c) { return PasteOverwrite(d, 0, c); }},
      {"mix", [](SoundDocument& d, const SoundClip& c) { return MixPaste(d, 0, c, false); }},
      {"replace channels", [](SoundDocument& d, const SoundClip& c) { return ReplaceChannels(d, 0, c, 3); }},
  };
  for (const auto& [name, command] : commands) {
    SCOPED_TRACE(name);
    testing::DocumentPtr source(ToneDocument(9600, 2, 48000, 1000.0));
    InsertMarker(source->markers, NewMarker("m", "", 4800));
    ClipRef clip;
    ASSERT_EQ(CopyToClip(*source, 0, 9600, &clip), 0u);
    testing::DocumentPtr doc(testing::MakeDocument(SegmentList(), 0, 2, 44100));
    ASSERT_EQ(command(*doc, *clip), 0u);
    EXPECT_EQ(doc->length, 8820u);
    EXPECT_LT(ToneError(*doc, 1000.0), 1e-5);
    if (std::string_view(name) == "paste") {
      EXPECT_EQ(MarkerPositions(doc->markers), std::vector<std::uint32_t>{4410});
    }
    ASSERT_EQ(Undo(*doc), 0u);
    EXPECT_EQ(doc->length, 0u);
  }
}

// Replacing channels with a clip of another channel count maps it first.
TEST_F(FormatChangeTest, ReplaceChannelsMapsAnotherChannelCount) {
  testing::DocumentPtr mono(ToneDocument(1000, 1, 44100, 500.0));
  ClipRef clip;
  ASSERT_EQ(CopyToClip(*mono, 0, 1000, &clip), 0u);
  testing::DocumentPtr doc(ToneDocument(1000, 2, 44100, 2000.0));
  const std::vector<float> before = ReadFloats(*doc), m = ReadFloats(*mono);
  ASSERT_EQ(ReplaceChannels(*doc, 0, *clip, 2), 0u);
  const std::vector<float> now = ReadFloats(*doc);
  for (std::size_t j = 0; j < 1000; ++j) {
    ASSERT_EQ(now[2 * j], before[2 * j]) << j;
    ASSERT_EQ(now[2 * j + 1], m[j]) << j;
  }
}

}  // namespace
}  // namespace tidemark
