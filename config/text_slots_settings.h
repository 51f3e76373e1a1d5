// Names for the UI text slots of the settings dialog, the encoder settings,
// recording, the playback box and the analysis windows. Each section's
// comment says what fills its formats.
#pragma once

#include "config/text_slot.h"

namespace tidemark::text {

// "encode": The texts every encoder settings dialog shares: the generic
// title, the format fields and their choices, then the messages. Formats: 7
// a rate (%d), 8 a bit depth (%d), 11 a bitrate in kbit/s (%d); 12 the file
// being written (%s); 13 the library's name (%s); 14 the rate and channel
// count (%d, %d).
inline constexpr TextSlot kEncodeTitle = SlotOf("encode", 0);
inline constexpr TextSlot kEncodeSampleRate = SlotOf("encode", 1);
inline constexpr TextSlot kEncodeChannels = SlotOf("encode", 2);
inline constexpr TextSlot kEncodeBitsPerSample = SlotOf("encode", 3);
inline constexpr TextSlot kEncodeAsSource = SlotOf("encode", 4);
inline constexpr TextSlot kEncodeMono = SlotOf("encode", 5);
inline constexpr TextSlot kEncodeStereo = SlotOf("encode", 6);
inline constexpr TextSlot kEncodeRateFormat = SlotOf("encode", 7);
inline constexpr TextSlot kEncodeBitsFormat = SlotOf("encode", 8);
inline constexpr TextSlot kEncodeStreamFormat = SlotOf("encode", 9);
inline constexpr TextSlot kEncodeBitrate = SlotOf("encode", 10);
inline constexpr TextSlot kEncodeBitrateFormat = SlotOf("encode", 11);
inline constexpr TextSlot kEncodeProgress = SlotOf("encode", 12);
inline constexpr TextSlot kEncodeLibraryMissing = SlotOf("encode", 13);
inline constexpr TextSlot kEncodeNoStreamFormat = SlotOf("encode", 14);

// "encode/aac": The AAC encoder dialog: title, the variable-bitrate choice,
// the rate message.
inline constexpr TextSlot kEncodeAacTitle = SlotOf("encode/aac", 0);
inline constexpr TextSlot kEncodeAacVbr = SlotOf("encode/aac", 1);
inline constexpr TextSlot kEncodeAacRateNeeded = SlotOf("encode/aac", 2);

// "encode/acm": The dialog for WAV files compressed by a system codec:
// title, codec and format fields.
inline constexpr TextSlot kEncodeAcmTitle = SlotOf("encode/acm", 0);
inline constexpr TextSlot kEncodeAcmCodec = SlotOf("encode/acm", 1);
inline constexpr TextSlot kEncodeAcmFormat = SlotOf("encode/acm", 2);

// "encode/acm/popup": The system codec's message.
inline constexpr TextSlot kEncodeAcmPopupCannotCompress = SlotOf("encode/acm/popup", 0);

// "encode/flac": The FLAC encoder dialog: title, the fields in the order of
// the writer's settings (compression level with its scale ends and value,
// %d; bit depth choice; ReplayGain; verify; container), then a progress text
// and a note.
inline constexpr TextSlot kEncodeFlacTitle = SlotOf("encode/flac", 0);
inline constexpr TextSlot kEncodeFlacCompressLevel = SlotOf("encode/flac", 1);
inline constexpr TextSlot kEncodeFlacFastest = SlotOf("encode/flac", 2);
inline constexpr TextSlot kEncodeFlacSmallest = SlotOf("encode/flac", 3);
inline constexpr TextSlot kEncodeFlacLevelFormat = SlotOf("encode/flac", 4);
inline constexpr TextSlot kEncodeFlacBitsAsSource = SlotOf("encode/flac", 5);
inline constexpr TextSlot kEncodeFlacReplayGain = SlotOf("encode/flac", 6);
inline constexpr TextSlot kEncodeFlacVerify = SlotOf("encode/flac", 7);
inline constexpr TextSlot kEncodeFlacContainer = SlotOf("encode/flac", 8);
inline constexpr TextSlot kEncodeFlacNative = SlotOf("encode/flac", 9);
inline constexpr TextSlot kEncodeFlacOgg = SlotOf("encode/flac", 10);
inline constexpr TextSlot kEncodeFlacMeasuringReplayGain = SlotOf("encode/flac", 11);
inline constexpr TextSlot kEncodeFlacBitsCapped = SlotOf("encode/flac", 12);

// "encode/lamemp3": The LAME MP3 encoder dialog: title, the bitrate modes,
// the bitrate bound, the channel modes (in the order of their values), the
// algorithm quality, then the frame header flags and the tag option.
inline constexpr TextSlot kEncodeLameTitle = SlotOf("encode/lamemp3", 0);
inline constexpr TextSlot kEncodeLameCbr = SlotOf("encode/lamemp3", 1);
inline constexpr TextSlot kEncodeLameVbr = SlotOf("encode/lamemp3", 2);
inline constexpr TextSlot kEncodeLameAbr = SlotOf("encode/lamemp3", 3);
inline constexpr TextSlot kEncodeLameMaxBitrate = SlotOf("encode/lamemp3", 4);
inline constexpr TextSlot kEncodeLameNoLimit = SlotOf("encode/lamemp3", 5);
inline constexpr TextSlot kEncodeLameChannelMode = SlotOf("encode/lamemp3", 6);
inline constexpr TextSlot kEncodeLameModeStereo = SlotOf("encode/lamemp3", 7);
inline constexpr TextSlot kEncodeLameModeJointStereo = SlotOf("encode/lamemp3", 8);
inline constexpr TextSlot kEncodeLameModeDualChannel = SlotOf("encode/lamemp3", 9);
inline constexpr TextSlot kEncodeLameQuality = SlotOf("encode/lamemp3", 10);
inline constexpr TextSlot kEncodeLameQualityDefault = SlotOf("encode/lamemp3", 11);
inline constexpr TextSlot kEncodeLameQualityBest = SlotOf("encode/lamemp3", 12);
inline constexpr TextSlot kEncodeLameQualityFastest = SlotOf("encode/lamemp3", 13);
inline constexpr TextSlot kEncodeLameCopyright = SlotOf("encode/lamemp3", 14);
inline constexpr TextSlot kEncodeLameOriginal = SlotOf("encode/lamemp3", 15);
inline constexpr TextSlot kEncodeLamePrivate = SlotOf("encode/lamemp3", 16);
inline constexpr TextSlot kEncodeLameCrc = SlotOf("encode/lamemp3", 17);
inline constexpr TextSlot kEncodeLameUnicode = SlotOf("encode/lamemp3", 18);

// "encode/mp3": The dialog of MP3 through the system codec: title, the
// codec, the frame header flags, the tag option, then the message.
inline constexpr TextSlot kEncodeMp3Title = SlotOf("encode/mp3", 0);
inline constexpr TextSlot kEncodeMp3Codec = SlotOf("encode/mp3", 1);
inline constexpr TextSlot kEncodeMp3Copyright = SlotOf("encode/mp3", 2);
inline constexpr TextSlot kEncodeMp3Original = SlotOf("encode/mp3", 3);
inline constexpr TextSlot kEncodeMp3Private = SlotOf("encode/mp3", 4);
inline constexpr TextSlot kEncodeMp3Unicode = SlotOf("encode/mp3", 5);
inline constexpr TextSlot kEncodeMp3NotInstalled = SlotOf("encode/mp3", 6);

// "encode/opus": The Opus encoder dialog: title, the fields in the order of
// the writer's settings (bitrate, its automatic value, VBR, constrained VBR,
// original rate, signal type with its three values), then a note.
inline constexpr TextSlot kEncodeOpusTitle = SlotOf("encode/opus", 0);
inline constexpr TextSlot kEncodeOpusBitrate = SlotOf("encode/opus", 1);
inline constexpr TextSlot kEncodeOpusBitrateAuto = SlotOf("encode/opus", 2);
inline constexpr TextSlot kEncodeOpusVbr = SlotOf("encode/opus", 3);
inline constexpr TextSlot kEncodeOpusConstrainedVbr = SlotOf("encode/opus", 4);
inline constexpr TextSlot kEncodeOpusOriginalRate = SlotOf("encode/opus", 5);
inline constexpr TextSlot kEncodeOpusSignalType = SlotOf("encode/opus", 6);
inline constexpr TextSlot kEncodeOpusSignalAuto = SlotOf("encode/opus", 7);
inline constexpr TextSlot kEncodeOpusSignalVoice = SlotOf("encode/opus", 8);
inline constexpr TextSlot kEncodeOpusSignalMusic = SlotOf("encode/opus", 9);
inline constexpr TextSlot kEncodeOpusRateNote = SlotOf("encode/opus", 10);

// "encode/vorbis": The Ogg Vorbis encoder dialog: title, the two modes,
// quality, the bitrate bounds and their empty value, then the messages.
inline constexpr TextSlot kEncodeVorbisTitle = SlotOf("encode/vorbis", 0);
inline constexpr TextSlot kEncodeVorbisQualityBased = SlotOf("encode/vorbis", 1);
inline constexpr TextSlot kEncodeVorbisManaged = SlotOf("encode/vorbis", 2);
inline constexpr TextSlot kEncodeVorbisQuality = SlotOf("encode/vorbis", 3);
inline constexpr TextSlot kEncodeVorbisMinBitrate = SlotOf("encode/vorbis", 4);
inline constexpr TextSlot kEncodeVorbisMaxBitrate = SlotOf("encode/vorbis", 5);
inline constexpr TextSlot kEncodeVorbisNoBound = SlotOf("encode/vorbis", 6);
inline constexpr TextSlot kEncodeVorbisMinAboveMax = SlotOf("encode/vorbis", 7);
inline constexpr TextSlot kEncodeVorbisBoundsNote = SlotOf("encode/vorbis", 8);

// "encode/wma": The WMA encoder dialog: title, codec, the encoding modes,
// format, the tag option, a note, the messages (11: the rate and channel
// count, %d, %d) and the two progress texts of two-pass encoding.
inline constexpr TextSlot kEncodeWmaTitle = SlotOf("encode/wma", 0);
inline constexpr TextSlot kEncodeWmaCodec = SlotOf("encode/wma", 1);
inline constexpr TextSlot kEncodeWmaMode = SlotOf("encode/wma", 2);
inline constexpr TextSlot kEncodeWmaModeCbr = SlotOf("encode/wma", 3);
inline constexpr TextSlot kEncodeWmaModeCbrTwoPass = SlotOf("encode/wma", 4);
inline constexpr TextSlot kEncodeWmaModeVbrQuality = SlotOf("encode/wma", 5);
inline constexpr TextSlot kEncodeWmaModeVbrTwoPass = SlotOf("encode/wma", 6);
inline constexpr TextSlot kEncodeWmaFormat = SlotOf("encode/wma", 7);
inline constexpr TextSlot kEncodeWmaAttributes = SlotOf("encode/wma", 8);
inline constexpr TextSlot kEncodeWmaTwoPassNote = SlotOf("encode/wma", 9);
inline constexpr TextSlot kEncodeWmaUnavailable = SlotOf("encode/wma", 10);
inline constexpr TextSlot kEncodeWmaNoCodec = SlotOf("encode/wma", 11);
inline constexpr TextSlot kEncodeWmaFirstPass = SlotOf("encode/wma", 12);
inline constexpr TextSlot kEncodeWmaSecondPass = SlotOf("encode/wma", 13);

// "exclusiveformat": Message when an output device refuses a format in
// exclusive mode (%d the rate, %d the bits, %d the channels).
inline constexpr TextSlot kExclusiveFormatRefused = SlotOf("exclusiveformat", 0);

// "playbackspectrum": The playback spectrum window: title, the analysis
// length (%d samples), peak hold, the idle note.
inline constexpr TextSlot kPlaybackSpectrumTitle = SlotOf("playbackspectrum", 0);
inline constexpr TextSlot kPlaybackSpectrumAnalysisLength = SlotOf("playbackspectrum", 1);
inline constexpr TextSlot kPlaybackSpectrumLengthFormat = SlotOf("playbackspectrum", 2);
inline constexpr TextSlot kPlaybackSpectrumHoldPeaks = SlotOf("playbackspectrum", 3);
inline constexpr TextSlot kPlaybackSpectrumIdleNote = SlotOf("playbackspectrum", 4);

// "playbox": The playback box: its title.
inline constexpr TextSlot kPlayboxTitle = SlotOf("playbox", 0);

// "playbox/tooltip": The playback box's buttons.
inline constexpr TextSlot kPlayboxTooltipPlay = SlotOf("playbox/tooltip", 0);
inline constexpr TextSlot kPlayboxTooltipLoop = SlotOf("playbox/tooltip", 1);
inline constexpr TextSlot kPlayboxTooltipPause = SlotOf("playbox/tooltip", 2);
inline constexpr TextSlot kPlayboxTooltipStop = SlotOf("playbox/tooltip", 3);

// "powercontrol": The countdown before a script's deferred suspend (%d the
// seconds left) and its button.
inline constexpr TextSlot kPowerTitle = SlotOf("powercontrol", 0);
inline constexpr TextSlot kPowerSleepCountdown = SlotOf("powercontrol", 1);
inline constexpr TextSlot kPowerHibernateCountdown = SlotOf("powercontrol", 2);
inline constexpr TextSlot kPowerSuspendNow = SlotOf("powercontrol", 3);

// "record": The recording window: title, device and format fields, pre-
// record, file, the buttons, the level meter, the status lines (16 %.1f the
// peak in dB; 19 %s the file; 21 %s the time recorded; 22 %s the time left
// on the disk; 23 %s the file and %s its length), then the messages.
inline constexpr TextSlot kRecordTitle = SlotOf("record", 0);
inline constexpr TextSlot kRecordDevice = SlotOf("record", 1);
inline constexpr TextSlot kRecordDefaultDevice = SlotOf("record", 2);
inline constexpr TextSlot kRecordSampleRate = SlotOf("record", 3);
inline constexpr TextSlot kRecordChannels = SlotOf("record", 4);
inline constexpr TextSlot kRecordSampleFormat = SlotOf("record", 5);
inline constexpr TextSlot kRecordPreRecord = SlotOf("record", 6);
inline constexpr TextSlot kRecordFile = SlotOf("record", 7);
inline constexpr TextSlot kRecordRecord = SlotOf("record", 8);
inline constexpr TextSlot kRecordPause = SlotOf("record", 9);
inline constexpr TextSlot kRecordResume = SlotOf("record", 10);
inline constexpr TextSlot kRecordStop = SlotOf("record", 11);
inline constexpr TextSlot kRecordClose = SlotOf("record", 12);
inline constexpr TextSlot kRecordLevel = SlotOf("record", 13);
inline constexpr TextSlot kRecordLeftShort = SlotOf("record", 14);
inline constexpr TextSlot kRecordRightShort = SlotOf("record", 15);
inline constexpr TextSlot kRecordPeakFormat = SlotOf("record", 16);
inline constexpr TextSlot kRecordOver = SlotOf("record", 17);
inline constexpr TextSlot kRecordMonitoring = SlotOf("record", 18);
inline constexpr TextSlot kRecordRecordingTo = SlotOf("record", 19);
inline constexpr TextSlot kRecordPaused = SlotOf("record", 20);
inline constexpr TextSlot kRecordRecorded = SlotOf("record", 21);
inline constexpr TextSlot kRecordTimeLeft = SlotOf("record", 22);
inline constexpr TextSlot kRecordWritten = SlotOf("record", 23);
inline constexpr TextSlot kRecordSizeLimit = SlotOf("record", 24);
inline constexpr TextSlot kRecordFormatRefused = SlotOf("record", 25);

// "record/popup": Recording questions (1: %s the file).
inline constexpr TextSlot kRecordPopupConfirmClose = SlotOf("record/popup", 0);
inline constexpr TextSlot kRecordPopupConfirmReplace = SlotOf("record/popup", 1);

// "record/tooltip": The recording window's buttons.
inline constexpr TextSlot kRecordTooltipRecord = SlotOf("record/tooltip", 0);
inline constexpr TextSlot kRecordTooltipPause = SlotOf("record/tooltip", 1);
inline constexpr TextSlot kRecordTooltipStop = SlotOf("record/tooltip", 2);
inline constexpr TextSlot kRecordTooltipResetPeaks = SlotOf("record/tooltip", 3);

// "settings": The settings dialog's title.
inline constexpr TextSlot kSettingsTitle = SlotOf("settings", 0);

// "settings/advanced": Settings page "Advanced": the working folder and
// subfolder, the working sample format, file reading and saving, processor
// threads, the audio interface (by its setting value) and exclusive mode,
// the WAV header form.
inline constexpr TextSlot kSettingsAdvancedTitle = SlotOf("settings/advanced", 0);
inline constexpr TextSlot kSettingsAdvancedWorkFolder = SlotOf("settings/advanced", 1);
inline constexpr TextSlot kSettingsAdvancedWorkSubfolder = SlotOf("settings/advanced", 2);
inline constexpr TextSlot kSettingsAdvancedBrowse = SlotOf("settings/advanced", 3);
inline constexpr TextSlot kSettingsAdvancedEnvironmentNote = SlotOf("settings/advanced", 4);
inline constexpr TextSlot kSettingsAdvancedWorkFormat = SlotOf("settings/advanced", 5);
inline constexpr TextSlot kSettingsAdvancedWork16Bit = SlotOf("settings/advanced", 6);
inline constexpr TextSlot kSettingsAdvancedWork24Bit = SlotOf("settings/advanced", 7);
inline constexpr TextSlot kSettingsAdvancedWorkFloat = SlotOf("settings/advanced", 8);
inline constexpr TextSlot kSettingsAdvancedDirectReading = SlotOf("settings/advanced", 9);
inline constexpr TextSlot kSettingsAdvancedSaveByMoving = SlotOf("settings/advanced", 10);
inline constexpr TextSlot kSettingsAdvancedThreads = SlotOf("settings/advanced", 11);
inline constexpr TextSlot kSettingsAdvancedAudioInterface = SlotOf("settings/advanced", 12);
inline constexpr TextSlot kSettingsAdvancedOutput16Bit = SlotOf("settings/advanced", 13);
inline constexpr TextSlot kSettingsAdvancedOutput24Bit = SlotOf("settings/advanced", 14);
inline constexpr TextSlot kSettingsAdvancedOutputFloat = SlotOf("settings/advanced", 15);
inline constexpr TextSlot kSettingsAdvancedKeepSharedRate = SlotOf("settings/advanced", 16);
inline constexpr TextSlot kSettingsAdvancedEventDriven = SlotOf("settings/advanced", 17);
inline constexpr TextSlot kSettingsAdvancedExtensibleWav = SlotOf("settings/advanced", 18);

// "settings/basic": Settings page "General": confirmations, workspace, undo,
// clipboard, then the tag options.
inline constexpr TextSlot kSettingsBasicTitle = SlotOf("settings/basic", 0);
inline constexpr TextSlot kSettingsBasicConfirmations = SlotOf("settings/basic", 1);
inline constexpr TextSlot kSettingsBasicConfirmLargeCopy = SlotOf("settings/basic", 2);
inline constexpr TextSlot kSettingsBasicKeepWorkspace = SlotOf("settings/basic", 3);
inline constexpr TextSlot kSettingsBasicMaximizeRestored = SlotOf("settings/basic", 4);
inline constexpr TextSlot kSettingsBasicRecordUndo = SlotOf("settings/basic", 5);
inline constexpr TextSlot kSettingsBasicSystemClipboard = SlotOf("settings/basic", 6);
inline constexpr TextSlot kSettingsBasicStampSoftware = SlotOf("settings/basic", 7);
inline constexpr TextSlot kSettingsBasicId3v24 = SlotOf("settings/basic", 8);
inline constexpr TextSlot kSettingsBasicId3Unicode = SlotOf("settings/basic", 9);
inline constexpr TextSlot kSettingsBasicId3Unsync = SlotOf("settings/basic", 10);

// "settings/color": Settings page "Colours": the twelve colours in the order
// of the "Color" keys.
inline constexpr TextSlot kSettingsColorTitle = SlotOf("settings/color", 0);
inline constexpr TextSlot kSettingsColorBackground = SlotOf("settings/color", 1);
inline constexpr TextSlot kSettingsColorWaveform = SlotOf("settings/color", 2);
inline constexpr TextSlot kSettingsColorSelectedBackground = SlotOf("settings/color", 3);
inline constexpr TextSlot kSettingsColorSelectedWaveform = SlotOf("settings/color", 4);
inline constexpr TextSlot kSettingsColorCentreLine = SlotOf("settings/color", 5);
inline constexpr TextSlot kSettingsColorGrid = SlotOf("settings/color", 6);
inline constexpr TextSlot kSettingsColorRulerText = SlotOf("settings/color", 7);
inline constexpr TextSlot kSettingsColorMarkers = SlotOf("settings/color", 8);
inline constexpr TextSlot kSettingsColorMarkerLabels = SlotOf("settings/color", 9);
inline constexpr TextSlot kSettingsColorEnvelope = SlotOf("settings/color", 10);
inline constexpr TextSlot kSettingsColorPlaybackCursor = SlotOf("settings/color", 11);
inline constexpr TextSlot kSettingsColorClipping = SlotOf("settings/color", 12);

// "settings/display": Settings page "Display": the time unit and its
// choices, the channel hues, the waveform view's display options.
inline constexpr TextSlot kSettingsDisplayTitle = SlotOf("settings/display", 0);
inline constexpr TextSlot kSettingsDisplayTimeUnit = SlotOf("settings/display", 1);
inline constexpr TextSlot kSettingsDisplayUnitSamples = SlotOf("settings/display", 2);
inline constexpr TextSlot kSettingsDisplayUnitSeconds = SlotOf("settings/display", 3);
inline constexpr TextSlot kSettingsDisplayUnitHms = SlotOf("settings/display", 4);
inline constexpr TextSlot kSettingsDisplayLeftHue = SlotOf("settings/display", 5);
inline constexpr TextSlot kSettingsDisplayRightHue = SlotOf("settings/display", 6);
inline constexpr TextSlot kSettingsDisplayCentreLine = SlotOf("settings/display", 7);
inline constexpr TextSlot kSettingsDisplayGrid = SlotOf("settings/display", 8);
inline constexpr TextSlot kSettingsDisplayMarkerLabels = SlotOf("settings/display", 9);
inline constexpr TextSlot kSettingsDisplayDecibelScale = SlotOf("settings/display", 10);

// "settings/import": Settings page "Import": the extra audio and video
// extensions, the decoder options.
inline constexpr TextSlot kSettingsImportTitle = SlotOf("settings/import", 0);
inline constexpr TextSlot kSettingsImportAudioExtensions = SlotOf("settings/import", 1);
inline constexpr TextSlot kSettingsImportVideoExtensions = SlotOf("settings/import", 2);
inline constexpr TextSlot kSettingsImportExtensionsNote = SlotOf("settings/import", 3);
inline constexpr TextSlot kSettingsImportMp4Decoder = SlotOf("settings/import", 4);
inline constexpr TextSlot kSettingsImportOneBitMax48k = SlotOf("settings/import", 5);
inline constexpr TextSlot kSettingsImportDecoderNote = SlotOf("settings/import", 6);

// "settings/keyboard": Settings page "Keyboard": the key assignment fields
// and buttons.
inline constexpr TextSlot kSettingsKeyboardTitle = SlotOf("settings/keyboard", 0);
inline constexpr TextSlot kSettingsKeyboardGroup = SlotOf("settings/keyboard", 1);
inline constexpr TextSlot kSettingsKeyboardCommand = SlotOf("settings/keyboard", 2);
inline constexpr TextSlot kSettingsKeyboardKeys = SlotOf("settings/keyboard", 3);
inline constexpr TextSlot kSettingsKeyboardNewKey = SlotOf("settings/keyboard", 4);
inline constexpr TextSlot kSettingsKeyboardAssign = SlotOf("settings/keyboard", 5);
inline constexpr TextSlot kSettingsKeyboardRemove = SlotOf("settings/keyboard", 6);
inline constexpr TextSlot kSettingsKeyboardResetAll = SlotOf("settings/keyboard", 7);

// "settings/keyboard/popup": Key assignment questions (0: %s the key, %s the
// command that has it).
inline constexpr TextSlot kSettingsKeyboardPopupConfirmReassign = SlotOf("settings/keyboard/popup", 0);
inline constexpr TextSlot kSettingsKeyboardPopupConfirmResetAll = SlotOf("settings/keyboard/popup", 1);

// "settings/playback": Settings page "Playback": device, output width,
// buffers, the playback scaler's method, the exclusive-mode period.
inline constexpr TextSlot kSettingsPlaybackTitle = SlotOf("settings/playback", 0);
inline constexpr TextSlot kSettingsPlaybackDevice = SlotOf("settings/playback", 1);
inline constexpr TextSlot kSettingsPlaybackDefaultDevice = SlotOf("settings/playback", 2);
inline constexpr TextSlot kSettingsPlaybackOutput24Bit = SlotOf("settings/playback", 3);
inline constexpr TextSlot kSettingsPlaybackLargeBuffers = SlotOf("settings/playback", 4);
inline constexpr TextSlot kSettingsPlaybackKeepPitch = SlotOf("settings/playback", 5);
inline constexpr TextSlot kSettingsPlaybackPeriod = SlotOf("settings/playback", 6);

// "settings/plugin": Settings page "Plug-ins": the VST folder and the search
// button.
inline constexpr TextSlot kSettingsPluginTitle = SlotOf("settings/plugin", 0);
inline constexpr TextSlot kSettingsPluginVstFolder = SlotOf("settings/plugin", 1);
inline constexpr TextSlot kSettingsPluginSearchAgain = SlotOf("settings/plugin", 2);

// "settings/quality": Settings page "Quality": the three resampler values,
// dither, noise shaping, the weighting of statistics (0, then A to D).
inline constexpr TextSlot kSettingsQualityTitle = SlotOf("settings/quality", 0);
inline constexpr TextSlot kSettingsQualityResampleQuality = SlotOf("settings/quality", 1);
inline constexpr TextSlot kSettingsQualityResampleFast = SlotOf("settings/quality", 2);
inline constexpr TextSlot kSettingsQualityResampleStandard = SlotOf("settings/quality", 3);
inline constexpr TextSlot kSettingsQualityResampleBest = SlotOf("settings/quality", 4);
inline constexpr TextSlot kSettingsQualityStopband = SlotOf("settings/quality", 5);
inline constexpr TextSlot kSettingsQualityTransition = SlotOf("settings/quality", 6);
inline constexpr TextSlot kSettingsQualityDither = SlotOf("settings/quality", 7);
inline constexpr TextSlot kSettingsQualityNoiseShaping = SlotOf("settings/quality", 8);
inline constexpr TextSlot kSettingsQualityShapingNone = SlotOf("settings/quality", 9);
inline constexpr TextSlot kSettingsQualityShapingLight = SlotOf("settings/quality", 10);
inline constexpr TextSlot kSettingsQualityShapingMedium = SlotOf("settings/quality", 11);
inline constexpr TextSlot kSettingsQualityShapingStrong = SlotOf("settings/quality", 12);
inline constexpr TextSlot kSettingsQualityWeighting = SlotOf("settings/quality", 13);
inline constexpr TextSlot kSettingsQualityWeightingNone = SlotOf("settings/quality", 14);
inline constexpr TextSlot kSettingsQualityWeightingA = SlotOf("settings/quality", 15);
inline constexpr TextSlot kSettingsQualityWeightingB = SlotOf("settings/quality", 16);
inline constexpr TextSlot kSettingsQualityWeightingC = SlotOf("settings/quality", 17);
inline constexpr TextSlot kSettingsQualityWeightingD = SlotOf("settings/quality", 18);

// "settings/record": Settings page "Recording": device, folder, file name
// template and its note, the pre-record buffer, the power options, the
// exclusive-mode period.
inline constexpr TextSlot kSettingsRecordTitle = SlotOf("settings/record", 0);
inline constexpr TextSlot kSettingsRecordDevice = SlotOf("settings/record", 1);
inline constexpr TextSlot kSettingsRecordDefaultDevice = SlotOf("settings/record", 2);
inline constexpr TextSlot kSettingsRecordFolder = SlotOf("settings/record", 3);
inline constexpr TextSlot kSettingsRecordBrowse = SlotOf("settings/record", 4);
inline constexpr TextSlot kSettingsRecordTemplate = SlotOf("settings/record", 5);
inline constexpr TextSlot kSettingsRecordTemplateNote = SlotOf("settings/record", 6);
inline constexpr TextSlot kSettingsRecordPreRecordBuffer = SlotOf("settings/record", 7);
inline constexpr TextSlot kSettingsRecordKeepDisplayOn = SlotOf("settings/record", 8);
inline constexpr TextSlot kSettingsRecordScreenSaverOff = SlotOf("settings/record", 9);
inline constexpr TextSlot kSettingsRecordPeriod = SlotOf("settings/record", 10);

// "sounddevice": Message when the chosen device is missing (%s the device
// name).
inline constexpr TextSlot kSoundDeviceMissing = SlotOf("sounddevice", 0);

// "spectrogram": The spectrogram window: title, channel names, the fields,
// the readout (%s the time, %.0f Hz, %.1f dB), progress and a message.
inline constexpr TextSlot kSpectrogramTitle = SlotOf("spectrogram", 0);
inline constexpr TextSlot kSpectrogramLeft = SlotOf("spectrogram", 1);
inline constexpr TextSlot kSpectrogramRight = SlotOf("spectrogram", 2);
inline constexpr TextSlot kSpectrogramFftLength = SlotOf("spectrogram", 3);
inline constexpr TextSlot kSpectrogramOverlap = SlotOf("spectrogram", 4);
inline constexpr TextSlot kSpectrogramLowestLevel = SlotOf("spectrogram", 5);
inline constexpr TextSlot kSpectrogramHighestLevel = SlotOf("spectrogram", 6);
inline constexpr TextSlot kSpectrogramColourMap = SlotOf("spectrogram", 7);
inline constexpr TextSlot kSpectrogramReadout = SlotOf("spectrogram", 8);
inline constexpr TextSlot kSpectrogramDrawing = SlotOf("spectrogram", 9);
inline constexpr TextSlot kSpectrogramTooShort = SlotOf("spectrogram", 10);

// "spectrogram/label": The spectrogram's axis labels.
inline constexpr TextSlot kSpectrogramLabelTime = SlotOf("spectrogram/label", 0);
inline constexpr TextSlot kSpectrogramLabelFrequencyHz = SlotOf("spectrogram/label", 1);
inline constexpr TextSlot kSpectrogramLabelFrequencyKhz = SlotOf("spectrogram/label", 2);
inline constexpr TextSlot kSpectrogramLabelLevel = SlotOf("spectrogram/label", 3);
inline constexpr TextSlot kSpectrogramLabelNote = SlotOf("spectrogram/label", 4);

// "spectrogram/menu": The spectrogram's context menu.
inline constexpr TextSlot kSpectrogramMenuFrequencyAxis = SlotOf("spectrogram/menu", 0);
inline constexpr TextSlot kSpectrogramMenuFftLength = SlotOf("spectrogram/menu", 1);
inline constexpr TextSlot kSpectrogramMenuWindowFunction = SlotOf("spectrogram/menu", 2);
inline constexpr TextSlot kSpectrogramMenuOverlap = SlotOf("spectrogram/menu", 3);
inline constexpr TextSlot kSpectrogramMenuColour = SlotOf("spectrogram/menu", 4);
inline constexpr TextSlot kSpectrogramMenuGreyScale = SlotOf("spectrogram/menu", 5);
inline constexpr TextSlot kSpectrogramMenuShowLeft = SlotOf("spectrogram/menu", 6);
inline constexpr TextSlot kSpectrogramMenuShowRight = SlotOf("spectrogram/menu", 7);
inline constexpr TextSlot kSpectrogramMenuShowLevelScale = SlotOf("spectrogram/menu", 8);
inline constexpr TextSlot kSpectrogramMenuSmooth = SlotOf("spectrogram/menu", 9);
inline constexpr TextSlot kSpectrogramMenuRedraw = SlotOf("spectrogram/menu", 10);
inline constexpr TextSlot kSpectrogramMenuCopyImage = SlotOf("spectrogram/menu", 11);

// "spectrogram/menu/frequencyaxis": The spectrogram's frequency axis
// choices.
inline constexpr TextSlot kSpectrogramMenuFreqAxisLinear = SlotOf("spectrogram/menu/frequencyaxis", 0);
inline constexpr TextSlot kSpectrogramMenuFreqAxisLogarithmic = SlotOf("spectrogram/menu/frequencyaxis", 1);
inline constexpr TextSlot kSpectrogramMenuFreqAxisNotes = SlotOf("spectrogram/menu/frequencyaxis", 2);

// "spectrum": The spectrum window: title, channel names, fields, the range
// (%s to %s), the readouts (%.1f Hz, %.1f dB), the messages (8: %d samples)
// and options.
inline constexpr TextSlot kSpectrumTitle = SlotOf("spectrum", 0);
inline constexpr TextSlot kSpectrumLeft = SlotOf("spectrum", 1);
inline constexpr TextSlot kSpectrumRight = SlotOf("spectrum", 2);
inline constexpr TextSlot kSpectrumFftLength = SlotOf("spectrum", 3);
inline constexpr TextSlot kSpectrumWindowFunction = SlotOf("spectrum", 4);
inline constexpr TextSlot kSpectrumRange = SlotOf("spectrum", 5);
inline constexpr TextSlot kSpectrumReadout = SlotOf("spectrum", 6);
inline constexpr TextSlot kSpectrumPeak = SlotOf("spectrum", 7);
inline constexpr TextSlot kSpectrumTooFew = SlotOf("spectrum", 8);
inline constexpr TextSlot kSpectrumAnalysing = SlotOf("spectrum", 9);
inline constexpr TextSlot kSpectrumLogAxis = SlotOf("spectrum", 10);
inline constexpr TextSlot kSpectrumChannelsSummed = SlotOf("spectrum", 11);
inline constexpr TextSlot kSpectrumNoSelection = SlotOf("spectrum", 12);

// "spectrum/label": The spectrum's axis labels.
inline constexpr TextSlot kSpectrumLabelFrequency = SlotOf("spectrum/label", 0);
inline constexpr TextSlot kSpectrumLabelLevel = SlotOf("spectrum/label", 1);

// "spectrum/menu": The spectrum's context menu.
inline constexpr TextSlot kSpectrumMenuFftLength = SlotOf("spectrum/menu", 0);
inline constexpr TextSlot kSpectrumMenuWindowFunction = SlotOf("spectrum/menu", 1);
inline constexpr TextSlot kSpectrumMenuWindowLength = SlotOf("spectrum/menu", 2);
inline constexpr TextSlot kSpectrumMenuAverage = SlotOf("spectrum/menu", 3);

// "spectrum/menu/fftbits": The FFT length submenu: one item per length (%d
// points) and the fitting choice.
inline constexpr TextSlot kSpectrumMenuFftBitsLengthFormat = SlotOf("spectrum/menu/fftbits", 0);
inline constexpr TextSlot kSpectrumMenuFftBitsFitSelection = SlotOf("spectrum/menu/fftbits", 1);

// "spectrum/menu/windowfunc": The window function submenu.
inline constexpr TextSlot kSpectrumMenuWindowFuncRectangular = SlotOf("spectrum/menu/windowfunc", 0);
inline constexpr TextSlot kSpectrumMenuWindowFuncHann = SlotOf("spectrum/menu/windowfunc", 1);
inline constexpr TextSlot kSpectrumMenuWindowFuncHamming = SlotOf("spectrum/menu/windowfunc", 2);
inline constexpr TextSlot kSpectrumMenuWindowFuncBlackmanHarris = SlotOf("spectrum/menu/windowfunc", 3);

// "spectrum/menu/windowlen": The window length submenu: one item per length
// (%d samples).
inline constexpr TextSlot kSpectrumMenuWindowLenLengthFormat = SlotOf("spectrum/menu/windowlen", 0);

// "videoplayback": The video window's title.
inline constexpr TextSlot kVideoTitle = SlotOf("videoplayback", 0);

}  // namespace tidemark::text
