#include "app/console_session.h"
#include "app/console_progress.h"

#include "core/edit/document_properties.h"
#include "core/edit/sound_clip.h"
#include "tests/app/console_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ConsoleRun;

// Interleaved stereo frames as floats from 16-bit samples.
std::vector<float> ToFloat(const std::vector<std::int16_t>& s) {
  std::vector<float> f(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) f[i] = float(s[i]) / 32768.0f;
  return f;
}

using Frames = std::vector<float>;  // interleaved stereo

Frames Slice(const Frames& f, std::size_t from, std::size_t to) {
  return Frames(f.begin() + std::ptrdiff_t(2 * from), f.begin() + std::ptrdiff_t(2 * to));
}

void Append(Frames& f, const Frames& more) { f.insert(f.end(), more.begin(), more.end()); }

// A chain of edits through the console, saved as float WAV (so that every
// value of the reference is exact), equals the reference computed here
// from the original samples.
TEST(ConsoleSession, EditChainMatchesTheReferenceSampleForSample) {
  const std::string dir = testing::MakeTempDir("console_chain");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 44100, 2000, 7));
  std::vector<std::int16_t> original;
  {
    const testing::DocumentPtr doc = testing::OpenDocument(dir + "/in.wav");
    ASSERT_TRUE(doc);
    original = testing::DocumentSamples(*doc);
  }
  const Frames s = ToFloat(original);

  ConsoleRun run;
  const int status = run.Script("open " + dir + "/in.wav\n"
                                "select 100f 300f\n"
                                "cut\n"
                                "select 50f 50f\n"
                                "paste\n"
                                "select 1000f 1100f\n"
                                "silence\n"
                                "channels 1\n"
                                "select 1200f 1300f\n"
                                "gain -inf\n"
                                "channels 3\n"
                                "select 1400f 1500f\n"
                                "gain -6.020599913279624 -inf\n"
                                "select 0 10f\n"
                                "copy\n"
                                "select 1600f 1600f\n"
                                "mix-paste\n"
                                "select 1700f 1700f\n"
                                "insert-silence 1\n"
                                "saveas \"" + dir + "/out put.wav\" WaveFloat\n");
  ASSERT_EQ(status, 0) << run.err.str();
  EXPECT_EQ(run.err.str(), "");

  Frames ref = Slice(s, 0, 50);
  Append(ref, Slice(s, 100, 300));
  Append(ref, Slice(s, 50, 100));
  Append(ref, Slice(s, 300, 2000));
  ASSERT_EQ(ref.size(), 2u * 2000);
  for (std::size_t f = 1000; f < 1100; ++f) ref[2 * f] = ref[2 * f + 1] = 0;
  for (std::size_t f = 1200; f < 1300; ++f) ref[2 * f] = 0;
  for (std::size_t f = 1400; f < 1500; ++f) ref[2 * f] *= 0.5f, ref[2 * f + 1] = 0;
  const Frames clip = Slice(ref, 0, 10);
  for (std::size_t i = 0; i < clip.size(); ++i) ref[2 * 1600 + i] += clip[i];
  ref.insert(ref.begin() + 2 * 1700, 2 * 44, 0.0f);  // (44100 x 1 + 500) / 1000 frames

  std::uint16_t channels = 0;
  const Frames got = testing::FileSamples(dir + "/out put.wav", &channels);
  EXPECT_EQ(channels, 2);
  ASSERT_EQ(got.size(), ref.size());
  for (std::size_t i = 0; i < ref.size(); ++i) ASSERT_EQ(got[i], ref[i]) << "sample " << i;

  // The saved document names the new file and is unmodified.
  SoundDocument* doc = run.session.active();
  ASSERT_TRUE(doc);
  EXPECT_EQ(*doc->path, dir + "/out put.wav");
  EXPECT_TRUE(IsSaved(*doc));
  EXPECT_EQ(PcmFileSample(*doc), "WaveFloat");
}

// The other paste forms, subtracting mix paste, gain with offset, and raw
// import; then undoing everything returns the original, unmodified.
TEST(ConsoleSession, PasteFormsOffsetRawImportAndFullUndo) {
  const std::string dir = testing::MakeTempDir("console_paste_forms");
  const std::vector<std::uint8_t> wave = testing::Pcm16Wave(2, 44100, 2000, 21);
  testing::WriteWholeFile(dir + "/in.wav", wave);
  // The same samples as a headerless file behind 44 bytes of header.
  testing::WriteWholeFile(dir + "/in.pcm", wave);
  ConsoleRun run;
  ASSERT_EQ(run.Script("open-raw " + dir + "/in.pcm RawLittleEndian16 44100 2 44\n"), 0) << run.err.str();
  const Frames s = testing::FloatSamples(*run.session.active());
  ASSERT_EQ(s.size(), 2u * 2000);
  const Frames original = testing::FileSamples(dir + "/in.wav");
  ASSERT_EQ(s, original);

  ASSERT_EQ(run.Script("open " + dir + "/in.wav\n"
                       "select 0 100f\n"
                       "copy\n"
                       "select 500f 550f\n"
                       "paste-over\n"
                       "select 1000f 1000f\n"
                       "paste-overwrite\n"
                       "select 1200f 1200f\n"
                       "mix-paste-subtract\n"
                       "select 1500f 1600f\n"
                       "gain -6.020599913279624\n"
                       "offset 0.125 -0.25\n"
                       "saveas " + dir + "/out.wav WaveFloat\n"),
            0)
      << run.err.str();
  EXPECT_EQ(run.session.active_number(), 2);
  Frames ref = Slice(s, 0, 500);
  Append(ref, Slice(s, 0, 100));
  Append(ref, Slice(s, 550, 2000));
  for (std::size_t i = 0; i < 200; ++i) ref[2 * 1000 + i] = s[i];
  for (std::size_t i = 0; i < 200; ++i) ref[2 * 1200 + i] -= s[i];
  for (std::size_t f = 1500; f < 1600; ++f) {
    ref[2 * f] = ref[2 * f] * 0.5f + 0.125f;
    ref[2 * f + 1] = ref[2 * f + 1] * 0.5f - 0.25f;
  }
  const Frames got = testing::FileSamples(dir + "/out.wav");
  ASSERT_EQ(got.size(), ref.size());
  for (std::size_t i = 0; i < ref.size(); ++i) ASSERT_EQ(got[i], ref[i]) << "sample " << i;

  SoundDocument& doc = *run.session.active();
  EXPECT_EQ(run.session.Execute("undo 99"), console::Result::kDone);
  EXPECT_EQ(testing::FloatSamples(doc), s);
  EXPECT_FALSE(IsSaved(doc));  // saved as out.wav after the edits
  EXPECT_EQ(run.session.Execute("redo 99"), console::Result::kDone);
  EXPECT_TRUE(IsSaved(doc));
  EXPECT_EQ(testing::FloatSamples(doc), ref);
  run.out.str("");
  EXPECT_EQ(run.session.Execute("info"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("length: 2050 frames, 0.046485 s"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("state: saved"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("undo: DC Offset"), std::string::npos) << run.out.str();
}

// The first failure ends a non-interactive session with status 1 and
// changes nothing; with onerror continue the rest runs and the status is
// still 1. Commands with nothing to act on are notices.
TEST(ConsoleSession, ErrorPolicyAndNotices) {
  const std::string dir = testing::MakeTempDir("console_errors");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 8000, 800, 3));
  {
    ConsoleRun run;
    EXPECT_EQ(run.Script("open " + dir + "/in.wav\nselect 10f 20f\nselect 1 x\nsaveas " + dir + "/never.wav\n"),
              1);
    EXPECT_NE(run.err.str().find("\"x\""), std::string::npos) << run.err.str();
    EXPECT_FALSE(testing::FileExists(dir + "/never.wav"));
    EXPECT_EQ(testing::Selection(*run.session.active()), (std::pair{10u, 20u}));  // the failed select changed nothing
  }
  {
    ConsoleRun run;
    EXPECT_EQ(run.Script("onerror continue\nopen " + dir + "/in.wav\ngain\nbogus\nsaveas " + dir +
                         "/later.wav\n"),
              1);
    EXPECT_TRUE(testing::FileExists(dir + "/later.wav"));
    EXPECT_NE(run.err.str().find("usage: gain DB [DB]"), std::string::npos) << run.err.str();
    EXPECT_NE(run.err.str().find("bogus"), std::string::npos);
  }
  {
    // Empty selection, no clip, nothing to undo: notices, status 0, nothing changed.
    ConsoleRun run;
    ClearCurrentClip();
    EXPECT_EQ(run.Script("open " + dir + "/in.wav\ndelete\ncut\nsilence\ngain 6\npaste\nundo\nredo\nregion next\n"
                         "marker list\n"),
              0)
        << run.err.str();
    EXPECT_TRUE(IsSaved(*run.session.active()));
    EXPECT_EQ(run.session.active()->length, 800u);
    EXPECT_NE(run.out.str().find("nothing selected"), std::string::npos);
    EXPECT_NE(run.out.str().find("nothing to paste"), std::string::npos);
  }
  // Malformed and missing arguments of many commands each fail alone.
  for (const char* bad : {"select", "select 1 2 3", "select none", "select 1f", "channels 0", "channels 4",
                          "channels x", "gain", "gain 1 2 3", "gain inf", "offset", "offset a", "undo 0",
                          "undo -1", "redo x", "insert-silence", "insert-silence 1.5", "use", "use 9",
                          "use x", "close 7", "onerror maybe", "marker", "marker add", "marker add x name",
                          "marker delete 1", "marker move 1 0", "marker frob", "region up", "tag INAM",
                          "tag NOPE x", "saveas", "saveas x.wav Wave17", "new 1000 2", "new 44100 3",
                          "new 44100 2 Bogus", "open-raw x.raw Wave16 44100", "open-raw " , "help frob",
                          "info extra", "\"unclosed"}) {
    ConsoleRun run;
    ASSERT_EQ(run.Script("open " + dir + "/in.wav\n"), 0);
    EXPECT_EQ(run.session.Execute(bad), console::Result::kFailed) << bad;
    EXPECT_NE(run.err.str(), "") << bad;
    EXPECT_TRUE(IsSaved(*run.session.active())) << bad;
  }
  {
    ConsoleRun run;  // no document yet
    EXPECT_EQ(run.session.Execute("info"), console::Result::kFailed);
    EXPECT_EQ(run.session.Execute("open " + dir + "/missing.wav"), console::Result::kFailed);
    EXPECT_NE(run.err.str().find("missing.wav"), std::string::npos);
    EXPECT_EQ(run.session.Execute("open " + dir), console::Result::kDone);  // a folder is skipped
    EXPECT_TRUE(run.session.documents().empty());
  }
}

using Sel = std::pair<std::uint32_t, std::uint32_t>;

// Numbers stay fixed, opening an open file activates it, close refuses a
// modified document unless written close!.
TEST(ConsoleSession, DocumentsNumbersAndClosing) {
  const std::string dir = testing::MakeTempDir("console_docs");
  testing::WriteWholeFile(dir + "/a.wav", testing::Pcm16Wave(2, 8000, 100, 1));
  testing::WriteWholeFile(dir + "/b.wav", testing::Pcm16Wave(1, 8000, 200, 2));
  ConsoleRun run;
  console::Session& s = run.session;
  EXPECT_EQ(s.OpenFiles({dir + "/a.wav", dir + "/nope.wav", dir + "/b.wav"}), console::Result::kFailed);
  ASSERT_EQ(s.documents().size(), 2u);
  EXPECT_EQ(s.active_number(), 2);  // numbers 1 and 2; the failure took none
  ASSERT_TRUE(testing::AllDone(s, "new 48000 1 AIFF24\n"));
  EXPECT_EQ(s.active_number(), 3);
  EXPECT_EQ(PcmFileSample(*s.active()), "AIFF24");
  ASSERT_TRUE(testing::AllDone(s, "close 1\n"));
  EXPECT_EQ(s.Execute("use 1"), console::Result::kFailed);
  ASSERT_TRUE(testing::AllDone(s, "open " + dir + "/a.wav\n"));
  EXPECT_EQ(s.active_number(), 4);
  ASSERT_TRUE(testing::AllDone(s, "open " + dir + "/./b.wav\n"));
  EXPECT_EQ(s.active_number(), 2);  // already open
  EXPECT_EQ(s.documents().size(), 3u);
  ASSERT_TRUE(testing::AllDone(s, "select all\ndelete\n"));
  EXPECT_EQ(s.Execute("close"), console::Result::kFailed);
  EXPECT_NE(run.err.str().find("close!"), std::string::npos);
  ASSERT_TRUE(testing::AllDone(s, "close!\n"));
  EXPECT_FALSE(s.Find(2));
  EXPECT_EQ(s.active_number(), 4);  // the newest remaining one
  run.out.str("");
  ASSERT_TRUE(testing::AllDone(s, "docs\n"));
  EXPECT_EQ(run.out.str().find("   2 "), std::string::npos);
  EXPECT_NE(run.out.str().find(">    4  a.wav  Wave16  8000 Hz  2 ch  100 frames"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("     3  untitled"), std::string::npos) << run.out.str();
}

// A stereo WAV document of 8000 frames at 8 kHz in a session of its own.
struct OpenedRun : ConsoleRun {
  explicit OpenedRun(const char* name) : dir(testing::MakeTempDir(name)) {
    testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 8000, 8000, 5));
    EXPECT_EQ(Script("open " + dir + "/in.wav\n"), 0);
  }
  SoundDocument& doc() { return *session.active(); }
  std::string dir;
};

// saveas picks the kind by extension, refuses what it cannot write and
// keeps the kind for an unknown extension; save without changes says so.
TEST(ConsoleSession, SaveAsByExtension) {
  OpenedRun run("console_saveas");
  console::Session& s = run.session;
  // MP3, Opus and Vorbis have writers now; the audio of a video has none.
  for (const char* refused : {"saveas x.dsf", "saveas x.dff", "saveas x.avi"})
    EXPECT_EQ(s.Execute(refused), console::Result::kFailed) << refused;
  EXPECT_NE(run.err.str().find("1-bit"), std::string::npos);
  EXPECT_NE(run.err.str().find("codec"), std::string::npos);
  EXPECT_EQ(s.Execute("saveas " + run.dir + "/x.aif AIFFFloat"), console::Result::kFailed);  // AIFF cannot
  for (const auto& [name, stored] : {std::pair{"x.aifc", "AIFC16"}, {"x.snd", "AU16"}, {"x.data", "AU16"}}) {
    EXPECT_EQ(s.Execute("saveas " + run.dir + "/" + name), console::Result::kDone) << name;
    EXPECT_EQ(PcmFileSample(run.doc()), stored) << name;  // an unknown extension keeps the kind
  }
  run.out.str("");
  EXPECT_EQ(s.Execute("save"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("nothing to save"), std::string::npos);
}

// Selection ends clamp and are ordered (a negative end selects [0, 0]);
// undo and redo take counts; history shows what was undone.
TEST(ConsoleSession, SelectionEndsUndoCountsAndHistory) {
  OpenedRun run("console_history");
  console::Session& s = run.session;
  ASSERT_EQ(run.Script("select 0.5 -1\n"), 0);
  EXPECT_EQ(testing::Selection(run.doc()), (Sel{0, 0}));
  ASSERT_EQ(run.Script("select 9000f 0.25\n"), 0);
  EXPECT_EQ(testing::Selection(run.doc()), (Sel{2000, 8000}));
  ASSERT_EQ(run.Script("delete\ninsert-silence 100\nselect 0 100f\ngain -3\n"), 0) << run.err.str();
  EXPECT_EQ(run.doc().length, 2800u);
  for (const auto& [line, length] : {std::pair{"undo 2", 2000u}, {"undo 9", 8000u}, {"redo", 2000u}}) {
    EXPECT_EQ(s.Execute(line), console::Result::kDone) << line;  // undo 9: as many as there are
    EXPECT_EQ(run.doc().length, length) << line;
  }
  run.out.str("");
  ASSERT_EQ(run.Script("history\n"), 0);
  EXPECT_NE(run.out.str().find("> Delete"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("(undone) Gain"), std::string::npos) << run.out.str();
}

// Markers are named by their index in the list before the command, from 1;
// exported and imported as labels; regions run between them.
TEST(ConsoleSession, MarkersAndRegions) {
  OpenedRun run("console_markers");
  SoundDocument& doc = run.doc();
  ASSERT_EQ(run.Script("marker add 0.1 One\nmarker add 200f Two \"second one\"\nmarker add 0.05 Zero\n"
                       "marker move 3 1000f\nmarker set 1 12f Nought c\n"),
            0)
      << run.err.str();
  run.out.str("");
  ASSERT_EQ(run.Script("marker list\n"), 0);
  EXPECT_EQ(run.out.str(),
            "1  12  00:00.0015  \"Nought\"  \"c\"\n"
            "2  400  00:00.0500  \"Zero\"\n"
            "3  1000  00:00.1250  \"One\"\n");
  ASSERT_EQ(run.Script("marker export " + run.dir + "/labels.txt\nmarker delete 3 1 3\n"), 0);
  ASSERT_EQ(doc.markers.size(), 1u);
  EXPECT_EQ(doc.markers.first()->name, "Zero");
  ASSERT_EQ(run.Script("marker delete 1\nmarker import " + run.dir + "/labels.txt\n"), 0);
  ASSERT_EQ(doc.markers.size(), 3u);
  EXPECT_EQ(doc.markers.first()->name, "Nought");
  EXPECT_EQ(doc.markers.first()->position, 12u);
  ASSERT_EQ(run.Script("select 0 0\nregion next\n"), 0);
  EXPECT_EQ(testing::Selection(doc), (Sel{12, 400}));
}

// A tag marks the document modified and a save writes it, with the markers.
TEST(ConsoleSession, TagsAreSavedWithTheMarkers) {
  OpenedRun run("console_tags");
  SoundDocument& doc = run.doc();
  ASSERT_EQ(run.Script("marker add 0.1 One\nsaveas " + run.dir + "/tagged.wav Wave16\n"
                       "tag title \"A \\\"quoted\\\" title\"\n"),
            0)
      << run.err.str();
  EXPECT_FALSE(IsSaved(doc));
  ASSERT_EQ(run.Script("save\n"), 0);
  EXPECT_TRUE(IsSaved(doc));
  const testing::DocumentPtr back = testing::OpenDocument(run.dir + "/tagged.wav");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->metadata[InfoText::Name].value_or(""), "A \"quoted\" title");
  EXPECT_EQ(back->markers.size(), 1u);
  EXPECT_EQ(back->length, 8000u);
  // The script names of the slots work too.
  ASSERT_EQ(run.Script("tag Artist Someone\n"), 0);
  EXPECT_EQ(doc.metadata[InfoText::Artist].value_or(""), "Someone");
}

// Interactive quitting with a modified document asks once; a new document
// has no file to save to; the new material is selected after an edit,
// nothing after a delete.
TEST(ConsoleSession, QuitRulesSaveWithoutPathAndSelectionAfterEdits) {
  ConsoleRun interactive(true);
  console::Session& s = interactive.session;
  ASSERT_EQ(s.Execute("new 8000 2"), console::Result::kDone);
  EXPECT_EQ(s.Execute("save"), console::Result::kFailed);
  EXPECT_NE(interactive.err.str().find("saveas"), std::string::npos);
  for (const auto& [line, selection] : {std::pair{"insert-silence 10", Sel{0, 80}}, {"select 20f 30f", Sel{20, 30}},
                                        {"delete", Sel{20, 20}}, {"insert-silence 5", Sel{20, 60}}}) {
    EXPECT_EQ(s.Execute(line), console::Result::kDone) << line;
    EXPECT_EQ(testing::Selection(*s.active()), selection) << line;
  }
  EXPECT_EQ(s.Execute("quit"), console::Result::kDone);
  EXPECT_NE(interactive.err.str().find("quit again"), std::string::npos);
  EXPECT_EQ(s.Execute("quit"), console::Result::kQuit);

  ConsoleRun batch;
  EXPECT_EQ(batch.Script("new 8000 2\ninsert-silence 10\nquit\nbogus\n"), 0);
}

// A clip of another rate is converted (10 ms at 8 kHz become 160 frames at
// 16 kHz, the level kept away from the ends); a mono clip goes into both
// channels of a stereo document.
TEST(ConsoleSession, PasteAcrossRatesAndChannelCounts) {
  ConsoleRun run(true);
  console::Session& s = run.session;
  ASSERT_TRUE(testing::AllDone(s, "new 8000 1\ninsert-silence 10\noffset 0.25\ncopy\nnew 16000 2\npaste"));
  const std::vector<float> converted = testing::FloatSamples(*s.active());
  ASSERT_EQ(converted.size(), 2u * 160);
  EXPECT_NEAR(converted[2 * 80], 0.25f, 1e-4f);
  EXPECT_EQ(converted[2 * 80], converted[2 * 80 + 1]);
  ASSERT_TRUE(testing::AllDone(s, "new 8000 2\ninsert-silence 10\nselect 0 0\npaste"));
  const std::vector<float> mixed = testing::FloatSamples(*s.active());
  ASSERT_EQ(mixed.size(), 2u * (80 + 80));
  for (std::size_t i = 0; i < mixed.size(); ++i) ASSERT_EQ(mixed[i], i < 2 * 80 ? 0.25f : 0.0f) << i;
  ClearCurrentClip();
}

// Long work reports progress through the session's hooks and stops when
// they say so: nothing is written and the document stays as it was.
TEST(ConsoleSession, ProgressHooksSeeAndCancelLongWork) {
  const std::string dir = testing::MakeTempDir("console_progress");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 44100, 200000, 4));
  ConsoleRun run;
  int begins = 0, ends = 0, steps = 0;
  bool cancel = true;
  console::ProgressHooks hooks;
  hooks.begin = [&] { ++begins; };
  hooks.end = [&] { ++ends; };
  hooks.step = [&](std::uint64_t done, std::uint64_t total) {
    ++steps;
    EXPECT_LE(done, total);
    return !cancel;
  };
  run.session.set_progress(hooks);
  run.session.set_stop_on_error(false);
  ASSERT_TRUE(testing::AllDone(run.session, "open " + dir + "/in.wav\nselect 0 100000f\ncopy\nselect 50000f 50000f"));
  const std::vector<float> before = testing::FloatSamples(*run.session.active());

  EXPECT_EQ(run.session.Execute("saveas " + dir + "/out.wav WaveFloat"), console::Result::kFailed);
  EXPECT_FALSE(testing::FileExists(dir + "/out.wav"));
  EXPECT_EQ(run.session.Execute("mix-paste"), console::Result::kFailed);
  EXPECT_EQ(testing::FloatSamples(*run.session.active()), before);
  EXPECT_TRUE(IsSaved(*run.session.active()));
  EXPECT_GT(steps, 0);
  EXPECT_NE(run.err.str().find("cancelled"), std::string::npos) << run.err.str();

  cancel = false;
  steps = 0;
  EXPECT_EQ(run.session.Execute("saveas " + dir + "/out.wav WaveFloat"), console::Result::kDone);
  EXPECT_GT(steps, 0);
  EXPECT_EQ(testing::FileSamples(dir + "/out.wav"), before);
  EXPECT_EQ(begins, ends);
  EXPECT_EQ(begins, 7);

  EXPECT_EQ(console::ProgressBarText(1, 4, 8), "[##      ]  25%");
  EXPECT_EQ(console::ProgressBarText(9, 4, 4), "[####] 100%");
  EXPECT_EQ(console::ProgressBarText(0, 0, 2), "[  ]   0%");
}

}  // namespace
}  // namespace tidemark
