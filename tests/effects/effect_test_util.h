// Helpers of every effect test: settings blocks built field by field, seeded
// samples, documents over them, reading a document back, selecting, a settings dialog stand-in and a progress
// display that cancels on cue.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/sources/file_source.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/settings_block.h"
#include "effects/framework/settings_dialog.h"
#include "platform/error_numbers.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark::testing {

// A little-endian block of `size` zero bytes with fields written into it.
class BlockBytes {
 public:
  explicit BlockBytes(std::size_t size) : bytes_(size, 0) {}
  BlockBytes& I16(std::size_t offset, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    bytes_.at(offset) = static_cast<std::uint8_t>(bits);
    bytes_.at(offset + 1) = static_cast<std::uint8_t>(bits >> 8);
    return *this;
  }
  BlockBytes& U8(std::size_t offset, std::uint8_t value) {
    bytes_.at(offset) = value;
    return *this;
  }
  BlockBytes& F32(std::size_t offset, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<std::uint8_t>(bits >> (8 * i));
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  operator SettingsBlock() const { return SettingsBlock{bytes_}; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Seeded samples in [-amplitude, amplitude).
inline std::vector<float> RandomSamples(std::size_t count, std::uint32_t seed, float amplitude = 0.9f) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-amplitude, amplitude);
  std::vector<float> out(count);
  for (float& v : out) v = dist(gen);
  return out;
}

// A document over a headerless float file holding `samples` (interleaved).
inline DocumentPtr MakeFloatDocument(const std::vector<float>& samples, std::uint16_t channels,
                                     std::uint32_t rate = 44100) {
  static int counter = 0;
  const std::string path = MakeTempDir("effect") + "/samples" + std::to_string(counter++) + ".f32";
  std::vector<std::uint8_t> bytes(samples.size() * sizeof(float));
  if (!samples.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
  WriteWholeFile(path, bytes);
  const auto frames = static_cast<std::uint32_t>(samples.size() / channels);
  SegmentList list;
  if (frames > 0) {
    SourceRef source;
    EXPECT_EQ(OpenFileSource(path, 0, rate, sample_code::kFloat, channels, frames, 0, nullptr, &source), 0u);
    list.PushBack(NewSegment(std::move(source), 0, frames, 0));
  }
  return DocumentPtr(MakeDocument(std::move(list), frames, channels, rate));
}

// Every sample of the document as float, interleaved.
inline std::vector<float> ReadAll(const SoundDocument& document) {
  std::vector<float> out(std::size_t{document.length} * document.channels);
  SegmentCursor cursor(document.segments, document.channels, document.length);
  cursor.Seek(0);
  EXPECT_EQ(cursor.ReadFloat(document.length, out.data(), document.channels), 0u);
  return out;
}

inline void Select(SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  SetSelection(document, from, to);
}
inline void SelectAll(SoundDocument& document) { SetSelection(document, 0, document.length); }

// The settings dialog stand-in: answers `result`, or puts `block` in (when
// given) and then writes `values` (stored values by field name) into what
// the entry loaded and clamped.
class StubDialog : public SettingsDialog {
 public:
  StubDialog() = default;
  explicit StubDialog(Error answer) : result(answer) {}
  explicit StubDialog(std::optional<SettingsBlock> given) : block(std::move(given)) {}
  Error Edit(CEffEntry& entry, const CEffEntry::SetupParams&, SettingsBlock& shown_block) override {
    ++shown;
    if (result) return result;
    if (block) shown_block = *block;
    for (const auto& [name, stored] : values) {
      const SettingsField* field = FindField(*entry.GetSettingsLayout(), name);
      EXPECT_NE(field, nullptr) << name;
      if (field) PutField(*field, stored, shown_block.bytes);
    }
    return err::kOk;
  }

  Error result;
  std::optional<SettingsBlock> block;
  std::vector<std::pair<std::string, double>> values;
  int shown = 0;
};

// A progress display that asks to cancel from its (k+1)-th question on
// (never when k < 0), and keeps what it was shown.
class TestDisplay final : public ProgressDisplay {
 public:
  explicit TestDisplay(int cancel_after = -1) : cancel_after_(cancel_after) {}
  void Show(std::string_view text) override {
    ++shows;
    caption = std::string(text);
  }
  void SetPercent(std::uint32_t percent) override { percents.push_back(percent); }
  void Hide() override { ++hides; }
  bool CancelRequested() override { return cancel_after_ >= 0 && asked.fetch_add(1) >= cancel_after_; }

  int shows = 0;
  int hides = 0;
  std::string caption;
  std::vector<std::uint32_t> percents;
  std::atomic<int> asked{0};

 private:
  int cancel_after_;
};

}  // namespace tidemark::testing
