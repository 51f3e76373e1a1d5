// Test-local entries, runs and displays for the framework tests: a stateful
// run with a latency and its plain reference, a block-run entry around it,
// a pull run that doubles the length and its entry, and snapshots of a
// document.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/document/sound_document.h"
#include "core/io/work_folder.h"
#include "core/undo/undo_history.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/settings_dialog.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/effects/effect_test_util.h"
#include "tests/effects/framework/alloc_fault.h"

namespace tidemark::testing {

inline constexpr float kSumScale = 1.0f / 1024.0f;

// y[t] = x[t - L] + x[t] / 4 + (x[0] + ... + x[t]) / 1024 per channel (x
// before 0 is 0): its output lags by L and still depends on its newest
// input and on all it has seen. It processes every channel, whatever the
// mask, so the framework must restore the unselected ones. It keeps what it
// was fed.
class LatencyRun final : public CEffRun {
 public:
  LatencyRun(std::uint32_t latency, std::uint16_t channels, std::string name = "Latency run")
      : latency_(latency), channels_(channels), name_(std::move(name)) {
    Reset();
  }
  Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t) override {
    if (channels != channels_) return err::kSizeLimit;
    if (std::find(buffers.begin(), buffers.end(), buffer) == buffers.end()) buffers.push_back(buffer);
    fed.insert(fed.end(), buffer, buffer + std::size_t{frames} * channels);
    for (std::size_t i = 0; i < std::size_t{frames} * channels; ++i) {
      const std::size_t c = i % channels;
      const float x = buffer[i];
      sum_[c] += x;
      float delayed = x;
      if (latency_ > 0) {
        std::size_t& at = at_[c];
        delayed = line_[c][at];
        line_[c][at] = x;
        at = (at + 1) % latency_;
      }
      buffer[i] = delayed + x * 0.25f + sum_[c] * kSumScale;
    }
    return err::kOk;
  }
  void Reset() override {
    line_.assign(channels_, std::vector<float>(latency_, 0.0f));
    at_.assign(channels_, 0);
    sum_.assign(channels_, 0.0f);
    fed.clear();
  }
  std::uint32_t GetLatency() const override { return latency_; }
  std::string GetName() const override { return name_; }

  std::vector<float> fed;  // every frame fed, interleaved
  std::vector<const float*> buffers;  // every buffer seen

 private:
  std::uint32_t latency_;
  std::uint16_t channels_;
  std::string name_;
  std::vector<std::vector<float>> line_;
  std::vector<std::size_t> at_;
  std::vector<float> sum_;
};

// The run's formula over a whole input, written out plainly.
inline std::vector<float> LatencyReference(const std::vector<float>& in, std::uint16_t channels,
                                           std::uint32_t latency) {
  std::vector<float> out(in.size());
  std::vector<float> sum(channels, 0.0f);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const std::size_t c = i % channels;
    const std::size_t lag = std::size_t{latency} * channels;
    sum[c] += in[i];
    const float delayed = latency == 0 ? in[i] : (i >= lag ? in[i - lag] : 0.0f);
    out[i] = delayed + in[i] * 0.25f + sum[c] * kSumScale;
  }
  return out;
}

// Frames [from, from + n) of an interleaved buffer; silence where it ends.
inline std::vector<float> FramesOf(const std::vector<float>& samples, std::uint16_t channels, std::size_t from,
                                   std::size_t n) {
  std::vector<float> out(n * channels, 0.0f);
  for (std::size_t i = 0; i < n * channels; ++i)
    if (from * channels + i < samples.size()) out[i] = samples[from * channels + i];
  return out;
}

// A block-run entry over the row of `command` whose run is a LatencyRun.
class TestEntry final : public CEffEntry_Std, public CEffChain_Std {
 public:
  explicit TestEntry(std::uint32_t command) : CEffEntry(command) {}

  std::uint32_t latency = 0;
  std::uint16_t output_channels = 0;  // 0: as the params say
  std::string run_name = "Latency run";
  LatencyRun* last_run = nullptr;  // the run of the latest CreateRun

  Error CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) override {
    std::unique_ptr<LatencyRun> made;
    if (MakeNew(&made, latency, params.output_channels, run_name)) return err::kOutOfMemory;
    last_run = made.get();
    *run = std::move(made);
    return err::kOk;
  }

 protected:
  Error FillParams(ProgressScope*, SetupParams& params, const SettingsBlock&) override {
    if (output_channels != 0) params.output_channels = output_channels;
    return err::kOk;
  }
};

// Everything an effect that fails or is cancelled must leave as it was.
struct DocumentState {
  std::uint16_t channels;
  std::uint32_t length;
  std::vector<float> samples;
  std::vector<SegmentShape> segments;
  std::size_t history_size;
  const UndoRecord* undo_record;
  std::uint32_t modification_counter;
  bool format_changed;
  std::vector<std::string> work_files;
};

inline bool PageAligned(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) % static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE)) == 0;
}

inline std::vector<std::string> WorkFiles() {
  std::string folder;
  EXPECT_EQ(EnsureWorkFolder(&folder), 0u);
  return FolderNames(folder);
}

inline DocumentState StateOf(const SoundDocument& d) {
  return {d.channels,
          d.length,
          ReadAll(d),
          ShapeOf(d.segments),
          d.history.size(),
          d.history.undo_record(),
          d.modification_counter,
          d.format_changed,
          WorkFiles()};
}

inline void ExpectUnchanged(const DocumentState& before, const SoundDocument& d, const std::string& where) {
  const DocumentState now = StateOf(d);
  EXPECT_EQ(now.channels, before.channels) << where;
  EXPECT_EQ(now.length, before.length) << where;
  EXPECT_EQ(now.samples, before.samples) << where;
  EXPECT_TRUE(SameShapes(now.segments, before.segments)) << where;
  EXPECT_EQ(now.history_size, before.history_size) << where;
  EXPECT_EQ(now.undo_record, before.undo_record) << where;
  EXPECT_EQ(now.modification_counter, before.modification_counter) << where;
  EXPECT_EQ(now.format_changed, before.format_changed) << where;
  EXPECT_EQ(now.work_files, before.work_files) << where << ": a working file was left";
}

// An editor window that makes the next allocation on its thread fail when
// it is told a selection while the document has two channels: for a mono
// document made stereo, that is ReplaceRange after the conversion.
class FailAfterConversionEditor final : public HeadlessEditorWindow {
 public:
  explicit FailAfterConversionEditor(const SoundDocument& document)
      : HeadlessEditorWindow(document.channels), document_(document) {}
  bool armed = false;

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) override {
    const MsgResult r = HeadlessEditorWindow::Handle(msg, wparam, lparam);
    if (msg == editor_msg::kSetSelection && document_.channels == 2 && !armed) {
      armed = true;
      FailNthAllocation(1);
    }
    return r;
  }

 private:
  const SoundDocument& document_;
};

// The common fields of params for [start, start + length) of `document`.
inline void FillCommon(CEffEntry::SetupParams& p, SoundDocument& document, std::uint32_t start,
                       std::uint32_t length, std::uint16_t mask, std::uint16_t output_channels = 0) {
  p.target = &document;
  p.start = start;
  p.length = length;
  p.input_channels = document.channels;
  p.output_channels = output_channels ? output_channels : document.channels;
  p.channel_mask = mask;
  p.ready = 1;
}

// A main frame for the status line; the editors of documents.
class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMainFrame(&frame_); }
  void TearDown() override { SetMainFrame(nullptr); }
  static HeadlessEditorWindow& EditorOf(SoundDocument& d) { return *static_cast<HeadlessEditorWindow*>(d.editor.get()); }

  HeadlessMainFrame frame_;
};

inline constexpr float kGains[2] = {0.5f, -1.0f};
// Each source frame twice: output frame j, channel c is kGains[c] times
// channel c of source frame j / 2 (channel 0 of a mono source). It promises
// `promised` frames and delivers `delivered_limit` in all (both 2 x length
// unless set), or more than asked when `overdeliver` is set.
class DoublingPullRun final : public CResampleEffRun {
 public:
  DoublingPullRun(std::uint32_t start, std::uint32_t length, std::uint16_t in_channels, std::uint16_t out_channels)
      : promised(2 * length), delivered_limit(2 * length), start_(start), length_(length), in_(in_channels),
        out_(out_channels) {}

  std::uint32_t SourceStart() const override { return start_; }
  std::uint32_t SourceLength() const override { return length_; }
  std::uint32_t OutputLength() const override { return promised; }
  std::uint16_t OutputChannels() const override { return out_; }
  Error Pull(PullSource& source, float* dst, std::uint32_t frames, std::uint32_t* delivered) override {
    ++pulls;
    if (std::find(buffers.begin(), buffers.end(), dst) == buffers.end()) buffers.push_back(dst);
    const std::uint32_t n = std::min(frames, delivered_limit - done_);
    if (n == 0) {
      *delivered = 0;
      return err::kOk;
    }
    const std::uint32_t first = done_ / 2, count = (done_ + n - 1) / 2 - first + 1;
    buffer_.resize(std::size_t{count} * in_);
    if (const Error rc = source.Read(start_ + first, count, buffer_.data(), in_)) return rc;
    for (std::uint32_t j = 0; j < n; ++j)
      for (std::uint16_t c = 0; c < out_; ++c)
        dst[std::size_t{j} * out_ + c] =
            kGains[c] * buffer_[std::size_t{(done_ + j) / 2 - first} * in_ + std::min<std::uint16_t>(c, in_ - 1)];
    done_ += n;
    *delivered = overdeliver ? frames + 1 : n;
    return err::kOk;
  }
  void Reset() override { done_ = 0; }
  std::string GetName() const override { return "Doubling"; }

  std::uint32_t promised;
  std::uint32_t delivered_limit;
  bool overdeliver = false;
  int pulls = 0;
  std::vector<const float*> buffers;  // every buffer seen

 private:
  std::uint32_t start_, length_;
  std::uint16_t in_, out_;
  std::uint32_t done_ = 0;
  std::vector<float> buffer_;
};

// A pull-run entry in the row of Pitch change: each frame twice, mono made stereo.
class TestPullEntry final : public CEffEntry_Resample {
 public:
  TestPullEntry() : CEffEntry(318) {}
  Error CreateRun(ProgressScope*, SetupParams& params, ResampleEffRunPtr* run) override {
    std::unique_ptr<DoublingPullRun> made;
    if (MakeNew(&made, params.start, params.length, params.input_channels, std::uint16_t{2})) return err::kOutOfMemory;
    *run = std::move(made);
    return err::kOk;
  }

 protected:
  Error FillParams(ProgressScope*, SetupParams& params, const SettingsBlock&) override {
    params.output_channels = 2;
    return err::kOk;
  }
};

}  // namespace tidemark::testing
