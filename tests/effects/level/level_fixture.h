// What the level, time-reverse and statistics tests share: a private
// working folder, a main frame, a settings dialog that writes given field
// values, a progress display that cancels on request, and documents of
// seeded random float samples.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "effects/framework/effect_registry.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/settings_dialog.h"
#include "platform/headless_editor_window.h"
#include "platform/error_numbers.h"
#include "platform/headless_main_frame.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {

// Writes the given stored values into the block it is shown (after the
// entry loaded and clamped it), or answers `result`.
class FieldDialog : public SettingsDialog {
 public:
  Error Edit(CEffEntry& entry, const CEffEntry::SetupParams&, SettingsBlock& block) override {
    ++shown;
    if (result) return result;
    for (const auto& [name, stored] : values) {
      const SettingsField* field = FindField(*entry.GetSettingsLayout(), name);
      EXPECT_NE(field, nullptr) << name;
      if (field) PutField(*field, stored, block.bytes);
    }
    return err::kOk;
  }

  std::vector<std::pair<std::string, double>> values;
  Error result = err::kOk;
  int shown = 0;
};

// Asks for cancel from the (cancel_after + 1)-th question on; never when
// cancel_after is negative.
class CancellingDisplay : public ProgressDisplay {
 public:
  explicit CancellingDisplay(int cancel_after) : cancel_after_(cancel_after) {}
  void Show(std::string_view) override {}
  void SetPercent(std::uint32_t) override {}
  void Hide() override {}
  bool CancelRequested() override { return cancel_after_ >= 0 && asked_.fetch_add(1) >= cancel_after_; }
  int asked() const { return asked_.load(); }

 private:
  int cancel_after_;
  std::atomic<int> asked_{0};
};

// Uniform samples in [-amplitude, amplitude) from `seed`.
inline std::vector<float> RandomSamples(std::size_t count, std::uint32_t seed, float amplitude = 0.5f) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
  std::vector<float> out(count);
  for (float& x : out) x = uniform(engine);
  return out;
}

inline std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

class LevelEffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = MakeTempDir("work");
    MutableCoreOptions().host_work_folder = work_;
    SetMainFrame(&frame_);
  }
  void TearDown() override {
    doc_.reset();
    SetMainFrame(nullptr);
    SetProgressDisplay(nullptr);
    MutableCoreOptions() = CoreOptions();
  }

  // The document over `samples`, all of it selected with every channel.
  void Open(const std::vector<float>& samples, std::uint16_t channels, std::uint32_t rate = 44100) {
    doc_ = MakeFloatDocument(samples, channels, rate);
    ASSERT_TRUE(doc_);
    SelectAll(*doc_);
  }
  HeadlessEditorWindow& editor() { return *static_cast<HeadlessEditorWindow*>(doc_->editor.get()); }
  static CEffEntry& EntryNamed(std::string_view key) {
    CEffEntry* entry = EffectRegistry::FindByKey(key);
    EXPECT_NE(entry, nullptr) << key;
    return *entry;
  }
  // Working files below the working folder (the documents' own sample
  // files lie elsewhere).
  std::size_t WorkFiles() const { return FilesIn(work_); }

  std::string work_;
  HeadlessMainFrame frame_;
  DocumentPtr doc_;
};

}  // namespace tidemark::testing
