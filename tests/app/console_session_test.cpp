#include "app/console_session.h"
#include "app/console_progress.h"

#include <cstring>

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

// Sox-made input (sox -D: no dither), exact integer edits, saved as AIFF
// and AU by extension and decoded by sox again.
TEST(ConsoleSession, SavesThatSoxDecodesToTheReference) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::string dir = testing::MakeTempDir("console_sox");
  ASSERT_EQ(testing::Run("/usr/bin/sox -D -n -r 22050 -c 2 -b 16 " + dir +
                         "/in.wav synth 0.2 sine 300 sine 1234 gain -3"),
            0);
  const auto decode = [&](const std::string& path) {
    const std::string raw = path + ".raw";
    EXPECT_EQ(testing::Run("/usr/bin/sox -D " + path + " -t raw -e signed -b 16 -L " + raw), 0) << path;
    const std::vector<std::uint8_t> bytes = testing::ReadWholeFile(raw);
    std::vector<std::int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
  };
  const std::vector<std::int16_t> in = decode(dir + "/in.wav");
  ASSERT_EQ(in.size(), 2u * 4410);

  ConsoleRun run;
  ASSERT_EQ(run.Script("open " + dir + "/in.wav\n"
                       "select 1000f 2000f\n"
                       "delete\n"
                       "select 0 100f\n"
                       "cut\n"
                       "select 500f 500f\n"
                       "paste\n"
                       "channels 2\n"
                       "select 3000f 3100f\n"
                       "silence\n"
                       "saveas " + dir + "/a.aiff\n"
                       "saveas " + dir + "/b.au\n"),
            0)
      << run.err.str();
  std::vector<std::int16_t> ref;
  const auto take = [&](std::size_t from, std::size_t to) {
    ref.insert(ref.end(), in.begin() + std::ptrdiff_t(2 * from), in.begin() + std::ptrdiff_t(2 * to));
  };
  // After the delete: [0,1000) + [2000,4410); then the cut of [0,100) goes
  // to frame 500 of what is left.
  take(100, 600);
  take(0, 100);
  take(600, 1000);
  take(2000, 4410);
  for (std::size_t f = 3000; f < 3100; ++f) ref[2 * f + 1] = 0;
  EXPECT_EQ(decode(dir + "/a.aiff"), ref);
  EXPECT_EQ(decode(dir + "/b.au"), ref);
  EXPECT_EQ(PcmFileSample(*run.session.active()), "AU16");
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
    std::uint32_t from = 0, to = 0;
    GetSelection(*run.session.active(), &from, &to);
    EXPECT_EQ(from, 10u);  // the failed select changed nothing
    EXPECT_EQ(to, 20u);
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

// Numbers stay fixed, opening an open file activates it, close refuses a
// modified document unless written close!.
TEST(ConsoleSession, DocumentsNumbersAndClosing) {
  const std::string dir = testing::MakeTempDir("console_docs");
  testing::WriteWholeFile(dir + "/a.wav", testing::Pcm16Wave(2, 8000, 100, 1));
  testing::WriteWholeFile(dir + "/b.wav", testing::Pcm16Wave(1, 8000, 200, 2));
  ConsoleRun run;
  EXPECT_EQ(run.session.OpenFiles({dir + "/a.wav", dir + "/nope.wav", dir + "/b.wav"}), console::Result::kFailed);
  ASSERT_EQ(run.session.documents().size(), 2u);
  EXPECT_EQ(run.session.active_number(), 3 - 1);  // numbers 1 and 2; the failure took none
  EXPECT_EQ(run.session.Execute("new 48000 1 AIFF24"), console::Result::kDone);
  EXPECT_EQ(run.session.active_number(), 3);
  EXPECT_EQ(PcmFileSample(*run.session.active()), "AIFF24");
  EXPECT_EQ(run.session.Execute("close 1"), console::Result::kDone);
  EXPECT_EQ(run.session.Execute("use 1"), console::Result::kFailed);
  EXPECT_EQ(run.session.Execute("open " + dir + "/a.wav"), console::Result::kDone);
  EXPECT_EQ(run.session.active_number(), 4);
  EXPECT_EQ(run.session.Execute("open " + dir + "/./b.wav"), console::Result::kDone);
  EXPECT_EQ(run.session.active_number(), 2);  // already open
  EXPECT_EQ(run.session.documents().size(), 3u);
  EXPECT_EQ(run.session.Execute("select all"), console::Result::kDone);
  EXPECT_EQ(run.session.Execute("delete"), console::Result::kDone);
  EXPECT_EQ(run.session.Execute("close"), console::Result::kFailed);
  EXPECT_NE(run.err.str().find("close!"), std::string::npos);
  EXPECT_EQ(run.session.Execute("close!"), console::Result::kDone);
  EXPECT_FALSE(run.session.Find(2));
  EXPECT_EQ(run.session.active_number(), 4);  // the newest remaining one
  run.out.str("");
  EXPECT_EQ(run.session.Execute("docs"), console::Result::kDone);
  EXPECT_EQ(run.out.str().find("   2 "), std::string::npos);
  EXPECT_NE(run.out.str().find(">    4  a.wav  Wave16  8000 Hz  2 ch  100 frames"), std::string::npos)
      << run.out.str();
  EXPECT_NE(run.out.str().find("     3  untitled"), std::string::npos) << run.out.str();
}

// Extension rules of saveas, save without a file, undo/redo counts, the
// selection ends, markers and tags.
TEST(ConsoleSession, SavingMarkersTagsAndHistory) {
  const std::string dir = testing::MakeTempDir("console_save");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 8000, 8000, 5));
  ConsoleRun run;
  ASSERT_EQ(run.Script("open " + dir + "/in.wav\n"), 0);
  console::Session& s = run.session;
  SoundDocument& doc = *s.active();
  for (const char* refused : {"saveas x.dsf", "saveas x.dff", "saveas x.mp3", "saveas x.flac", "saveas x.ogg"}) {
    EXPECT_EQ(s.Execute(refused), console::Result::kFailed) << refused;
  }
  EXPECT_NE(run.err.str().find("1-bit"), std::string::npos);
  EXPECT_NE(run.err.str().find("codec"), std::string::npos);
  EXPECT_EQ(s.Execute("saveas " + dir + "/x.aif AIFFFloat"), console::Result::kFailed);  // AIFF cannot
  EXPECT_EQ(s.Execute("saveas " + dir + "/x.aifc"), console::Result::kDone);
  EXPECT_EQ(PcmFileSample(doc), "AIFC16");
  EXPECT_EQ(s.Execute("saveas " + dir + "/x.snd"), console::Result::kDone);
  EXPECT_EQ(PcmFileSample(doc), "AU16");
  EXPECT_EQ(s.Execute("saveas " + dir + "/x.data"), console::Result::kDone);  // unknown: kind kept
  EXPECT_EQ(PcmFileSample(doc), "AU16");
  run.out.str("");
  EXPECT_EQ(s.Execute("save"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("nothing to save"), std::string::npos);

  // Selection: a negative end selects [0, 0]; ends clamp and are ordered.
  std::uint32_t from = 0, to = 0;
  EXPECT_EQ(s.Execute("select 0.5 -1"), console::Result::kDone);
  GetSelection(doc, &from, &to);
  EXPECT_EQ(from + to, 0u);
  EXPECT_EQ(s.Execute("select 9000f 0.25"), console::Result::kDone);
  GetSelection(doc, &from, &to);
  EXPECT_EQ(from, 2000u);
  EXPECT_EQ(to, 8000u);

  EXPECT_EQ(s.Execute("delete"), console::Result::kDone);
  EXPECT_EQ(s.Execute("insert-silence 100"), console::Result::kDone);
  EXPECT_EQ(s.Execute("select 0 100f"), console::Result::kDone);
  EXPECT_EQ(s.Execute("gain -3"), console::Result::kDone);
  EXPECT_EQ(doc.length, 2800u);
  EXPECT_EQ(s.Execute("undo 2"), console::Result::kDone);
  EXPECT_EQ(doc.length, 2000u);
  EXPECT_EQ(s.Execute("undo 9"), console::Result::kDone);  // as many as there are
  EXPECT_EQ(doc.length, 8000u);
  EXPECT_EQ(s.Execute("redo"), console::Result::kDone);
  EXPECT_EQ(doc.length, 2000u);
  run.out.str("");
  EXPECT_EQ(s.Execute("history"), console::Result::kDone);
  EXPECT_NE(run.out.str().find("> Delete"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("(undone) Gain"), std::string::npos) << run.out.str();

  // Markers: indices of the list before the command, from 1.
  for (const char* line : {"marker add 0.1 One", "marker add 200f Two \"second one\"", "marker add 0.05 Zero",
                           "marker move 3 1000f", "marker set 1 12f Nought c"})
    EXPECT_EQ(s.Execute(line), console::Result::kDone) << line << run.err.str();
  run.out.str("");
  EXPECT_EQ(s.Execute("marker list"), console::Result::kDone);
  EXPECT_EQ(run.out.str(),
            "1  12  00:00.0015  \"Nought\"  \"c\"\n"
            "2  400  00:00.0500  \"Zero\"\n"
            "3  1000  00:00.1250  \"One\"\n")
      << run.out.str();
  EXPECT_EQ(s.Execute("marker export " + dir + "/labels.txt"), console::Result::kDone);
  EXPECT_EQ(s.Execute("marker delete 3 1 3"), console::Result::kDone);
  EXPECT_EQ(doc.markers.size(), 1u);
  EXPECT_EQ(doc.markers.first()->name, "Zero");
  EXPECT_EQ(s.Execute("marker delete 1"), console::Result::kDone);
  EXPECT_EQ(s.Execute("marker import " + dir + "/labels.txt"), console::Result::kDone);
  ASSERT_EQ(doc.markers.size(), 3u);
  EXPECT_EQ(doc.markers.first()->name, "Nought");
  EXPECT_EQ(doc.markers.first()->position, 12u);
  EXPECT_EQ(s.Execute("select 0 0"), console::Result::kDone);
  EXPECT_EQ(s.Execute("region next"), console::Result::kDone);
  GetSelection(doc, &from, &to);
  EXPECT_EQ(from, 12u);
  EXPECT_EQ(to, 400u);

  // A tag marks the document modified and a save writes it.
  EXPECT_EQ(s.Execute("saveas " + dir + "/tagged.wav Wave16"), console::Result::kDone);
  EXPECT_EQ(s.Execute("tag title \"A \\\"quoted\\\" title\""), console::Result::kDone);
  EXPECT_FALSE(IsSaved(doc));
  EXPECT_EQ(s.Execute("save"), console::Result::kDone);
  EXPECT_TRUE(IsSaved(doc));
  const testing::DocumentPtr back = testing::OpenDocument(dir + "/tagged.wav");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->metadata[InfoText::Name].value_or(""), "A \"quoted\" title");
  // The script names of the slots work too.
  EXPECT_EQ(s.Execute("tag Artist Someone"), console::Result::kDone);
  EXPECT_EQ(doc.metadata[InfoText::Artist].value_or(""), "Someone");
  EXPECT_EQ(back->markers.size(), doc.markers.size());
  EXPECT_EQ(back->length, 2000u);
}

// Interactive quitting with a modified document asks once; a new document
// has no file to save to.
TEST(ConsoleSession, QuitRulesAndSaveWithoutPath) {
  ConsoleRun interactive(true);
  ASSERT_EQ(interactive.session.Execute("new 8000 2"), console::Result::kDone);
  EXPECT_EQ(interactive.session.Execute("save"), console::Result::kFailed);
  EXPECT_NE(interactive.err.str().find("saveas"), std::string::npos);
  EXPECT_EQ(interactive.session.Execute("insert-silence 10"), console::Result::kDone);
  // The new material is selected after an edit, nothing after a delete.
  std::uint32_t from = 9, to = 9;
  GetSelection(*interactive.session.active(), &from, &to);
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 80u);
  EXPECT_EQ(interactive.session.Execute("select 20f 30f"), console::Result::kDone);
  EXPECT_EQ(interactive.session.Execute("delete"), console::Result::kDone);
  GetSelection(*interactive.session.active(), &from, &to);
  EXPECT_EQ(from, 20u);
  EXPECT_EQ(to, 20u);
  EXPECT_EQ(interactive.session.Execute("insert-silence 5"), console::Result::kDone);
  GetSelection(*interactive.session.active(), &from, &to);
  EXPECT_EQ(from, 20u);
  EXPECT_EQ(to, 60u);
  EXPECT_EQ(interactive.session.Execute("quit"), console::Result::kDone);
  EXPECT_NE(interactive.err.str().find("quit again"), std::string::npos);
  EXPECT_EQ(interactive.session.Execute("quit"), console::Result::kQuit);

  // A clip of another rate is refused with its own message, a mono clip
  // goes into both channels of a stereo document.
  ASSERT_EQ(interactive.session.Execute("new 8000 1"), console::Result::kDone);
  ASSERT_EQ(interactive.session.Execute("insert-silence 10"), console::Result::kDone);
  ASSERT_EQ(interactive.session.Execute("offset 0.25"), console::Result::kDone);
  ASSERT_EQ(interactive.session.Execute("copy"), console::Result::kDone);
  ASSERT_EQ(interactive.session.Execute("new 16000 2"), console::Result::kDone);
  EXPECT_EQ(interactive.session.Execute("paste"), console::Result::kFailed);
  EXPECT_NE(interactive.err.str().find("(8000 Hz)"), std::string::npos) << interactive.err.str();
  ASSERT_EQ(interactive.session.Execute("use 1"), console::Result::kDone);
  ASSERT_EQ(interactive.session.Execute("select 0 0"), console::Result::kDone);
  ASSERT_EQ(interactive.session.Execute("paste"), console::Result::kDone);
  const std::vector<float> mixed = testing::FloatSamples(*interactive.session.active());
  ASSERT_EQ(mixed.size(), 2u * (80 + 110));
  for (std::size_t i = 0; i < 2 * 80; ++i) ASSERT_EQ(mixed[i], 0.25f) << i;
  for (std::size_t i = 2 * 80; i < mixed.size(); ++i) ASSERT_EQ(mixed[i], 0.0f) << i;
  ClearCurrentClip();

  ConsoleRun batch;
  EXPECT_EQ(batch.Script("new 8000 2\ninsert-silence 10\nquit\nbogus\n"), 0);
}

}  // namespace
}  // namespace tidemark

namespace tidemark {
namespace {

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
  ASSERT_EQ(run.session.Execute("open " + dir + "/in.wav"), console::Result::kDone);
  ASSERT_EQ(run.session.Execute("select 0 100000f"), console::Result::kDone);
  ASSERT_EQ(run.session.Execute("copy"), console::Result::kDone);
  ASSERT_EQ(run.session.Execute("select 50000f 50000f"), console::Result::kDone);
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
