#include "app/settings_core_options.h"

namespace tidemark {

void FillCoreOptions(const Settings& settings, CoreOptions* options) {
  options->extensible_wav_header = settings.Option(OptionBit::kExtensibleWavHeader);
  options->cached_reading_disabled = settings.Option(OptionBit::kCachedReadingOff);
  options->confirm_large_detach = settings.Option(OptionBit::kConfirmLargeDetach);
  options->undo_recording_disabled = settings.Option(OptionBit::kUndoRecordingOff);
  options->software_name_stamp = settings.Option(OptionBit::kSoftwareNameStamp);
  options->one_bit_output_max_48k = settings.Option(OptionBit::kOneBitOutputMax48k);
  options->use_system_clipboard = settings.Option(OptionBit::kSystemClipboard);
  options->id3v2_version4 = settings.Option(OptionBit::kId3v2Version4);
  options->id3v2_unicode = settings.Option(OptionBit::kId3v2Unicode);
  options->id3v2_unsynchronisation = settings.Option(OptionBit::kId3v2Unsynchronisation);
  options->resample = dsp::ResampleOptionsFrom(settings.resample[0], settings.resample[1], settings.resample[2]);
  options->work_folder_setting = settings.temporary_directory1;
  options->work_subfolder = settings.temporary_directory2;
}

}  // namespace tidemark
