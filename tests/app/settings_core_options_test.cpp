// Filling the core's options record from the settings.
#include <gtest/gtest.h>

#include "app/settings_core_options.h"
#include "config/option_bits.h"
#include "config/settings.h"
#include "core/core_options.h"

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
                        {&CoreOptions::use_system_clipboard, OptionBit::kSystemClipboard}};
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

}  // namespace
}  // namespace tidemark
