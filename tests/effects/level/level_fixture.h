// The fixture of the level, time-reverse and statistics tests: a private
// working folder, a main frame and a document of the test's samples.
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
