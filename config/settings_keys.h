// Section and key names of "tide.ini", shared by reading and writing.
#pragma once

#include <string_view>

namespace tidemark::settings_key {

inline constexpr std::string_view kMainSection = "Tidemark";
inline constexpr std::string_view kOptions[] = {"Options1", "Options2", "Options3"};
inline constexpr std::string_view kFrameBox = "FrameBox";
inline constexpr std::string_view kRebarBand = "RebarBand";
inline constexpr std::string_view kWaveGraph = "WaveGraph";
inline constexpr std::string_view kTemporaryDirectory1 = "TemporaryDirectory1";
inline constexpr std::string_view kTemporaryDirectory2 = "TemporaryDirectory2";
inline constexpr std::string_view kTemporarySampleBits = "TemporarySampleBits";
inline constexpr std::string_view kWaveOutDevice = "WaveOutDevice";
inline constexpr std::string_view kWaveInDevice = "WaveInDevice";
inline constexpr std::string_view kWaveDeviceApi = "WaveDeviceAPI";
inline constexpr std::string_view kWaveOutVolume = "WaveOutVolume";
inline constexpr std::string_view kResample = "Resample";
inline constexpr std::string_view kChannelHues = "ChannelHues";
inline constexpr std::string_view kWeightingFilter = "WeightingFilter";
inline constexpr std::string_view kNoiseShapingFilter = "NoiseShapingFilter";
inline constexpr std::string_view kRecentPath[] = {"RecentPath1", "RecentPath2", "RecentPath3",
                                                   "RecentPath4", "RecentPath5", "RecentPath6",
                                                   "RecentPath7", "RecentPath8"};
inline constexpr std::string_view kVstPlugInDirectory = "VSTPlugInDirectory";
inline constexpr std::string_view kRecordDirectory = "RecordDirectory";
inline constexpr std::string_view kRecordFileNameTemplate = "RecordFileNameTemplate";
inline constexpr std::string_view kImportableAudioExtensions = "ImportableAudioExtensions";
inline constexpr std::string_view kImportableVideoExtensions = "ImportableVideoExtensions";

// Older key names: still read, overriding the value read under the new name.
inline constexpr std::string_view kOldTemporaryDirectory1 = "TempDir1";
inline constexpr std::string_view kOldTemporaryDirectory2 = "TempDir2";
inline constexpr std::string_view kOldTemporarySampleBits = "TempFileBits";
inline constexpr std::string_view kOldWaveOutDevice = "WaveOutDev";
inline constexpr std::string_view kOldWaveInDevice = "WaveInDev";
inline constexpr std::string_view kOldWaveDeviceApi = "WaveDevIf";
inline constexpr std::string_view kOldVstPlugInDirectory = "VstPlugInDir";
inline constexpr std::string_view kOldRecordDirectory = "RecDir";
inline constexpr std::string_view kOldRecordFileNameTemplate = "RecFileNameTmpl";

inline constexpr std::string_view kTemporaryDirectorySection = "Temporary Directory";
inline constexpr std::string_view kOldTemporaryDirectorySection = "Temp Dir";
inline constexpr std::string_view kFileMenuSection = "File Menu";
inline constexpr std::string_view kFilePatternMenuSection = "File Pattern Menu";
inline constexpr std::string_view kEffectPopupMenuSection = "Effect Popup Menu";
inline constexpr std::string_view kFirFilterSection = "FIR Filter";
inline constexpr std::string_view kScriptCommandLineSection = "Script Command Line";
inline constexpr std::string_view kOldScriptCommandLineSection = "Script Lines";
inline constexpr std::string_view kColorSection = "Color";
inline constexpr std::string_view kKeyboardSection = "Keyboard";
inline constexpr std::string_view kToolbarSection = "Toolbar";
inline constexpr std::string_view kBoxSizeSection = "Box Size";
inline constexpr std::string_view kBoxPositionSection = "Box Position";
inline constexpr std::string_view kFontSection = "Font";
inline constexpr std::string_view kConsoleFont = "Console2";
inline constexpr std::string_view kExclusiveModeSection = "Exclusive Mode Audio";
inline constexpr std::string_view kAlwaysSharedModeSampleRate = "AlwaysSharedModeSampleRate";
inline constexpr std::string_view kEventDrivenExclusiveMode = "EventDrivenExclusiveMode";
inline constexpr std::string_view kPlaybackDevicePeriod = "PlaybackDevicePeriod";
inline constexpr std::string_view kCaptureDevicePeriod = "CaptureDevicePeriod";
inline constexpr std::string_view kOpenMpSection = "OpenMP";
inline constexpr std::string_view kOmpNumThreads = "OMP_NUM_THREADS";
inline constexpr std::string_view kDialogSection = "Dialog";
inline constexpr std::string_view kDebugSection = "Debug";

}  // namespace tidemark::settings_key
