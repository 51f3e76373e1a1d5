// Filling the core's options record from the settings.
#include <gtest/gtest.h>

#include "app/settings_core_options.h"
#include "config/option_bits.h"
#include "config/settings.h"
#include "core/core_options.h"

namespace tidemark {
namespace {

TEST(SettingsCoreOptionsTest, FillsTheCoreRecord) {
  Settings s;
  CoreOptions o;
  o.host_work_folder = "/host";
  FillCoreOptions(s, &o);
  EXPECT_FALSE(o.extensible_wav_header);
  EXPECT_FALSE(o.cached_reading_disabled);
  EXPECT_TRUE(o.confirm_large_detach);
  EXPECT_EQ(o.work_folder_setting, "%TEMP%");
  EXPECT_EQ(o.work_subfolder, "__tide__");
  EXPECT_EQ(o.host_work_folder, "/host");
  // The built-in settings give the core's own built-in values.
  CoreOptions plain;
  FillCoreOptions(s, &plain);
  const CoreOptions defaults;
  EXPECT_EQ(plain.extensible_wav_header, defaults.extensible_wav_header);
  EXPECT_EQ(plain.cached_reading_disabled, defaults.cached_reading_disabled);
  EXPECT_EQ(plain.confirm_large_detach, defaults.confirm_large_detach);
  EXPECT_EQ(plain.undo_recording_disabled, defaults.undo_recording_disabled);
  EXPECT_EQ(plain.software_name_stamp, defaults.software_name_stamp);
  EXPECT_EQ(plain.work_folder_setting, defaults.work_folder_setting);
  EXPECT_EQ(plain.work_subfolder, defaults.work_subfolder);

  s.SetOption(OptionBit::kExtensibleWavHeader, true);
  s.SetOption(OptionBit::kCachedReadingOff, true);
  s.SetOption(OptionBit::kConfirmLargeDetach, false);
  s.SetOption(OptionBit::kUndoRecordingOff, true);
  s.SetOption(OptionBit::kSoftwareNameStamp, false);
  s.temporary_directory1 = "/scratch";
  s.temporary_directory2 = "w";
  FillCoreOptions(s, &o);
  EXPECT_TRUE(o.extensible_wav_header);
  EXPECT_TRUE(o.cached_reading_disabled);
  EXPECT_FALSE(o.confirm_large_detach);
  EXPECT_TRUE(o.undo_recording_disabled);
  EXPECT_FALSE(o.software_name_stamp);
  EXPECT_EQ(o.work_folder_setting, "/scratch");
  EXPECT_EQ(o.work_subfolder, "w");
  EXPECT_EQ(o.host_work_folder, "/host");
}

}  // namespace
}  // namespace tidemark
