// Filling the core's options record from the settings, and the settings
// reaching what is written: the ID3v2 tag of a DSF file.
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings_core_options.h"
#include "config/option_bits.h"
#include "config/settings.h"
#include "core/core_options.h"
#include "formats/chunks/byte_order.h"
#include "formats/one_bit/one_bit_writer.h"
#include "formats/tags/tag_set.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/peer_tools.h"
#include "tests/support/scoped_codeset.h"

namespace tidemark {
namespace {

TEST(SettingsCoreOptionsTest, FillsTheCoreRecord) {
  struct Flag {
    bool CoreOptions::*field;
    OptionBit bit;
  };
  const Flag flags[] = {{&CoreOptions::extensible_wav_header, OptionBit::kExtensibleWavHeader},
                        {&CoreOptions::cached_reading_disabled, OptionBit::kCachedReadingOff},
                        {&CoreOptions::confirm_large_detach, OptionBit::kConfirmLargeDetach},
                        {&CoreOptions::undo_recording_disabled, OptionBit::kUndoRecordingOff},
                        {&CoreOptions::software_name_stamp, OptionBit::kSoftwareNameStamp},
                        {&CoreOptions::one_bit_output_max_48k, OptionBit::kOneBitOutputMax48k},
                        {&CoreOptions::use_system_clipboard, OptionBit::kSystemClipboard},
                        {&CoreOptions::id3v2_version4, OptionBit::kId3v2Version4},
                        {&CoreOptions::id3v2_unicode, OptionBit::kId3v2Unicode},
                        {&CoreOptions::id3v2_unsynchronisation, OptionBit::kId3v2Unsynchronisation}};
  // The built-in settings give the core's own built-in values, whatever the
  // record held before; the host's folder is not a setting and stays.
  Settings s;
  const CoreOptions defaults;
  CoreOptions o;
  for (const Flag& f : flags) o.*f.field = !(defaults.*f.field);
  o.host_work_folder = "/host";
  FillCoreOptions(s, &o);
  for (const Flag& f : flags) EXPECT_EQ(o.*f.field, defaults.*f.field) << static_cast<int>(f.bit);
  EXPECT_FALSE(o.extensible_wav_header);
  EXPECT_FALSE(o.cached_reading_disabled);
  EXPECT_TRUE(o.confirm_large_detach);
  EXPECT_EQ(o.work_folder_setting, "%TEMP%");
  EXPECT_EQ(o.work_folder_setting, defaults.work_folder_setting);
  EXPECT_EQ(o.work_subfolder, "__tide__");
  EXPECT_EQ(o.work_subfolder, defaults.work_subfolder);
  EXPECT_EQ(o.host_work_folder, "/host");

  // Each option bit turned around turns its field around.
  for (const Flag& f : flags) s.SetOption(f.bit, !s.Option(f.bit));
  s.temporary_directory1 = "/scratch";
  s.temporary_directory2 = "sub";
  FillCoreOptions(s, &o);
  for (const Flag& f : flags) EXPECT_EQ(o.*f.field, !(defaults.*f.field)) << static_cast<int>(f.bit);
  EXPECT_EQ(o.work_folder_setting, "/scratch");
  EXPECT_EQ(o.work_subfolder, "sub");
  EXPECT_EQ(o.host_work_folder, "/host");
}

// Prints the DSF file argv[1]'s tag as mutagen reads it: version, whether
// it was unsynchronised, the title frame's encoding and text.
constexpr const char* kMutagenDsf = R"py(import sys, mutagen.dsf
t = mutagen.dsf.DSF(sys.argv[1]).tags
print("%d %d %d %s" % (t.version[1], int(t.f_unsynch), t["TIT2"].encoding, t["TIT2"].text[0]))
)py";

// The title "aÿ": not plain ASCII, and its 0xFF (in the code page, and as
// the low byte of U+00FF in UTF-16) is followed by a zero byte, so the tag
// needs unsynchronisation either way.
constexpr const char* kTitle = "a\xC3\xBF";

struct WrittenTag {
  int version = 0;
  bool unsynchronised = false;
  int title_encoding = -1;
};

// Writes a small DSF file with the title through a writer made as the
// program makes it; the tag as stored in the file.
WrittenTag WriteDsf(const std::string& path) {
  std::unique_ptr<NS_1BIT::COneBitWriter> writer = NS_1BIT::MakeOneBitWriter(".dsf");
  TagSet tags;
  SetTagText(tags, InfoText::Name, kTitle);
  const std::vector<std::uint8_t> plane(4096, 0x55);
  const std::uint8_t* planes[] = {plane.data()};
  EXPECT_EQ(writer->Open(path), 0u);
  EXPECT_EQ(writer->Begin(2822400, 1, plane.size()), 0u);
  EXPECT_EQ(writer->WritePlanar(planes, static_cast<std::uint32_t>(plane.size()), 1), 0u);
  EXPECT_EQ(writer->Finish(), 0u);
  EXPECT_EQ(writer->WriteMetadata(2822400, tags), 0u);
  EXPECT_EQ(writer->Close(), 0u);
  const std::vector<std::uint8_t> file = testing::ReadWholeFile(path);
  WrittenTag tag;
  if (file.size() < 92) return tag;
  const std::uint64_t at = LoadLe64(file.data() + 20);  // the metadata offset
  if (at == 0 || at + 21 > file.size() || file[at] != 'I' || file[at + 10] != 'T') return tag;
  tag.version = file[at + 3];
  tag.unsynchronised = (file[at + 5] & 0x80) != 0;
  tag.title_encoding = file[at + 20];  // after the tag header and the title frame's header
  return tag;
}

// Puts the settings into the options record for the life of the object, as
// the program does at start-up, and restores the record after.
class SettingsInForce {
 public:
  explicit SettingsInForce(const Settings& settings) : saved_(GetCoreOptions()) {
    FillCoreOptions(settings, &MutableCoreOptions());
  }
  ~SettingsInForce() { MutableCoreOptions() = saved_; }
  SettingsInForce(const SettingsInForce&) = delete;
  SettingsInForce& operator=(const SettingsInForce&) = delete;

 private:
  CoreOptions saved_;
};

TEST(SettingsCoreOptionsTest, Id3SettingsShapeTheDsfTag) {
  const testing::ScopedCodeset cp1252("CP1252");
  const struct {
    const char* what;
    bool version4, unicode, unsynchronise;
  } cases[] = {
      {"built-in", false, true, false},
      {"version 2.4", true, true, false},
      {"code page text", false, false, false},
      {"unsynchronised", false, true, true},
      {"2.4, code page, unsynchronised", true, false, true},
  };
  const std::string dir = testing::MakeTempDir("id3_settings");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Settings settings;
    settings.SetOption(OptionBit::kId3v2Version4, c.version4);
    settings.SetOption(OptionBit::kId3v2Unicode, c.unicode);
    settings.SetOption(OptionBit::kId3v2Unsynchronisation, c.unsynchronise);
    const SettingsInForce in_force(settings);
    const std::string path = dir + "/tag.dsf";
    const WrittenTag tag = WriteDsf(path);
    EXPECT_EQ(tag.version, c.version4 ? 4 : 3);
    EXPECT_EQ(tag.title_encoding, c.unicode ? 1 : 0);
    EXPECT_EQ(tag.unsynchronised, c.unsynchronise);
  }
  // The built-in settings are the built-in options: nothing to put in force.
  EXPECT_EQ(WriteDsf(dir + "/defaults.dsf").version, 3);
}

TEST(SettingsCoreOptionsTest, MutagenReadsTheDsfTagAsTheSettingsAsked) {
  constexpr const char* kPython = "/usr/bin/python3";
  TIDEMARK_REQUIRE_PEER_IF(testing::HaveProgram(kPython) &&
                               testing::Run(std::string(kPython) + " -c 'import mutagen.dsf'", nullptr, true) == 0,
                           "python3 with mutagen");
  const testing::ScopedCodeset cp1252("CP1252");
  const std::string dir = testing::MakeTempDir("id3_mutagen");
  const std::string script = dir + "/dump.py";
  std::ofstream(script) << kMutagenDsf;
  for (const bool version4 : {false, true}) {
    for (const bool unicode : {false, true}) {
      for (const bool unsynchronise : {false, true}) {
        SCOPED_TRACE(std::to_string(version4) + std::to_string(unicode) + std::to_string(unsynchronise));
        Settings settings;
        settings.SetOption(OptionBit::kId3v2Version4, version4);
        settings.SetOption(OptionBit::kId3v2Unicode, unicode);
        settings.SetOption(OptionBit::kId3v2Unsynchronisation, unsynchronise);
        const SettingsInForce in_force(settings);
        const std::string path = dir + "/peer.dsf";
        WriteDsf(path);
        std::string out;
        ASSERT_EQ(testing::Run(std::string(kPython) + " " + script + " " + path, &out), 0) << out;
        EXPECT_EQ(out, std::string(version4 ? "4" : "3") + (unsynchronise ? " 1" : " 0") + (unicode ? " 1 " : " 0 ") +
                           kTitle + "\n");
      }
    }
  }
}

}  // namespace
}  // namespace tidemark
