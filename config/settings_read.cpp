// Reading "tide.ini" into Settings: every key with the field's current value
// as its default.
#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "config/config_file_io.h"
#include "config/ini_values.h"
#include "config/settings.h"
#include "config/settings_fields.h"
#include "config/settings_folder.h"
#include "config/settings_keys.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

namespace key = settings_key;

// Remembered dialog values longer than this are damaged and dropped.
constexpr std::size_t kMaxDialogValueBytes = 64 * 1024;

std::string ReadTextSetting(IniReader& r, std::string_view name, std::string_view old_name,
                            const std::string& current) {
  std::string value = r.ReadText(name, current, kSettingTextMaxBytes);
  if (!old_name.empty()) value = r.ReadText(old_name, value, kSettingTextMaxBytes);
  return value;
}

std::int32_t ReadDecimalSetting(IniReader& r, std::string_view name, std::string_view old_name,
                                std::int32_t current) {
  return r.ReadDecimal(old_name, r.ReadDecimal(name, current));
}

std::string UnquotedText(std::string_view raw) {
  if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') raw = raw.substr(1, raw.size() - 2);
  return std::string(TruncateUtf8Bytes(raw, kSettingTextMaxBytes));
}

// A numbered list of texts; the list is replaced only when the section exists.
void ReadTextList(IniReader& r, std::string_view section, std::vector<std::string>* list) {
  if (!r.SelectSection(section)) return;
  list->clear();
  for (std::string_view item : r.ReadNumberedList(kMaxListEntries)) list->push_back(UnquotedText(item));
}

bool ParseCode16(std::string_view text, std::uint16_t* code) {
  std::uint32_t v = 0;
  if (!ParseHex(text, &v) || v > 0xFFFF) return false;
  *code = static_cast<std::uint16_t>(v);
  return true;
}

// A window or dialog name that can be kept: short enough, and one the writer
// can store again under the same name.
bool UsableEntryName(std::string_view name) {
  return name.size() <= kMaxEntryNameBytes && IniWriter::IsWritableKey(name);
}

// The first line of each name (ASCII case ignored) counts; one pass with a
// set, so a section of many lines costs linear time.
void ReadBoxes(IniReader& r, std::string_view section, std::vector<NamedBox>* boxes) {
  if (!r.SelectSection(section)) return;
  boxes->clear();
  std::unordered_set<std::string> seen;
  for (const IniEntry& e : r.Entries()) {
    if (boxes->size() >= kMaxListEntries) break;
    if (!UsableEntryName(e.key)) continue;
    NamedBox box{std::string(e.key), {}};
    if (!ParseDecimalList(e.value, box.values)) continue;
    if (!seen.insert(AsciiLower(e.key)).second) continue;
    boxes->push_back(std::move(box));
  }
}

template <typename Record, std::size_t N>
void ReadDecimalFields(IniReader& r, const std::array<settings_field::DecimalField<Record>, N>& fields,
                       Record* record) {
  for (const auto& f : fields) record->*f.field = r.ReadDecimal(f.key, record->*f.field);
}

void ReadMainSection(IniReader& r, Settings* s) {
  for (std::size_t i = 0; i < s->options.size(); ++i)
    s->options[i] = r.ReadHex(key::kOptions[i], s->options[i]);
  r.ReadDecimalList(key::kFrameBox, s->frame_box);
  r.ReadDecimalList(key::kRebarBand, s->rebar_band);
  r.ReadDecimalList(key::kWaveGraph, s->wave_graph);
  s->temporary_directory1 = ReadTextSetting(r, key::kTemporaryDirectory1,
                                            key::kOldTemporaryDirectory1, s->temporary_directory1);
  s->temporary_directory2 = ReadTextSetting(r, key::kTemporaryDirectory2,
                                            key::kOldTemporaryDirectory2, s->temporary_directory2);
  s->temporary_sample_bits = ReadDecimalSetting(r, key::kTemporarySampleBits,
                                                key::kOldTemporarySampleBits,
                                                s->temporary_sample_bits);
  s->wave_out_device =
      ReadTextSetting(r, key::kWaveOutDevice, key::kOldWaveOutDevice, s->wave_out_device);
  s->wave_in_device =
      ReadTextSetting(r, key::kWaveInDevice, key::kOldWaveInDevice, s->wave_in_device);
  s->wave_device_api =
      ReadDecimalSetting(r, key::kWaveDeviceApi, key::kOldWaveDeviceApi, s->wave_device_api);
  s->wave_out_volume = r.ReadDecimal(key::kWaveOutVolume, s->wave_out_volume);
  r.ReadDecimalList(key::kResample, s->resample);
  r.ReadDecimalList(key::kChannelHues, s->channel_hues);
  if (const auto w = r.Find(key::kWeightingFilter); w && w->size() == 1) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>((*w)[0])));
    if (c == '0' || (c >= 'A' && c <= 'D')) s->weighting_filter = c;
  }
  s->noise_shaping_filter = r.ReadDecimal(key::kNoiseShapingFilter, s->noise_shaping_filter);
  for (std::size_t i = 0; i < kRecentPathCount; ++i)
    s->recent_paths[i] = ReadTextSetting(r, key::kRecentPath[i], {}, s->recent_paths[i]);
  s->vst_plugin_directory = ReadTextSetting(r, key::kVstPlugInDirectory,
                                            key::kOldVstPlugInDirectory, s->vst_plugin_directory);
  s->record_directory =
      ReadTextSetting(r, key::kRecordDirectory, key::kOldRecordDirectory, s->record_directory);
  s->record_file_name_template =
      ReadTextSetting(r, key::kRecordFileNameTemplate, key::kOldRecordFileNameTemplate,
                      s->record_file_name_template);
  if (const auto v = r.Find(key::kImportableAudioExtensions))
    s->importable_audio_extensions = SplitList(*v, ';', kMaxExtensions);
  if (const auto v = r.Find(key::kImportableVideoExtensions))
    s->importable_video_extensions = SplitList(*v, ';', kMaxExtensions);
}

}  // namespace

void ReadSettings(IniReader& r, Settings* s) {
  if (r.SelectSection(key::kMainSection)) ReadMainSection(r, s);

  ReadTextList(r, key::kTemporaryDirectorySection, &s->temporary_directories);
  ReadTextList(r, key::kOldTemporaryDirectorySection, &s->temporary_directories);
  ReadTextList(r, key::kFileMenuSection, &s->recent_files);
  ReadTextList(r, key::kFilePatternMenuSection, &s->file_patterns);
  ReadTextList(r, key::kEffectPopupMenuSection, &s->effect_popup_menu);
  ReadTextList(r, key::kFirFilterSection, &s->fir_filters);
  ReadTextList(r, key::kScriptCommandLineSection, &s->script_command_lines);
  ReadTextList(r, key::kOldScriptCommandLineSection, &s->script_command_lines);

  if (r.SelectSection(key::kColorSection)) {
    for (std::size_t i = 0; i < kColorCount; ++i)
      s->colors[i] = r.ReadHex(std::to_string(i), s->colors[i]);
  }
  if (r.SelectSection(key::kKeyboardSection)) {
    s->keyboard.clear();
    for (const IniEntry& e : r.Entries()) {
      if (s->keyboard.size() >= kMaxKeyAssignments) break;
      KeyAssignment a;
      if (ParseCode16(e.key, &a.key) && ParseCode16(e.value, &a.command)) s->keyboard.push_back(a);
    }
  }
  if (r.SelectSection(key::kToolbarSection)) {
    s->toolbar.clear();
    for (std::string_view item : r.ReadNumberedList(kMaxListEntries)) {
      std::uint16_t code = 0;
      if (ParseCode16(item, &code)) s->toolbar.push_back(code);
    }
  }
  ReadBoxes(r, key::kBoxSizeSection, &s->box_sizes);
  ReadBoxes(r, key::kBoxPositionSection, &s->box_positions);
  if (r.SelectSection(key::kFontSection)) r.ReadBlob(key::kConsoleFont, s->console_font);
  if (r.SelectSection(key::kExclusiveModeSection))
    ReadDecimalFields(r, settings_field::kExclusiveMode, &s->exclusive_mode);
  if (r.SelectSection(key::kOpenMpSection))
    s->omp_num_threads = r.ReadDecimal(key::kOmpNumThreads, s->omp_num_threads);
  if (r.SelectSection(key::kDialogSection)) {
    s->dialogs.clear();
    std::unordered_set<std::string> seen;
    for (const IniEntry& e : r.Entries()) {
      if (s->dialogs.size() >= kMaxListEntries) break;
      if (e.value.size() > kMaxDialogValueBytes || !UsableEntryName(e.key)) continue;
      if (seen.insert(AsciiLower(e.key)).second)
        s->dialogs.push_back({std::string(e.key), std::string(e.value)});
    }
  }
  if (r.SelectSection(key::kDebugSection)) ReadDecimalFields(r, settings_field::kDebug, &s->debug);
}

Error LoadSettingsFrom(const std::string& path, Settings* settings) {
  IniReader reader;
  if (const Error rc = reader.Open(path, NarrowCodeset()); rc != err::kOk) return rc;
  ReadSettings(reader, settings);
  return err::kOk;
}

Error LoadSettings(Settings* settings) {
  const std::string path = ConfigReadPath(kSettingsFileName);
  if (path.empty()) return err::kOk;
  return LoadSettingsFrom(path, settings);
}

}  // namespace tidemark
