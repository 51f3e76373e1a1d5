// Saving through the console editor when things go wrong: a failure at
// every I/O operation of a save, a full disk, unreadable and unusable
// paths, a document without a file of its own, and the dither setting.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/console_session.h"
#include "app/console_startup.h"
#include "config/error_messages.h"
#include "config/option_bits.h"
#include "config/settings.h"
#include "config/settings_folder.h"
#include "core/edit/document_properties.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/app/console_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ConsoleRun;

bool Has(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

// A 24-bit stereo WAV file of random frames.
std::vector<std::uint8_t> Pcm24Wave(std::uint32_t frames, std::uint32_t seed) {
  testing::RiffBuilder riff;
  riff.Chunk("fmt ", testing::FormatBody(1, 2, 44100, 6, 24).bytes());
  riff.Chunk("data", testing::RandomBytes(std::size_t{frames} * 6, seed));
  return riff.Bytes();
}

// For N = 1, 2, ... the Nth I/O operation of a "save" fails, until a save
// goes through. After each failure the file is byte-identical to before, no
// temporary file is left, the document still holds its edit and the message
// of the error is printed. A failure the save can go around (no unnamed
// file, say) must still give the whole new file.
TEST(ConsoleSave, FaultAtEveryOperationLeavesTheFileAndTheDocument) {
  const std::string dir = testing::MakeTempDir("console_save_faults");
  const std::string path = dir + "/song.wav";
  const std::vector<std::uint8_t> old = testing::Pcm16Wave(2, 44100, 30000, 5, true);
  testing::WriteWholeFile(path, old);
  const std::set<std::string> names = testing::FolderEntries(dir);
  std::vector<std::int16_t> edited;  // as the 16-bit file holds them
  std::uint64_t failures = 0;
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    testing::WriteWholeFile(path, old);  // a save gone around may have replaced it
    ConsoleRun run;
    ASSERT_EQ(run.Script("open " + path + "\nselect 0.1 0.3\ngain -6\nmarker add 0.2 verse\ntag title faulty\n"), 0)
        << run.err.str();
    SoundDocument& doc = *run.session.active();
    if (edited.empty()) edited = testing::DocumentSamples(doc);
    console::Result result;
    bool fired = false;
    {
      const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kAllOps, n, EIO));
      result = run.session.Execute("save");
      fired = fault.fired();
    }
    EXPECT_EQ(testing::FolderEntries(dir), names);
    if (result == console::Result::kFailed) {
      ASSERT_TRUE(fired);
      ++failures;
      EXPECT_EQ(testing::ReadWholeFile(path), old);
      EXPECT_TRUE(Has(run.err.str(), "error: ")) << run.err.str();
      EXPECT_FALSE(IsSaved(doc));
      EXPECT_EQ(testing::DocumentSamples(doc), edited);
      continue;
    }
    ASSERT_EQ(result, console::Result::kDone) << run.err.str();
    EXPECT_TRUE(IsSaved(doc));
    EXPECT_EQ(testing::DocumentSamples(*testing::OpenDocument(path)), edited);
    const std::vector<std::uint8_t> now = testing::ReadWholeFile(path);
    const std::string bytes(now.begin(), now.end());
    EXPECT_TRUE(Has(bytes, "faulty") && Has(bytes, "verse") && Has(bytes, "kept!"));
    if (!fired) break;
  }
  EXPECT_GT(failures, 20u);
}

// A full disk, a file that cannot be opened, a file that is not sound and a
// folder as target: each a clear message and nothing changed.
TEST(ConsoleSave, FullDiskUnreadableAndUnusablePaths) {
  const std::string dir = testing::MakeTempDir("console_save_bad");
  const std::string path = dir + "/song.wav";
  const std::vector<std::uint8_t> old = testing::Pcm16Wave(2, 44100, 30000, 6);
  testing::WriteWholeFile(path, old);
  testing::WriteWholeFile(dir + "/other.wav", old);
  testing::WriteWholeFile(dir + "/notes.wav", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'});
  ConsoleRun run;
  run.session.set_stop_on_error(false);
  ASSERT_TRUE(testing::AllDone(run.session, "open " + path + "\nselect all\ngain 3"));
  ASSERT_FALSE(IsSaved(*run.session.active()));
  const std::vector<std::int16_t> edited = testing::DocumentSamples(*run.session.active());
  {
    const fault::ScopedFault full(fault::FaultRule::DiskFullAt(20000));
    EXPECT_EQ(run.session.Execute("save"), console::Result::kFailed);
    EXPECT_EQ(run.session.Execute("saveas " + dir + "/copy.aiff"), console::Result::kFailed);
  }
  EXPECT_TRUE(Has(run.err.str(), DescribeError(err::kDiskFull))) << run.err.str();
  EXPECT_EQ(testing::ReadWholeFile(path), old);
  EXPECT_EQ(testing::FolderEntries(dir), (std::set<std::string>{"song.wav", "other.wav", "notes.wav"}));
  EXPECT_EQ(testing::DocumentSamples(*run.session.active()), edited);

  run.err.str("");
  {
    const fault::ScopedFault denied(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES).Sticky());
    // A document already open is made active, not read again.
    EXPECT_EQ(run.session.Execute("open " + path), console::Result::kDone);
    EXPECT_EQ(run.session.Execute("open " + dir + "/other.wav"), console::Result::kFailed);
  }
  EXPECT_TRUE(Has(run.err.str(), "other.wav")) << run.err.str();
  EXPECT_EQ(run.session.Execute("open " + dir + "/notes.wav"), console::Result::kFailed);
  EXPECT_TRUE(Has(run.err.str(), "notes.wav"));
  EXPECT_EQ(run.session.Execute("saveas " + dir), console::Result::kFailed);
  EXPECT_EQ(run.session.documents().size(), 1u);
  EXPECT_EQ(testing::ReadWholeFile(path), old);
  EXPECT_EQ(run.session.Execute("save"), console::Result::kDone);  // and now it goes through
  EXPECT_EQ(testing::DocumentSamples(*testing::OpenDocument(path)), edited);
}

// A document converted from a 1-bit file has no file of its own: "save"
// refuses and names saveas, the original stays as it is, and saveas to a
// PCM name works while 1-bit names are refused.
TEST(ConsoleSave, OneBitDocumentIsNeverSavedOverItsFile) {
  const std::string dir = testing::MakeTempDir("console_save_dsd");
  const std::string dff = dir + "/take.dff";
  using testing::Iff8Bytes;
  const std::vector<std::uint8_t> bytes = testing::DsdiffFile(
      Iff8Bytes().Raw(testing::Fver().bytes()).Raw(testing::Prop(2822400, 2).bytes()).Raw(testing::DsdData(65536).bytes()));
  testing::WriteWholeFile(dff, bytes);
  ConsoleRun run;
  run.session.set_stop_on_error(false);
  ASSERT_EQ(run.session.Execute("open " + dff), console::Result::kDone) << run.err.str();
  EXPECT_EQ(run.session.Execute("save"), console::Result::kFailed);
  EXPECT_TRUE(Has(run.err.str(), console::ConsoleText(text::kConsoleNoPathUseSaveAs))) << run.err.str();
  ASSERT_EQ(run.session.Execute("gain -3"), console::Result::kDone);
  EXPECT_EQ(run.session.Execute("save"), console::Result::kFailed);
  EXPECT_EQ(run.session.Execute("saveas " + dir + "/take.dsf"), console::Result::kFailed);
  EXPECT_EQ(testing::ReadWholeFile(dff), bytes);
  ASSERT_EQ(run.session.Execute("saveas " + dir + "/take.wav"), console::Result::kDone) << run.err.str();
  EXPECT_EQ(testing::ReadWholeFile(dff), bytes);
  std::uint16_t channels = 0;
  EXPECT_EQ(testing::FileSamples(dir + "/take.wav", &channels), testing::FloatSamples(*run.session.active()));
  EXPECT_EQ(channels, 2u);
  EXPECT_EQ(run.session.Execute("save"), console::Result::kDone);  // its own file now: nothing to save
}

// Saving 24-bit material as 16-bit rounds exactly unless the settings turn
// dither on; then every sample is within one step of the rounded value and
// many differ from it.
TEST(ConsoleSave, DitherTo16BitsFollowsTheSettings) {
  const std::string dir = testing::MakeTempDir("console_save_dither");
  testing::WriteWholeFile(dir + "/in.wav", Pcm24Wave(20000, 8));
  const std::string ini = SettingsFolder() + "/tide.ini";
  std::remove(ini.c_str());
  const console::StartupSettings built_in = console::LoadStartupSettings();
  EXPECT_FALSE(built_in.save.dither_16bit);
  EXPECT_TRUE(built_in.save.move_work_file);

  Settings on;
  on.SetOption(OptionBit::kDitherTo16Bits, true);
  ASSERT_EQ(SaveSettings(on), 0u);
  const console::StartupSettings dithering = console::LoadStartupSettings();
  std::remove(ini.c_str());
  (void)console::LoadStartupSettings();
  EXPECT_TRUE(dithering.save.dither_16bit);

  std::vector<std::int16_t> plain, dithered;
  for (const bool dither : {false, true}) {
    ConsoleRun run;
    run.session.set_save_settings(dither ? dithering.save : built_in.save);
    const std::string out = dir + (dither ? "/dithered.wav" : "/plain.wav");
    ASSERT_EQ(run.Script("open " + dir + "/in.wav\nsaveas " + out + " Wave16\n"), 0) << run.err.str();
    const testing::DocumentPtr doc = testing::OpenDocument(out);
    ASSERT_TRUE(doc);
    (dither ? dithered : plain) = testing::DocumentSamples(*doc);
  }
  // Rounding to nearest, as the engine reads 24-bit material as 16-bit.
  const testing::DocumentPtr source = testing::OpenDocument(dir + "/in.wav");
  EXPECT_EQ(plain, testing::DocumentSamples(*source));
  ASSERT_EQ(plain.size(), dithered.size());
  std::size_t differ = 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    ASSERT_LE(std::abs(int(plain[i]) - int(dithered[i])), 1) << i;
    differ += plain[i] != dithered[i];
  }
  EXPECT_GT(differ, plain.size() / 10);
}

}  // namespace
}  // namespace tidemark
