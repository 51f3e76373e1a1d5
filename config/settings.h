// The user's preferences as read from and written to "tide.ini".
//
// Every field starts with its built-in value. Loading reads each key with the
// field's current value as the default, so a missing key or a value that does
// not parse changes nothing. Saving rewrites the whole file from the fields.
#pragma once

#include <limits.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "config/option_bits.h"
#include "platform/error.h"

namespace tidemark {

// Text values are read up to the receiving buffer's length minus one. The
// design's 260 characters for paths and 40 for device names become PATH_MAX
// on this platform (device names may carry paths), counted in bytes as the
// system counts paths.
inline constexpr std::size_t kSettingTextMaxBytes = PATH_MAX - 1;

// The most entries read from a numbered list or a keyed section, so a damaged
// file cannot make loading unbounded.
inline constexpr std::size_t kMaxListEntries = 256;
inline constexpr std::size_t kMaxKeyAssignments = 1024;
inline constexpr std::size_t kMaxExtensions = 256;
// Window and dialog names longer than this are damaged and dropped on reading.
inline constexpr std::size_t kMaxEntryNameBytes = 256;

inline constexpr std::size_t kRecentPathCount = 8;
inline constexpr std::size_t kColorCount = 12;
inline constexpr std::size_t kConsoleFontBytes = 92;

// A window's remembered size or position ("%ld,%ld,%d").
struct NamedBox {
  std::string name;
  std::array<std::int32_t, 3> values{};
  friend bool operator==(const NamedBox&, const NamedBox&) = default;
};

// One key assignment: the key code and the command code.
struct KeyAssignment {
  std::uint16_t key = 0;
  std::uint16_t command = 0;
  friend bool operator==(const KeyAssignment&, const KeyAssignment&) = default;
};

// A dialog's remembered controls in their text form (see config/dialog_values.h).
struct DialogEntry {
  std::string name;
  std::string values;
  friend bool operator==(const DialogEntry&, const DialogEntry&) = default;
};

// The decimal switches of the "Debug" section.
struct DebugSwitches {
  std::int32_t has_3dnow = 0;
  std::int32_t has_avx = 1;
  std::int32_t huge_playback_dither = 0;
  std::int32_t reverse_slider_slide = 0;
  std::int32_t simple_opus_decoding = 0;
  std::int32_t spectrogram_anti_aliasing = 1;
  std::int32_t use_auto_complete = 1;
  std::int32_t use_builtin_theme = 0;
  std::int32_t use_d3d11_for_video = 0;
  std::int32_t use_d3d12_for_resampling = 0;
  std::int32_t use_direct2d = 1;
  std::int32_t use_vista_file_requester = 1;
  std::int32_t use_vista_shared_mode_audio = 1;
  friend bool operator==(const DebugSwitches&, const DebugSwitches&) = default;
};

struct ExclusiveModeAudio {
  std::int32_t always_shared_mode_sample_rate = 0;
  std::int32_t event_driven_exclusive_mode = 1;
  std::int32_t playback_device_period = 0;  // 0: the device's default period
  std::int32_t capture_device_period = 0;
  friend bool operator==(const ExclusiveModeAudio&, const ExclusiveModeAudio&) = default;
};

struct Settings {
  // --- section "Tidemark" ---
  std::array<std::uint32_t, kOptionWordCount> options = DefaultOptionWords();
  // Main window placement: left, top, width, height, show state (0 normal,
  // 1 maximised); a width or height of 0 lets the window system decide.
  std::array<std::int32_t, 5> frame_box{};
  // Tool bands: four bands of (band id, width, starts a new row).
  std::array<std::int32_t, 12> rebar_band{};
  // Waveform view: vertical zoom, horizontal zoom, time unit, display flags.
  std::array<std::int32_t, 4> wave_graph{0, 0, 0, 0};
  std::string temporary_directory1 = "%TEMP%";
  std::string temporary_directory2 = "__tide__";
  std::int32_t temporary_sample_bits = 32;
  std::string wave_out_device;
  std::string wave_in_device;
  std::int32_t wave_device_api = 0;
  std::int32_t wave_out_volume = 100;
  // Resampler: quality, stopband attenuation in dB, transition in Hz.
  std::array<std::int32_t, 3> resample{1, 120, 6000};
  std::array<std::int32_t, 2> channel_hues{0, 120};
  char weighting_filter = '0';  // '0' none, 'A' to 'D'
  std::int32_t noise_shaping_filter = 0;
  std::array<std::string, kRecentPathCount> recent_paths;
  std::string vst_plugin_directory;
  std::string record_directory;
  std::string record_file_name_template;
  std::vector<std::string> importable_audio_extensions;
  std::vector<std::string> importable_video_extensions;

  // --- the other sections ---
  std::vector<std::string> temporary_directories;  // "Temporary Directory"
  std::vector<std::string> recent_files;           // "File Menu"
  std::vector<std::string> file_patterns;          // "File Pattern Menu"
  std::vector<std::string> effect_popup_menu;      // "Effect Popup Menu"
  std::vector<std::string> fir_filters;            // "FIR Filter"
  std::vector<std::string> script_command_lines;   // "Script Command Line"
  std::array<std::uint32_t, kColorCount> colors = DefaultColors();
  std::vector<KeyAssignment> keyboard;
  std::vector<std::uint16_t> toolbar;
  std::vector<NamedBox> box_sizes;
  std::vector<NamedBox> box_positions;
  // The script console's font description; all zero lets the console choose.
  std::array<std::byte, kConsoleFontBytes> console_font{};
  ExclusiveModeAudio exclusive_mode;
  std::int32_t omp_num_threads = 0;  // 0: let the runtime decide
  std::vector<DialogEntry> dialogs;
  DebugSwitches debug;

  bool Option(OptionBit bit) const;
  void SetOption(OptionBit bit, bool on);

  // The remembered values of a dialog, parsed into `data` with the dialog's
  // type string; false (and `data` unchanged) when none are remembered or
  // they do not parse.
  bool DialogValues(std::string_view name, std::string_view types, std::span<std::byte> data) const;
  // Remembers a dialog's values (replacing earlier ones).
  void SetDialogValues(std::string_view name, std::string_view types,
                       std::span<const std::byte> data);

  static std::array<std::uint32_t, kColorCount> DefaultColors();

  friend bool operator==(const Settings&, const Settings&) = default;
};

// A window's remembered size or position (names match without regard to
// ASCII case), or null.
const NamedBox* FindNamedBox(const std::vector<NamedBox>& boxes, std::string_view name);

// Reads the settings from an INI text already opened in `reader`.
void ReadSettings(IniReader& reader, Settings* settings);

// Builds the settings file in `writer` (which must be open).
void WriteSettings(const Settings& settings, IniWriter& writer);

// Loads "tide.ini" from the place ConfigReadPath() names, in the narrow code
// page for files without a byte-order mark. A missing file is not an error
// (returns 0, everything stays built in); an unreadable one returns its error
// and also leaves everything built in. Callers need not report either.
[[nodiscard]] Error LoadSettings(Settings* settings);
[[nodiscard]] Error LoadSettingsFrom(const std::string& path, Settings* settings);

// Writes "tide.ini" into ConfigWriteFolder() as UTF-16LE. The old file is
// replaced only by a complete new one.
[[nodiscard]] Error SaveSettings(const Settings& settings);
[[nodiscard]] Error SaveSettingsTo(const std::string& path, const Settings& settings);

inline constexpr std::string_view kSettingsFileName = "tide.ini";

}  // namespace tidemark
