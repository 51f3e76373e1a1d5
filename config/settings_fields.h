// The decimal switches of the "Debug" and "Exclusive Mode Audio" sections as
// (key, field) tables, so reading and writing walk the same list in file order.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "config/settings.h"
#include "config/settings_keys.h"

namespace tidemark::settings_field {

template <typename Record>
struct DecimalField {
  std::string_view key;
  std::int32_t Record::*field;
};

inline constexpr std::array<DecimalField<DebugSwitches>, 13> kDebug = {{
    {"Has3DNow", &DebugSwitches::has_3dnow},
    {"HasAVX", &DebugSwitches::has_avx},
    {"HugePlaybackDither", &DebugSwitches::huge_playback_dither},
    {"ReverseSliderSlide", &DebugSwitches::reverse_slider_slide},
    {"SimpleOpusDecoding", &DebugSwitches::simple_opus_decoding},
    {"SpectrogramAntiAliasing", &DebugSwitches::spectrogram_anti_aliasing},
    {"UseAutoComplete", &DebugSwitches::use_auto_complete},
    {"UseBuiltinTheme", &DebugSwitches::use_builtin_theme},
    {"UseD3D11ForVideo", &DebugSwitches::use_d3d11_for_video},
    {"UseD3D12ForResampling", &DebugSwitches::use_d3d12_for_resampling},
    {"UseDirect2D", &DebugSwitches::use_direct2d},
    {"UseVistaFileRequester", &DebugSwitches::use_vista_file_requester},
    {"UseVistaSharedModeAudio", &DebugSwitches::use_vista_shared_mode_audio},
}};

inline constexpr std::array<DecimalField<ExclusiveModeAudio>, 4> kExclusiveMode = {{
    {settings_key::kAlwaysSharedModeSampleRate, &ExclusiveModeAudio::always_shared_mode_sample_rate},
    {settings_key::kEventDrivenExclusiveMode, &ExclusiveModeAudio::event_driven_exclusive_mode},
    {settings_key::kPlaybackDevicePeriod, &ExclusiveModeAudio::playback_device_period},
    {settings_key::kCaptureDevicePeriod, &ExclusiveModeAudio::capture_device_period},
}};

}  // namespace tidemark::settings_field
