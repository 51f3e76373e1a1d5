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
#include "app/console_progress.h"
#include "core/undo/undo_history.h"
#include "effects/framework/block_run_worker.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"

namespace tidemark::testing {
namespace {

using console::Result;

constexpr std::uint32_t kRate = 8000;

// Loud (random signs at 0.5) and quiet (all zero) pieces of `frames`.
struct Piece {
  bool loud;
  std::uint32_t frames;
};

struct Material {
  std::vector<float> samples;
  std::vector<std::uint32_t> starts;  // of each piece, and the end
};

Material Build(const std::vector<Piece>& pieces, std::uint16_t channels) {
  std::mt19937 gen(17);
  Material m;
  m.starts.push_back(0);
  for (const Piece& p : pieces) {
    for (std::size_t i = 0; i < std::size_t{p.frames} * channels; ++i)
      m.samples.push_back(p.loud ? (gen() & 1 ? 0.5f : -0.5f) : 0.0f);
    m.starts.push_back(m.starts.back() + p.frames);
  }
  return m;
}

std::vector<std::pair<std::uint32_t, std::string>> Markers(const SoundDocument& doc) {
  std::vector<std::pair<std::uint32_t, std::string>> out;
  for (const Marker* m = doc.markers.first(); m; m = m->next) out.emplace_back(m->position, m->name);
  return out;
}

std::string Named(TextSlot slot, int number) { return std::string(UiText(slot)) + " " + std::to_string(number); }

// 250 ms sound, 500 ms quiet, 250 ms sound, 100 ms quiet, 250 ms sound, 300 ms quiet.
const std::vector<Piece> kLayout = {{1, 2000}, {0, 4000}, {1, 2000}, {0, 800}, {1, 2000}, {0, 2400}};

TEST_F(ConsoleEffect, FindSilenceMarksEveryGapInOneUndoStep) {
  const Material m = Build(kLayout, 2);
  SoundDocument& doc = Adopt(m.samples, 2, kRate);
  Select(doc, 0, 0);  // nothing selected: the whole document
  const std::string out = Done("find-silence -40 200");
  EXPECT_EQ(out.rfind("2 ", 0), 0u) << out;
  const std::vector<std::pair<std::uint32_t, std::string>> expected = {
      {m.starts[1], Named(text::kGapResultColumnStart, 1)}, {m.starts[2], Named(text::kGapResultColumnEnd, 1)},
      {m.starts[5], Named(text::kGapResultColumnStart, 2)}, {m.starts[6], Named(text::kGapResultColumnEnd, 2)}};
  EXPECT_EQ(Markers(doc), expected);
  EXPECT_EQ(ReadAll(doc), m.samples);
  Done("undo");
  EXPECT_TRUE(Markers(doc).empty());
  EXPECT_FALSE(CanUndo(doc));

  // A selection limits the search; the shorter gap counts with a lower minimum.
  Select(doc, m.starts[2], m.starts[5]);
  Done("find-silence -40 50");
  EXPECT_EQ(Markers(doc), (std::vector<std::pair<std::uint32_t, std::string>>{
                              {m.starts[3], Named(text::kGapResultColumnStart, 1)},
                              {m.starts[4], Named(text::kGapResultColumnEnd, 1)}}));
}

TEST_F(ConsoleEffect, DeleteSilenceTakesOutTheGapsInOneUndoStep) {
  const Material m = Build(kLayout, 2);
  SoundDocument& doc = Adopt(m.samples, 2, kRate);
  Select(doc, 0, 0);
  // A marker in the sound after the first gap moves with it; one inside a gap goes.
  Done("marker add " + std::to_string(m.starts[2] + 10) + "f kept");
  Done("marker add " + std::to_string(m.starts[1] + 10) + "f gone");
  const std::size_t steps = doc.history.size();
  Done("delete-silence -40 200");

  std::vector<float> expected;
  for (const std::size_t piece : {0, 2, 3, 4})
    expected.insert(expected.end(), m.samples.begin() + 2 * std::ptrdiff_t{m.starts[piece]},
                    m.samples.begin() + 2 * std::ptrdiff_t{m.starts[piece + 1]});
  EXPECT_EQ(ReadAll(doc), expected);
  EXPECT_EQ(Markers(doc), (std::vector<std::pair<std::uint32_t, std::string>>{{m.starts[1] + 10, "kept"}}));
  EXPECT_EQ(doc.history.size(), steps + 1);

  Done("undo");
  EXPECT_EQ(ReadAll(doc), m.samples);
  EXPECT_EQ(Markers(doc).size(), 2u);

  // Within a selection only its gaps go, and the selection keeps what is left.
  Select(doc, m.starts[2], m.starts[6]);
  Done("delete-silence -40 200");
  EXPECT_EQ(doc.length, m.starts[6] - (m.starts[6] - m.starts[5]));
  EXPECT_EQ(Selection(doc), std::make_pair(m.starts[2], m.starts[5]));
}

struct UnchangedCase {
  std::string line;
  Result result;
  std::pair<std::uint32_t, std::uint32_t> selection = {0, 0};
};

// Malformed forms fail with a message; searches without a gap say so.
TEST_F(ConsoleEffect, SilenceCommandsThatChangeNothing) {
  const Material m = Build(kLayout, 1);
  const UnchangedCase cases[] = {
      {"find-silence", Result::kFailed},
      {"find-silence -40", Result::kFailed},
      {"find-silence x 100", Result::kFailed},
      {"find-silence 3 100", Result::kFailed},
      {"find-silence -201 100", Result::kFailed},
      {"find-silence -40 -5", Result::kFailed},
      {"find-silence -40 100 abc", Result::kFailed},
      {"find-silence -40 100 0 1e", Result::kFailed},
      {"find-silence -40 100 0 0 0", Result::kFailed},
      {"find-silence -40 100 0 0 20000", Result::kFailed},
      {"delete-silence -40 nan", Result::kFailed},
      {"delete-silence -40 100 0 0 10 7", Result::kFailed},
      {"delete-silence -40 100", Result::kDone, {0, 2000}},         // all sound
      {"delete-silence -40 1", Result::kDone, {3000, 3001}},        // one frame
      {"delete-silence -40 1", Result::kDone, {3000, 3079}},        // shorter than the window
      {"find-silence -40 5000", Result::kDone},                      // only shorter gaps
  };
  for (const UnchangedCase& c : cases) {
    SCOPED_TRACE(c.line);
    SoundDocument& doc = Adopt(m.samples, 1, kRate);
    Select(doc, c.selection.first, c.selection.second);
    EXPECT_EQ(Execute(c.line), c.result);
    const std::string err = Err(), out = Out();
    if (c.result == Result::kFailed) {
      EXPECT_EQ(err.rfind("error: ", 0), 0u) << err;
    } else {
      EXPECT_EQ(err, "");
      EXPECT_EQ(out, std::string(UiText(text::kGapPopupNoneFound)) + "\n");
    }
    EXPECT_EQ(ReadAll(doc), m.samples);
    EXPECT_TRUE(Markers(doc).empty());
    EXPECT_TRUE(doc.history.empty());
  }
}

TEST_F(ConsoleEffect, CancelledDeleteSilenceLeavesTheDocument) {
  // Five blocks of the scan.
  const std::uint32_t half = 2 * EffectBlockFrames(2) + 500;
  const Material m = Build({{1, half}, {0, 8000}, {1, half}}, 2);
  SoundDocument& doc = Adopt(m.samples, 2, kRate);
  int asked = 0, cancel_at = 0;
  console::ProgressHooks hooks;
  hooks.cancel_requested = [&] { return ++asked >= cancel_at; };
  run_.session.set_progress(hooks);
  int cancels = 0;
  for (cancel_at = 1; cancel_at < 50; ++cancel_at) {
    asked = 0;
    if (Execute("delete-silence -40 100") == Result::kDone) break;
    ++cancels;
    EXPECT_NE(Err().find(UiText(text::kConsoleCancelled)), std::string::npos);
    EXPECT_EQ(doc.length, m.starts.back());
    EXPECT_TRUE(doc.history.empty());
  }
  EXPECT_GE(cancels, 4);
  EXPECT_EQ(doc.length, m.starts.back() - 8000);
}

}  // namespace
}  // namespace tidemark::testing
