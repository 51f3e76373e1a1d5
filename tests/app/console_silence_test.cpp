// The console's silence commands: find-silence marks where each gap starts
// and ends, delete-silence takes the gaps out, each as one undo step; a
// malformed form, a cancel or a search without gaps changes nothing.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/undo/undo_history.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"

namespace tidemark::testing {
namespace {

using console::Result;
using MarkerRows = std::vector<std::pair<std::uint32_t, std::string>>;

// At 8 kHz: 250 ms of sound (random signs at 0.5), 500 ms of zeros, 250 ms
// sound, 100 ms zeros, 250 ms sound, 300 ms zeros. `at` gets each piece's start and the end.
std::vector<float> Layout(std::uint16_t channels, std::vector<std::uint32_t>* at) {
  std::mt19937 gen(17);
  std::vector<float> x;
  *at = {0};
  for (const std::uint32_t frames : {2000u, 4000u, 2000u, 800u, 2000u, 2400u}) {
    const bool loud = at->size() % 2 == 1;
    for (std::size_t i = 0; i < std::size_t{frames} * channels; ++i) x.push_back(loud ? (gen() & 1 ? 0.5f : -0.5f) : 0);
    at->push_back(at->back() + frames);
  }
  return x;
}

MarkerRows Markers(const SoundDocument& doc) {
  MarkerRows out;
  for (const Marker* m = doc.markers.first(); m; m = m->next) out.emplace_back(m->position, m->name);
  return out;
}

std::string Named(TextSlot slot, int n) { return std::string(UiText(slot)) + " " + std::to_string(n); }

TEST_F(ConsoleEffect, FindSilenceMarksEveryGapInOneUndoStep) {
  std::vector<std::uint32_t> at;
  SoundDocument& doc = Adopt(Layout(2, &at), 2, 8000);
  Select(doc, 0, 0);  // nothing selected: the whole document
  const std::string out = Done("find-silence -40 200");
  EXPECT_EQ(out.rfind("2 ", 0), 0u);
  // Each gap listed by number, first frame and the frame where sound resumes.
  EXPECT_NE(out.find("\n1  " + std::to_string(at[1]) + "  " + std::to_string(at[2]) + "  "), std::string::npos) << out;
  EXPECT_NE(out.find("\n2  " + std::to_string(at[5]) + "  " + std::to_string(at[6]) + "  "), std::string::npos) << out;
  EXPECT_EQ(Markers(doc), (MarkerRows{{at[1], Named(text::kGapResultColumnStart, 1)},
                                      {at[2], Named(text::kGapResultColumnEnd, 1)},
                                      {at[5], Named(text::kGapResultColumnStart, 2)},
                                      {at[6], Named(text::kGapResultColumnEnd, 2)}}));
  Done("undo");
  EXPECT_TRUE(Markers(doc).empty());
  EXPECT_FALSE(CanUndo(doc));
}

TEST_F(ConsoleEffect, DeleteSilenceTakesOutTheGapsInOneUndoStep) {
  std::vector<std::uint32_t> at;
  const std::vector<float> input = Layout(2, &at);
  SoundDocument& doc = Adopt(input, 2, 8000);
  Select(doc, 0, 0);
  Done("marker add " + std::to_string(at[2] + 10) + "f kept");
  Done("marker add " + std::to_string(at[1] + 10) + "f gone");
  Done("delete-silence -40 200");
  std::vector<float> expected(input.begin(), input.begin() + 2 * at[1]);
  expected.insert(expected.end(), input.begin() + 2 * at[2], input.begin() + 2 * at[5]);
  EXPECT_EQ(ReadAll(doc), expected);
  EXPECT_EQ(Markers(doc), (MarkerRows{{at[1] + 10, "kept"}}));
  Done("undo");
  EXPECT_EQ(ReadAll(doc), input);
  EXPECT_EQ(Markers(doc).size(), 2u);
  // Within a selection only its gaps go, and the selection keeps what is left.
  Select(doc, at[2], at[6]);
  Done("delete-silence -40 200");
  EXPECT_EQ(doc.length, at[5]);
  EXPECT_EQ(Selection(doc), std::make_pair(at[2], at[5]));
}

TEST_F(ConsoleEffect, SilenceCommandsThatChangeNothing) {
  std::vector<std::uint32_t> at;
  const std::vector<float> input = Layout(1, &at);
  const std::pair<std::string, std::pair<std::uint32_t, std::uint32_t>> done_cases[] = {
      {"delete-silence -40 100", {0, 2000}},     // all sound
      {"delete-silence -40 1", {3000, 3001}},    // one frame
      {"delete-silence -40 1", {3000, 3079}},    // shorter than the window
      {"find-silence -40 5000", {0, 0}},         // only shorter gaps
  };
  const char* const malformed[] = {
      "find-silence -40", "find-silence x 100", "find-silence 3 100", "find-silence -201 100",
      "find-silence -40 -5", "find-silence -40 100 abc", "find-silence -40 100 0 0 0",
      "find-silence -40 100 0 0 20000", "delete-silence -40 nan", "delete-silence -40 100 0 0 10 7",
  };
  const auto check = [&](const std::string& line, std::pair<std::uint32_t, std::uint32_t> selection, Result expected) {
    SoundDocument& doc = Adopt(input, 1, 8000);
    Select(doc, selection.first, selection.second);
    EXPECT_EQ(Execute(line), expected) << line;
    const std::string err = Err(), out = Out();
    if (expected == Result::kDone) EXPECT_EQ(out, std::string(UiText(text::kGapPopupNoneFound)) + "\n") << line;
    else EXPECT_EQ(err.rfind("error: ", 0), 0u) << line;
    EXPECT_EQ(ReadAll(doc), input) << line;
    EXPECT_TRUE(Markers(doc).empty() && doc.history.empty()) << line;
  };
  for (const auto& [line, selection] : done_cases) check(line, selection, Result::kDone);
  for (const char* line : malformed) check(line, {0, 0}, Result::kFailed);
}

TEST_F(ConsoleEffect, CancelledDeleteSilenceLeavesTheDocument) {
  std::vector<std::uint32_t> at;
  const std::vector<float> input = Layout(2, &at);
  SoundDocument& doc = Adopt(input, 2, 8000);
  console::ProgressHooks hooks;
  hooks.cancel_requested = [] { return true; };
  run_.session.set_progress(hooks);
  EXPECT_EQ(Execute("delete-silence -40 100"), Result::kFailed);
  EXPECT_NE(Err().find(UiText(text::kConsoleCancelled)), std::string::npos);
  EXPECT_EQ(ReadAll(doc), input);
  EXPECT_TRUE(doc.history.empty());
}

}  // namespace
}  // namespace tidemark::testing
