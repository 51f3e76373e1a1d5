// Writing Settings as "tide.ini", in file order and under the new key names only.
#include "config/config_file_io.h"
#include "config/ini_values.h"
#include "config/settings.h"
#include "config/settings_fields.h"
#include "config/settings_folder.h"
#include "config/settings_keys.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

namespace key = settings_key;

void WriteTextList(IniWriter& w, std::string_view section, const std::vector<std::string>& list,
                   std::string_view empty_as = {}) {
  w.SetSection(section);
  std::size_t n = 0;
  for (const std::string& item : list) {
    // Numbered lists end at the first missing key, so a skipped item must not
    // leave a gap: only items that can be stored take a number.
    if (w.WriteText(std::to_string(n), item.empty() ? empty_as : std::string_view(item))) ++n;
  }
}

void WriteBoxes(IniWriter& w, std::string_view section, const std::vector<NamedBox>& boxes) {
  w.SetSection(section);
  for (const NamedBox& b : boxes) w.WriteText(b.name, JoinDecimalList(b.values));
}

template <typename Record, std::size_t N>
void WriteDecimalFields(IniWriter& w,
                        const std::array<settings_field::DecimalField<Record>, N>& fields,
                        const Record& record) {
  for (const auto& f : fields) w.WriteDecimal(f.key, record.*f.field);
}

void WriteMainSection(const Settings& s, IniWriter& w) {
  w.SetSection(key::kMainSection);
  for (std::size_t i = 0; i < s.options.size(); ++i) w.WriteHex(key::kOptions[i], s.options[i], 8);
  w.WriteText(key::kFrameBox, JoinDecimalList(s.frame_box));
  w.WriteText(key::kRebarBand, JoinDecimalList(s.rebar_band));
  w.WriteText(key::kWaveGraph, JoinDecimalList(s.wave_graph));
  w.WriteText(key::kTemporaryDirectory1, s.temporary_directory1);
  w.WriteText(key::kTemporaryDirectory2, s.temporary_directory2);
  w.WriteDecimal(key::kTemporarySampleBits, s.temporary_sample_bits);
  w.WriteText(key::kWaveOutDevice, s.wave_out_device);
  w.WriteText(key::kWaveInDevice, s.wave_in_device);
  w.WriteDecimal(key::kWaveDeviceApi, s.wave_device_api);
  w.WriteDecimal(key::kWaveOutVolume, s.wave_out_volume);
  w.WriteText(key::kResample, JoinDecimalList(s.resample));
  w.WriteText(key::kChannelHues, JoinDecimalList(s.channel_hues));
  w.WriteText(key::kWeightingFilter, std::string_view(&s.weighting_filter, 1));
  w.WriteDecimal(key::kNoiseShapingFilter, s.noise_shaping_filter);
  for (std::size_t i = 0; i < kRecentPathCount; ++i)
    w.WriteText(key::kRecentPath[i], s.recent_paths[i]);
  w.WriteText(key::kVstPlugInDirectory, s.vst_plugin_directory);
  w.WriteText(key::kRecordDirectory, s.record_directory);
  w.WriteText(key::kRecordFileNameTemplate, s.record_file_name_template,
              /*quote=*/!s.record_file_name_template.empty());
  // String lists are read without removing quotes, so they are written raw.
  w.WriteRawText(key::kImportableAudioExtensions, JoinList(s.importable_audio_extensions, ';'));
  w.WriteRawText(key::kImportableVideoExtensions, JoinList(s.importable_video_extensions, ';'));
}

}  // namespace

void WriteSettings(const Settings& s, IniWriter& w) {
  WriteMainSection(s, w);

  WriteTextList(w, key::kTemporaryDirectorySection, s.temporary_directories,
                s.temporary_directory1);
  WriteTextList(w, key::kFileMenuSection, s.recent_files);
  WriteTextList(w, key::kFilePatternMenuSection, s.file_patterns);
  WriteTextList(w, key::kEffectPopupMenuSection, s.effect_popup_menu);
  WriteTextList(w, key::kFirFilterSection, s.fir_filters);
  WriteTextList(w, key::kScriptCommandLineSection, s.script_command_lines);

  w.SetSection(key::kColorSection);
  for (std::size_t i = 0; i < kColorCount; ++i) w.WriteHex(std::to_string(i), s.colors[i], 8);

  w.SetSection(key::kKeyboardSection);
  for (const KeyAssignment& a : s.keyboard) w.WriteHex(FormatHex(a.key, 4), a.command, 4);

  w.SetSection(key::kToolbarSection);
  for (std::size_t i = 0; i < s.toolbar.size(); ++i) w.WriteHex(std::to_string(i), s.toolbar[i], 4);

  WriteBoxes(w, key::kBoxSizeSection, s.box_sizes);
  WriteBoxes(w, key::kBoxPositionSection, s.box_positions);

  w.SetSection(key::kFontSection);
  w.WriteBlob(key::kConsoleFont, s.console_font);

  w.SetSection(key::kExclusiveModeSection);
  WriteDecimalFields(w, settings_field::kExclusiveMode, s.exclusive_mode);

  w.SetSection(key::kOpenMpSection);
  w.WriteDecimal(key::kOmpNumThreads, s.omp_num_threads);

  w.SetSection(key::kDialogSection);
  // Dialog values are read as they stand (no quotes removed): written raw.
  for (const DialogEntry& d : s.dialogs) w.WriteRawText(d.name, d.values);

  w.SetSection(key::kDebugSection);
  WriteDecimalFields(w, settings_field::kDebug, s.debug);
}

Error SaveSettingsTo(const std::string& path, const Settings& settings) {
  IniWriter writer;
  writer.Open(path, IniEncoding::kUtf16Le);
  WriteSettings(settings, writer);
  return writer.Close();
}

Error SaveSettings(const Settings& settings) {
  const std::string path = ConfigWritePath(kSettingsFileName);
  if (path.empty()) return err::kCreateFailed;
  return SaveSettingsTo(path, settings);
}

}  // namespace tidemark
