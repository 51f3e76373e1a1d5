#include "config/text_sections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/text_slots.h"

namespace tidemark {
namespace {

// The sections and their text counts as the language files know them, kept
// apart from the table so that a slip in either shows.
constexpr std::string_view kDesignedSections =
    "button (9), cderase (7), cderase/popup (2), cdread (15), cdread/popup (1), cdread/tooltip (8), "
    "cdwrite (19), cdwrite/menu (5), cdwrite/menu/tracklist (3), cdwrite/tooltip (3), "
    "cdwrite/track (2), cdwrite/tracklist/popup (6), cdwrite/wait (4), cdwritecheck/popup (8), "
    "cdwriteexec (29), cdwriteexec/popup (1), checkinput/popup (1), checkpcm/popup (2), "
    "chopandarrange (8), closepcm/popup (5), console/help (21), console/playback (4), createdirectory/popup (1), cuepoint/copy (8), "
    "cuepoint/new (3), cuepoint/popup (1), cuepoint/select (5), cuepoint/tooltip (2), "
    "effect/channelexchange (2), effect/clickremoval (9), effect/compress (12), effect/delay (7), "
    "effect/doppler (13), effect/fade (7), effect/firfile (5), effect/graphiceq (2), "
    "effect/hissreduction (19), effect/iirfilter (4), effect/iirfilter/descerror (16), "
    "effect/iirfilter/popup (2), effect/limiter (7), effect/lowpasshighpass (12), effect/midside (2), "
    "effect/monooutput (10), effect/noisegenerator (3), effect/normalize (6), effect/offset (4), "
    "effect/pan (10), effect/parametriceq (10), effect/parametriceq/label (2), "
    "effect/pitchchange (6), effect/plotfir (17), effect/reverb (24), effect/reverb/color (14), "
    "effect/reverb/color/label (2), effect/reverb/label (2), effect/reverb/popup (1), "
    "effect/signreverse (2), effect/silence (2), effect/sinegenerator (16), "
    "effect/sinegenerator/popup (3), effect/timereverse (2), effect/voicepitch (8), "
    "effect/volume (5), effectchain (9), effectchain/popup (3), encode (15), encode/aac (3), "
    "encode/acm (3), encode/acm/popup (1), encode/flac (13), encode/lamemp3 (19), encode/mp3 (7), "
    "encode/opus (11), encode/vorbis (9), encode/wma (14), error (80), error/audioclient (6), "
    "error/cd (20), error/directsound (4), error/effectchain (3), error/script (14), "
    "error/silent (3), error/wavein (2), error/waveout (2), exclusiveformat (1), exit/popup (3), "
    "filerequest (4), filerequest/popup (1), formatchange (13), frame/menu (7), "
    "frame/menu/edit (24), frame/menu/edit/cuepoint (10), frame/menu/edit/encode (7), "
    "frame/menu/edit/marker (6), frame/menu/edit/marker/selectlen (4), frame/menu/effect (26), "
    "frame/menu/effect/channel (3), frame/menu/effect/extras (7), frame/menu/file (9), "
    "frame/menu/help (3), frame/menu/tools (18), frame/menu/tools/playbackscaler (4), "
    "frame/menu/tools/project (1), frame/menu/tools/toolbar (3), frame/menu/view (11), "
    "frame/menu/view/unit (3), frame/menu/view/videosize (4), frame/menu/view/xzoom (3), "
    "frame/menu/window (7), frame/rebar/marker (6), frame/rebar/marker/menu (3), "
    "frame/rebar/playbackscaler (1), frame/rebar/playbackscaler/menu (2), "
    "frame/rebar/playbackvolume (1), freqdomaingraph/menu (5), freqdomaingraph/menu/copy (2), "
    "gapsearch (21), gapsearch/popup (1), gapsearch/result (10), id3lyrics (8), id3text (4), "
    "insertsilence (4), jointnormalize (6), keyassign/desc (71), keyassign/group (8), "
    "keyassign/keyname (21), menu (4), menudesc (114), messagebox (10), mixdown (19), "
    "mixdown/menu (3), mixdown/popup (2), mixdown/tooltip (3), newformat (6), pcmtext (10), "
    "pcmtextedit (3), playbackspectrum (5), playbox (1), playbox/tooltip (4), plugin/popup (2), "
    "powercontrol (4), presetbox (3), presetbox/popup (2), product (2), progress (12), "
    "project/popup (8), rawpcmformat (6), record (26), record/popup (2), record/tooltip (4), "
    "savepcm/popup (1), script (9), script/console (1), script/menu (1), script/popup (1), script/result (8), "
    "sectionpickup (9), settings (1), settings/advanced (19), settings/basic (11), "
    "settings/color (13), settings/display (11), settings/import (7), settings/keyboard (8), "
    "settings/keyboard/popup (2), settings/playback (7), settings/plugin (3), "
    "settings/quality (19), settings/record (11), sound (4), sounddevice (1), spectrogram (11), "
    "spectrogram/label (5), spectrogram/menu (12), spectrogram/menu/frequencyaxis (3), "
    "spectrum (13), spectrum/label (2), spectrum/menu (4), spectrum/menu/fftbits (2), "
    "spectrum/menu/windowfunc (4), spectrum/menu/windowlen (1), statistics/popup (7), status (6), "
    "text (48), toolbar/icondesc (36), undo (19), unknownformat (5), videoplayback (1), "
    "vst/menu (2), vst/menu/factorypreset (2), wavegraph/cuepoint/menu (2), wavegraph/menu (10), "
    "wavegraph/mixenvelope (3), wavegraph/mixenvelope/menu (3)";

std::vector<std::pair<std::string, unsigned>> DesignedSections() {
  std::vector<std::pair<std::string, unsigned>> out;
  std::string_view rest = kDesignedSections;
  while (!rest.empty()) {
    const auto open = rest.find(" (");
    const auto close = rest.find(')', open);
    out.emplace_back(std::string(rest.substr(0, open)),
                     static_cast<unsigned>(std::stoul(std::string(rest.substr(open + 2, close - open - 2)))));
    rest.remove_prefix(close + 1);
    if (rest.starts_with(", ")) rest.remove_prefix(2);
  }
  return out;
}

TEST(TextSections, TableMatchesTheDesignedSectionsAndIsSortedForBisection) {
  const auto designed = DesignedSections();
  ASSERT_EQ(designed.size(), kTextSectionCount);
  ASSERT_EQ(kTextSections.size(), kTextSectionCount);
  unsigned total = 0;
  std::size_t longest = 0;
  for (std::size_t i = 0; i < kTextSections.size(); ++i) {
    const TextSection& row = kTextSections[i];
    EXPECT_EQ(row.path, designed[i].first) << i;
    EXPECT_EQ(row.count, designed[i].second) << row.path;
    if (i > 0) {
      EXPECT_LT(kTextSections[i - 1].path, row.path) << "not strictly sorted at " << row.path;
    }
    for (char c : row.path)
      EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/') << row.path;
    EXPECT_FALSE(row.path.starts_with('/') || row.path.ends_with('/')) << row.path;
    EXPECT_GT(row.count, 0u) << row.path;
    total += row.count;
    longest = std::max(longest, row.path.size());
  }
  EXPECT_EQ(total, kTextSlotCount - 2);
  EXPECT_EQ(longest, kMaxTextSectionPath);
}

TEST(TextSections, SlotNumbersCoverTwoTo1626ExactlyOnce) {
  std::vector<int> owners(kTextSlotCount, 0);
  for (const TextSection& row : kTextSections) {
    ASSERT_LE(row.first_slot + row.count, kTextSlotCount) << row.path;
    for (unsigned k = 0; k < row.count; ++k) ++owners[row.first_slot + k];
  }
  EXPECT_EQ(owners[0], 0);
  EXPECT_EQ(owners[1], 0);
  for (std::size_t slot = 2; slot < kTextSlotCount; ++slot)
    EXPECT_EQ(owners[slot], 1) << "slot " << slot << (owners[slot] ? " shared" : " unowned");

  const TextSection* error = FindTextSection("error");
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->first_slot, 1282);
  EXPECT_EQ(error->first_slot + error->count - 1, 1361);
}

TEST(TextSections, LookupFindsEveryRowAndNothingElse) {
  for (const TextSection& row : kTextSections) {
    EXPECT_EQ(FindTextSection(row.path), &row) << row.path;
    EXPECT_EQ(FindTextSection(std::string(row.path) + "x"), nullptr);
    EXPECT_EQ(FindTextSection(std::string(row.path) + "/"), nullptr);
  }
  EXPECT_EQ(FindTextSection(""), nullptr);
  EXPECT_EQ(FindTextSection("Error"), nullptr);  // the table compares exactly
  EXPECT_EQ(FindTextSection("zzz"), nullptr);
  EXPECT_EQ(FindTextSection("a"), nullptr);
  EXPECT_EQ(FindTextSectionIndex("zzz"), kTextSectionCount);
}

TEST(TextSlots, NamedSlotsLieInTheirSectionsInOrder) {
  const TextSection* undo = FindTextSection("undo");
  ASSERT_NE(undo, nullptr);
  EXPECT_EQ(text::kUndoAdd.number, undo->first_slot);
  EXPECT_EQ(text::kUndoDeleteWithSilence.number, undo->first_slot + undo->count - 1);
  EXPECT_EQ(text::kErrorQuiet.number, 1282);
  EXPECT_EQ(text::kErrorGeneric.number, 1282 + 77);
  const TextSection* result = FindTextSection("script/result");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->count, 8);
  EXPECT_EQ(text::kScriptExitCodeLabel.number, result->first_slot);
  EXPECT_EQ(text::kScriptSourceTextLabel.number, result->first_slot + 6);
  EXPECT_EQ(&text_section::kErrorSilent, FindTextSection("error/silent"));
  EXPECT_EQ(text::kSilentNothingDone.number, text_section::kErrorSilent.first_slot + 2);
}

}  // namespace
}  // namespace tidemark
