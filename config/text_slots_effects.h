// Names for the UI text slots of the effect dialogs, effect chains and presets.
// In every "effect/..." section, text 0 is the effect's name (menu label,
// dialog title, undo step, progress caption) and text 1 its status-bar help.
#pragma once

#include "config/text_slot.h"

namespace tidemark::text {

// "effect/channelexchange": Channel exchange (no dialog): its name and help
// line.
inline constexpr TextSlot kFxChannelExchangeName = SlotOf("effect/channelexchange", 0);
inline constexpr TextSlot kFxChannelExchangeHelp = SlotOf("effect/channelexchange", 1);

// "effect/clickremoval": The click removal dialog: name and help, the fields
// in the order of its settings, the ends of the threshold scale, the factor's
// unit and a note.
inline constexpr TextSlot kFxClickRemovalTitle = SlotOf("effect/clickremoval", 0);
inline constexpr TextSlot kFxClickRemovalHelp = SlotOf("effect/clickremoval", 1);
inline constexpr TextSlot kFxClickRemovalThreshold = SlotOf("effect/clickremoval", 2);
inline constexpr TextSlot kFxClickRemovalFactor = SlotOf("effect/clickremoval", 3);
inline constexpr TextSlot kFxClickRemovalRepairLimit = SlotOf("effect/clickremoval", 4);
inline constexpr TextSlot kFxClickRemovalMoreSensitive = SlotOf("effect/clickremoval", 5);
inline constexpr TextSlot kFxClickRemovalLessSensitive = SlotOf("effect/clickremoval", 6);
inline constexpr TextSlot kFxClickRemovalFactorUnit = SlotOf("effect/clickremoval", 7);
inline constexpr TextSlot kFxClickRemovalMidSideNote = SlotOf("effect/clickremoval", 8);

// "effect/compress": The compressor dialog: name and help, the fields in the
// order of its settings, the two modes, the ratio format (%.1f: the ratio) and
// the meter's label.
inline constexpr TextSlot kFxCompressTitle = SlotOf("effect/compress", 0);
inline constexpr TextSlot kFxCompressHelp = SlotOf("effect/compress", 1);
inline constexpr TextSlot kFxCompressRatio = SlotOf("effect/compress", 2);
inline constexpr TextSlot kFxCompressThreshold = SlotOf("effect/compress", 3);
inline constexpr TextSlot kFxCompressWindow = SlotOf("effect/compress", 4);
inline constexpr TextSlot kFxCompressMakeup = SlotOf("effect/compress", 5);
inline constexpr TextSlot kFxCompressDeEsserFreq = SlotOf("effect/compress", 6);
inline constexpr TextSlot kFxCompressMode = SlotOf("effect/compress", 7);
inline constexpr TextSlot kFxCompressModeCompressor = SlotOf("effect/compress", 8);
inline constexpr TextSlot kFxCompressModeDeEsser = SlotOf("effect/compress", 9);
inline constexpr TextSlot kFxCompressRatioFormat = SlotOf("effect/compress", 10);
inline constexpr TextSlot kFxCompressGainReduction = SlotOf("effect/compress", 11);

// "effect/delay": The delay dialog: name and help, the fields in the order of
// the delay settings, then the two modes.
inline constexpr TextSlot kFxDelayTitle = SlotOf("effect/delay", 0);
inline constexpr TextSlot kFxDelayHelp = SlotOf("effect/delay", 1);
inline constexpr TextSlot kFxDelayTime = SlotOf("effect/delay", 2);
inline constexpr TextSlot kFxDelayEchoLevel = SlotOf("effect/delay", 3);
inline constexpr TextSlot kFxDelayOutputLevel = SlotOf("effect/delay", 4);
inline constexpr TextSlot kFxDelayModeFeedback = SlotOf("effect/delay", 5);
inline constexpr TextSlot kFxDelayModeFeedForward = SlotOf("effect/delay", 6);

// "effect/doppler": The Doppler dialog: name and help, the fields in the order
// of its settings, the two directions and the three models.
inline constexpr TextSlot kFxDopplerTitle = SlotOf("effect/doppler", 0);
inline constexpr TextSlot kFxDopplerHelp = SlotOf("effect/doppler", 1);
inline constexpr TextSlot kFxDopplerSpeed = SlotOf("effect/doppler", 2);
inline constexpr TextSlot kFxDopplerDirection = SlotOf("effect/doppler", 3);
inline constexpr TextSlot kFxDopplerDistance = SlotOf("effect/doppler", 4);
inline constexpr TextSlot kFxDopplerMode = SlotOf("effect/doppler", 5);
inline constexpr TextSlot kFxDopplerMicSpacing = SlotOf("effect/doppler", 6);
inline constexpr TextSlot kFxDopplerDirectionalMics = SlotOf("effect/doppler", 7);
inline constexpr TextSlot kFxDopplerLeftToRight = SlotOf("effect/doppler", 8);
inline constexpr TextSlot kFxDopplerRightToLeft = SlotOf("effect/doppler", 9);
inline constexpr TextSlot kFxDopplerModePitch = SlotOf("effect/doppler", 10);
inline constexpr TextSlot kFxDopplerModeLevel = SlotOf("effect/doppler", 11);
inline constexpr TextSlot kFxDopplerModeBoth = SlotOf("effect/doppler", 12);

// "effect/fade": The fade dialog: name and help, the shape field and its four
// shapes (0 to 3).
inline constexpr TextSlot kFxFadeTitle = SlotOf("effect/fade", 0);
inline constexpr TextSlot kFxFadeHelp = SlotOf("effect/fade", 1);
inline constexpr TextSlot kFxFadeShape = SlotOf("effect/fade", 2);
inline constexpr TextSlot kFxFadeIn = SlotOf("effect/fade", 3);
inline constexpr TextSlot kFxFadeOut = SlotOf("effect/fade", 4);
inline constexpr TextSlot kFxFadeLeftOutRightIn = SlotOf("effect/fade", 5);
inline constexpr TextSlot kFxFadeLeftInRightOut = SlotOf("effect/fade", 6);

// "effect/firfile": The FIR file dialog: name and help, the file field, the
// normalise option and the chosen file's format (%d Hz, %d channels).
inline constexpr TextSlot kFxFirFileTitle = SlotOf("effect/firfile", 0);
inline constexpr TextSlot kFxFirFileHelp = SlotOf("effect/firfile", 1);
inline constexpr TextSlot kFxFirFileFile = SlotOf("effect/firfile", 2);
inline constexpr TextSlot kFxFirFileNormalise = SlotOf("effect/firfile", 3);
inline constexpr TextSlot kFxFirFileFormat = SlotOf("effect/firfile", 4);

// "effect/graphiceq": The graphic equaliser dialog: name and help (the bands
// are labelled by their frequencies).
inline constexpr TextSlot kFxGraphicEqTitle = SlotOf("effect/graphiceq", 0);
inline constexpr TextSlot kFxGraphicEqHelp = SlotOf("effect/graphiceq", 1);

// "effect/hissreduction": The hiss reduction dialog: name and help, the fields
// in the order of its settings, the options of the noise type and the
// strength, the FFT length format (%d: points), the two noise profile sources
// and the progress caption of the noise scan.
inline constexpr TextSlot kFxHissTitle = SlotOf("effect/hissreduction", 0);
inline constexpr TextSlot kFxHissHelp = SlotOf("effect/hissreduction", 1);
inline constexpr TextSlot kFxHissNoiseType = SlotOf("effect/hissreduction", 2);
inline constexpr TextSlot kFxHissStrength = SlotOf("effect/hissreduction", 3);
inline constexpr TextSlot kFxHissReduction = SlotOf("effect/hissreduction", 4);
inline constexpr TextSlot kFxHissTone = SlotOf("effect/hissreduction", 5);
inline constexpr TextSlot kFxHissFftLength = SlotOf("effect/hissreduction", 6);
inline constexpr TextSlot kFxHissProfile = SlotOf("effect/hissreduction", 7);
inline constexpr TextSlot kFxHissSmoothing = SlotOf("effect/hissreduction", 8);
inline constexpr TextSlot kFxHissTypeHiss = SlotOf("effect/hissreduction", 9);
inline constexpr TextSlot kFxHissTypeBroadband = SlotOf("effect/hissreduction", 10);
inline constexpr TextSlot kFxHissTypeTonal = SlotOf("effect/hissreduction", 11);
inline constexpr TextSlot kFxHissStrengthLow = SlotOf("effect/hissreduction", 12);
inline constexpr TextSlot kFxHissStrengthMedium = SlotOf("effect/hissreduction", 13);
inline constexpr TextSlot kFxHissStrengthHigh = SlotOf("effect/hissreduction", 14);
inline constexpr TextSlot kFxHissFftPoints = SlotOf("effect/hissreduction", 15);
inline constexpr TextSlot kFxHissProfileSelection = SlotOf("effect/hissreduction", 16);
inline constexpr TextSlot kFxHissProfileStored = SlotOf("effect/hissreduction", 17);
inline constexpr TextSlot kFxHissMeasuring = SlotOf("effect/hissreduction", 18);

// "effect/iirfilter": The IIR filter dialog: name and help, the description
// field and the order display (%d: the filter order).
inline constexpr TextSlot kFxIirTitle = SlotOf("effect/iirfilter", 0);
inline constexpr TextSlot kFxIirHelp = SlotOf("effect/iirfilter", 1);
inline constexpr TextSlot kFxIirDescription = SlotOf("effect/iirfilter", 2);
inline constexpr TextSlot kFxIirOrder = SlotOf("effect/iirfilter", 3);

// "effect/iirfilter/descerror": Faults of a typed filter description, one per
// kind: texts 1 to 6 are the parse errors of the same number, 13 is parse
// error 19 (B0 is 0); text 0 is any other fault.
inline constexpr TextSlot kFxIirErrUnknown = SlotOf("effect/iirfilter/descerror", 0);
inline constexpr TextSlot kFxIirErrMemory = SlotOf("effect/iirfilter/descerror", 1);
inline constexpr TextSlot kFxIirErrToken = SlotOf("effect/iirfilter/descerror", 2);
inline constexpr TextSlot kFxIirErrNoEquals = SlotOf("effect/iirfilter/descerror", 3);
inline constexpr TextSlot kFxIirErrStartsWithEquals = SlotOf("effect/iirfilter/descerror", 4);
inline constexpr TextSlot kFxIirErrNothingAfter = SlotOf("effect/iirfilter/descerror", 5);
inline constexpr TextSlot kFxIirErrDefinedTwice = SlotOf("effect/iirfilter/descerror", 6);
inline constexpr TextSlot kFxIirErrParenthesis = SlotOf("effect/iirfilter/descerror", 7);
inline constexpr TextSlot kFxIirErrOperand = SlotOf("effect/iirfilter/descerror", 8);
inline constexpr TextSlot kFxIirErrUndefinedName = SlotOf("effect/iirfilter/descerror", 9);
inline constexpr TextSlot kFxIirErrFunctionArgument = SlotOf("effect/iirfilter/descerror", 10);
inline constexpr TextSlot kFxIirErrTooLong = SlotOf("effect/iirfilter/descerror", 11);
inline constexpr TextSlot kFxIirErrOrderTooHigh = SlotOf("effect/iirfilter/descerror", 12);
inline constexpr TextSlot kFxIirErrB0Zero = SlotOf("effect/iirfilter/descerror", 13);
inline constexpr TextSlot kFxIirErrNotFinite = SlotOf("effect/iirfilter/descerror", 14);
inline constexpr TextSlot kFxIirErrUnstable = SlotOf("effect/iirfilter/descerror", 15);

// "effect/iirfilter/popup": IIR filter messages: a fault in a line (%d: the
// line, %s: the fault's text) and a fault of the whole description (%s: the
// fault's text).
inline constexpr TextSlot kFxIirPopupLineError = SlotOf("effect/iirfilter/popup", 0);
inline constexpr TextSlot kFxIirPopupError = SlotOf("effect/iirfilter/popup", 1);

// "effect/limiter": The limiter dialog: name and help, the fields in the order
// of its settings and the meter's label.
inline constexpr TextSlot kFxLimiterTitle = SlotOf("effect/limiter", 0);
inline constexpr TextSlot kFxLimiterHelp = SlotOf("effect/limiter", 1);
inline constexpr TextSlot kFxLimiterCeiling = SlotOf("effect/limiter", 2);
inline constexpr TextSlot kFxLimiterWindow = SlotOf("effect/limiter", 3);
inline constexpr TextSlot kFxLimiterGain = SlotOf("effect/limiter", 4);
inline constexpr TextSlot kFxLimiterLink = SlotOf("effect/limiter", 5);
inline constexpr TextSlot kFxLimiterGainReduction = SlotOf("effect/limiter", 6);

// "effect/lowpasshighpass": The low-pass/high-pass dialog: name and help, the
// fields in the order of its settings, the four designs (0 to 3) and the two
// kinds.
inline constexpr TextSlot kFxLowHighTitle = SlotOf("effect/lowpasshighpass", 0);
inline constexpr TextSlot kFxLowHighHelp = SlotOf("effect/lowpasshighpass", 1);
inline constexpr TextSlot kFxLowHighDesign = SlotOf("effect/lowpasshighpass", 2);
inline constexpr TextSlot kFxLowHighCutoff = SlotOf("effect/lowpasshighpass", 3);
inline constexpr TextSlot kFxLowHighStopband = SlotOf("effect/lowpasshighpass", 4);
inline constexpr TextSlot kFxLowHighOrder = SlotOf("effect/lowpasshighpass", 5);
inline constexpr TextSlot kFxLowHighButterworth = SlotOf("effect/lowpasshighpass", 6);
inline constexpr TextSlot kFxLowHighChebyshev1 = SlotOf("effect/lowpasshighpass", 7);
inline constexpr TextSlot kFxLowHighChebyshev2 = SlotOf("effect/lowpasshighpass", 8);
inline constexpr TextSlot kFxLowHighElliptic = SlotOf("effect/lowpasshighpass", 9);
inline constexpr TextSlot kFxLowHighLowpass = SlotOf("effect/lowpasshighpass", 10);
inline constexpr TextSlot kFxLowHighHighpass = SlotOf("effect/lowpasshighpass", 11);

// "effect/midside": Mid-side conversion (no dialog): its name and help line.
inline constexpr TextSlot kFxMidSideName = SlotOf("effect/midside", 0);
inline constexpr TextSlot kFxMidSideHelp = SlotOf("effect/midside", 1);

// "effect/monooutput": The mono output dialog: name and help, the fields in
// the order of its settings, the three sources (0 to 2), a note, the average
// button and the note on mono selections.
inline constexpr TextSlot kFxMonoTitle = SlotOf("effect/monooutput", 0);
inline constexpr TextSlot kFxMonoHelp = SlotOf("effect/monooutput", 1);
inline constexpr TextSlot kFxMonoSource = SlotOf("effect/monooutput", 2);
inline constexpr TextSlot kFxMonoGain = SlotOf("effect/monooutput", 3);
inline constexpr TextSlot kFxMonoSourceSum = SlotOf("effect/monooutput", 4);
inline constexpr TextSlot kFxMonoSourceLeft = SlotOf("effect/monooutput", 5);
inline constexpr TextSlot kFxMonoSourceRight = SlotOf("effect/monooutput", 6);
inline constexpr TextSlot kFxMonoSumNote = SlotOf("effect/monooutput", 7);
inline constexpr TextSlot kFxMonoAverage = SlotOf("effect/monooutput", 8);
inline constexpr TextSlot kFxMonoStereoOnly = SlotOf("effect/monooutput", 9);

// "effect/noisegenerator": The noise generator dialog: name and help, the
// level field.
inline constexpr TextSlot kFxNoiseTitle = SlotOf("effect/noisegenerator", 0);
inline constexpr TextSlot kFxNoiseHelp = SlotOf("effect/noisegenerator", 1);
inline constexpr TextSlot kFxNoiseLevel = SlotOf("effect/noisegenerator", 2);

// "effect/normalize": The normalise dialog: name and help, the three modes
// with their target fields (0 to 2), the clip guard shared by modes 1 and 2.
inline constexpr TextSlot kFxNormalizeTitle = SlotOf("effect/normalize", 0);
inline constexpr TextSlot kFxNormalizeHelp = SlotOf("effect/normalize", 1);
inline constexpr TextSlot kFxNormalizePeak = SlotOf("effect/normalize", 2);
inline constexpr TextSlot kFxNormalizeShortRms = SlotOf("effect/normalize", 3);
inline constexpr TextSlot kFxNormalizeRms = SlotOf("effect/normalize", 4);
inline constexpr TextSlot kFxNormalizeClipGuard = SlotOf("effect/normalize", 5);

// "effect/offset": The DC offset dialog: name and help, its two modes (the
// second with its value field).
inline constexpr TextSlot kFxOffsetTitle = SlotOf("effect/offset", 0);
inline constexpr TextSlot kFxOffsetHelp = SlotOf("effect/offset", 1);
inline constexpr TextSlot kFxOffsetMeasure = SlotOf("effect/offset", 2);
inline constexpr TextSlot kFxOffsetFixed = SlotOf("effect/offset", 3);

// "effect/pan": The pan dialog: name and help, the fields in the order of its
// settings, the marks of the angle scale and a note.
inline constexpr TextSlot kFxPanTitle = SlotOf("effect/pan", 0);
inline constexpr TextSlot kFxPanHelp = SlotOf("effect/pan", 1);
inline constexpr TextSlot kFxPanAngle = SlotOf("effect/pan", 2);
inline constexpr TextSlot kFxPanDistance = SlotOf("effect/pan", 3);
inline constexpr TextSlot kFxPanMicSpacing = SlotOf("effect/pan", 4);
inline constexpr TextSlot kFxPanWiden = SlotOf("effect/pan", 5);
inline constexpr TextSlot kFxPanLeft = SlotOf("effect/pan", 6);
inline constexpr TextSlot kFxPanCentre = SlotOf("effect/pan", 7);
inline constexpr TextSlot kFxPanRight = SlotOf("effect/pan", 8);
inline constexpr TextSlot kFxPanMonoNote = SlotOf("effect/pan", 9);

// "effect/parametriceq": The parametric equaliser dialog: name and help, the
// band fields, the captions of the three bands, the flat button and a note.
inline constexpr TextSlot kFxPeqTitle = SlotOf("effect/parametriceq", 0);
inline constexpr TextSlot kFxPeqHelp = SlotOf("effect/parametriceq", 1);
inline constexpr TextSlot kFxPeqFrequency = SlotOf("effect/parametriceq", 2);
inline constexpr TextSlot kFxPeqGain = SlotOf("effect/parametriceq", 3);
inline constexpr TextSlot kFxPeqWidth = SlotOf("effect/parametriceq", 4);
inline constexpr TextSlot kFxPeqHighShelf = SlotOf("effect/parametriceq", 5);
inline constexpr TextSlot kFxPeqLowShelf = SlotOf("effect/parametriceq", 6);
inline constexpr TextSlot kFxPeqPeak = SlotOf("effect/parametriceq", 7);
inline constexpr TextSlot kFxPeqFlat = SlotOf("effect/parametriceq", 8);
inline constexpr TextSlot kFxPeqZeroNote = SlotOf("effect/parametriceq", 9);

// "effect/parametriceq/label": The axis labels of the parametric equaliser's
// response graph.
inline constexpr TextSlot kFxPeqAxisFrequency = SlotOf("effect/parametriceq/label", 0);
inline constexpr TextSlot kFxPeqAxisGain = SlotOf("effect/parametriceq/label", 1);

// "effect/pitchchange": The pitch change dialog: name and help, the semitone
// and cent fields, the semitone label (%+d: semitones) and a note.
inline constexpr TextSlot kFxPitchTitle = SlotOf("effect/pitchchange", 0);
inline constexpr TextSlot kFxPitchHelp = SlotOf("effect/pitchchange", 1);
inline constexpr TextSlot kFxPitchSemitones = SlotOf("effect/pitchchange", 2);
inline constexpr TextSlot kFxPitchCents = SlotOf("effect/pitchchange", 3);
inline constexpr TextSlot kFxPitchSemitoneLabel = SlotOf("effect/pitchchange", 4);
inline constexpr TextSlot kFxPitchLengthNote = SlotOf("effect/pitchchange", 5);

// "effect/plotfir": The window that draws and plots a FIR filter's response:
// name and help, the fields, their options, the tap count (%d), the gain range
// (%d dB), the axis labels, the readout under the mouse (%.0f Hz, %.1f dB),
// the flat button, the point menu and a hint.
inline constexpr TextSlot kFxPlotFirTitle = SlotOf("effect/plotfir", 0);
inline constexpr TextSlot kFxPlotFirHelp = SlotOf("effect/plotfir", 1);
inline constexpr TextSlot kFxPlotFirLength = SlotOf("effect/plotfir", 2);
inline constexpr TextSlot kFxPlotFirAxis = SlotOf("effect/plotfir", 3);
inline constexpr TextSlot kFxPlotFirRange = SlotOf("effect/plotfir", 4);
inline constexpr TextSlot kFxPlotFirSmooth = SlotOf("effect/plotfir", 5);
inline constexpr TextSlot kFxPlotFirShowAchieved = SlotOf("effect/plotfir", 6);
inline constexpr TextSlot kFxPlotFirLinear = SlotOf("effect/plotfir", 7);
inline constexpr TextSlot kFxPlotFirLogarithmic = SlotOf("effect/plotfir", 8);
inline constexpr TextSlot kFxPlotFirTaps = SlotOf("effect/plotfir", 9);
inline constexpr TextSlot kFxPlotFirRangeFormat = SlotOf("effect/plotfir", 10);
inline constexpr TextSlot kFxPlotFirAxisFrequency = SlotOf("effect/plotfir", 11);
inline constexpr TextSlot kFxPlotFirAxisGain = SlotOf("effect/plotfir", 12);
inline constexpr TextSlot kFxPlotFirReadout = SlotOf("effect/plotfir", 13);
inline constexpr TextSlot kFxPlotFirFlat = SlotOf("effect/plotfir", 14);
inline constexpr TextSlot kFxPlotFirDeletePoint = SlotOf("effect/plotfir", 15);
inline constexpr TextSlot kFxPlotFirHint = SlotOf("effect/plotfir", 16);

// "effect/reverb": The reverb dialog: name and help, the fields in the order
// of the reverb settings (the tone fields are in the colouration window), the
// six microphone patterns (0 to 5), the colouration button and the button that
// saves the impulse response.
inline constexpr TextSlot kFxReverbTitle = SlotOf("effect/reverb", 0);
inline constexpr TextSlot kFxReverbHelp = SlotOf("effect/reverb", 1);
inline constexpr TextSlot kFxReverbSource = SlotOf("effect/reverb", 2);
inline constexpr TextSlot kFxReverbListener = SlotOf("effect/reverb", 3);
inline constexpr TextSlot kFxReverbWallAbsorption = SlotOf("effect/reverb", 4);
inline constexpr TextSlot kFxReverbFloorAbsorption = SlotOf("effect/reverb", 5);
inline constexpr TextSlot kFxReverbRoomShape = SlotOf("effect/reverb", 6);
inline constexpr TextSlot kFxReverbReflections = SlotOf("effect/reverb", 7);
inline constexpr TextSlot kFxReverbDiffusion = SlotOf("effect/reverb", 8);
inline constexpr TextSlot kFxReverbFloor = SlotOf("effect/reverb", 9);
inline constexpr TextSlot kFxReverbMicPattern = SlotOf("effect/reverb", 10);
inline constexpr TextSlot kFxReverbDirectSound = SlotOf("effect/reverb", 11);
inline constexpr TextSlot kFxReverbMicAngle = SlotOf("effect/reverb", 12);
inline constexpr TextSlot kFxReverbMicSpacing = SlotOf("effect/reverb", 13);
inline constexpr TextSlot kFxReverbNormalise = SlotOf("effect/reverb", 14);
inline constexpr TextSlot kFxReverbLength = SlotOf("effect/reverb", 15);
inline constexpr TextSlot kFxReverbOmni = SlotOf("effect/reverb", 16);
inline constexpr TextSlot kFxReverbSubcardioid = SlotOf("effect/reverb", 17);
inline constexpr TextSlot kFxReverbCardioid = SlotOf("effect/reverb", 18);
inline constexpr TextSlot kFxReverbSupercardioid = SlotOf("effect/reverb", 19);
inline constexpr TextSlot kFxReverbHypercardioid = SlotOf("effect/reverb", 20);
inline constexpr TextSlot kFxReverbFigureEight = SlotOf("effect/reverb", 21);
inline constexpr TextSlot kFxReverbColour = SlotOf("effect/reverb", 22);
inline constexpr TextSlot kFxReverbSaveResponse = SlotOf("effect/reverb", 23);

// "effect/reverb/color": The reverb's colouration window: title, the three
// tone bands and their fields, the balance fields, the group captions, the
// buttons and a note.
inline constexpr TextSlot kFxReverbColourTitle = SlotOf("effect/reverb/color", 0);
inline constexpr TextSlot kFxReverbColourBand1 = SlotOf("effect/reverb/color", 1);
inline constexpr TextSlot kFxReverbColourBand2 = SlotOf("effect/reverb/color", 2);
inline constexpr TextSlot kFxReverbColourBand3 = SlotOf("effect/reverb/color", 3);
inline constexpr TextSlot kFxReverbColourFrequency = SlotOf("effect/reverb/color", 4);
inline constexpr TextSlot kFxReverbColourWidth = SlotOf("effect/reverb/color", 5);
inline constexpr TextSlot kFxReverbColourLowLevel = SlotOf("effect/reverb/color", 6);
inline constexpr TextSlot kFxReverbColourTurnover = SlotOf("effect/reverb/color", 7);
inline constexpr TextSlot kFxReverbColourHighLevel = SlotOf("effect/reverb/color", 8);
inline constexpr TextSlot kFxReverbColourBands = SlotOf("effect/reverb/color", 9);
inline constexpr TextSlot kFxReverbColourBalance = SlotOf("effect/reverb/color", 10);
inline constexpr TextSlot kFxReverbColourFlat = SlotOf("effect/reverb/color", 11);
inline constexpr TextSlot kFxReverbColourDefaults = SlotOf("effect/reverb/color", 12);
inline constexpr TextSlot kFxReverbColourNote = SlotOf("effect/reverb/color", 13);

// "effect/reverb/color/label": The axis labels of the colouration graph.
inline constexpr TextSlot kFxReverbColourAxisFrequency = SlotOf("effect/reverb/color/label", 0);
inline constexpr TextSlot kFxReverbColourAxisLevel = SlotOf("effect/reverb/color/label", 1);

// "effect/reverb/label": The labels of the source and the listener in the
// reverb's room plan.
inline constexpr TextSlot kFxReverbPlanSource = SlotOf("effect/reverb/label", 0);
inline constexpr TextSlot kFxReverbPlanListener = SlotOf("effect/reverb/label", 1);

// "effect/reverb/popup": Reverb message: a position outside the room was
// replaced.
inline constexpr TextSlot kFxReverbPositionMoved = SlotOf("effect/reverb/popup", 0);

// "effect/signreverse": Sign reverse (no dialog): its name and help line.
inline constexpr TextSlot kFxSignReverseName = SlotOf("effect/signreverse", 0);
inline constexpr TextSlot kFxSignReverseHelp = SlotOf("effect/signreverse", 1);

// "effect/silence": Silence (no dialog): its name and help line.
inline constexpr TextSlot kFxSilenceName = SlotOf("effect/silence", 0);
inline constexpr TextSlot kFxSilenceHelp = SlotOf("effect/silence", 1);

// "effect/sinegenerator": The sine generator dialog: name and help, the fields
// in the order of its settings, the two display options, the note format (%s:
// the note name from text 9, %d: the octave, %+d: cents), the note names, the
// level in dB (%.1f), the octave buttons, the highest frequency (%d Hz) and
// two notes.
inline constexpr TextSlot kFxSineTitle = SlotOf("effect/sinegenerator", 0);
inline constexpr TextSlot kFxSineHelp = SlotOf("effect/sinegenerator", 1);
inline constexpr TextSlot kFxSineFrequency = SlotOf("effect/sinegenerator", 2);
inline constexpr TextSlot kFxSineLevel = SlotOf("effect/sinegenerator", 3);
inline constexpr TextSlot kFxSineDisplay = SlotOf("effect/sinegenerator", 4);
inline constexpr TextSlot kFxSineReference = SlotOf("effect/sinegenerator", 5);
inline constexpr TextSlot kFxSineDisplayHertz = SlotOf("effect/sinegenerator", 6);
inline constexpr TextSlot kFxSineDisplayNote = SlotOf("effect/sinegenerator", 7);
inline constexpr TextSlot kFxSineNoteFormat = SlotOf("effect/sinegenerator", 8);
inline constexpr TextSlot kFxSineNoteNames = SlotOf("effect/sinegenerator", 9);
inline constexpr TextSlot kFxSineLevelDb = SlotOf("effect/sinegenerator", 10);
inline constexpr TextSlot kFxSineOctaveDown = SlotOf("effect/sinegenerator", 11);
inline constexpr TextSlot kFxSineOctaveUp = SlotOf("effect/sinegenerator", 12);
inline constexpr TextSlot kFxSineHighest = SlotOf("effect/sinegenerator", 13);
inline constexpr TextSlot kFxSineMixNote = SlotOf("effect/sinegenerator", 14);
inline constexpr TextSlot kFxSineInputHint = SlotOf("effect/sinegenerator", 15);

// "effect/sinegenerator/popup": Sine generator messages: frequency out of
// range (%d: the highest frequency), a text that is not a note (%s), reference
// pitch out of range.
inline constexpr TextSlot kFxSinePopupFrequency = SlotOf("effect/sinegenerator/popup", 0);
inline constexpr TextSlot kFxSinePopupNote = SlotOf("effect/sinegenerator/popup", 1);
inline constexpr TextSlot kFxSinePopupReference = SlotOf("effect/sinegenerator/popup", 2);

// "effect/timereverse": Time reverse (no dialog): its name and help line.
inline constexpr TextSlot kFxTimeReverseName = SlotOf("effect/timereverse", 0);
inline constexpr TextSlot kFxTimeReverseHelp = SlotOf("effect/timereverse", 1);

// "effect/voicepitch": The voice pitch dialog: name and help, the fields in
// the order of its settings, the semitone label (%+d: semitones) and a note.
inline constexpr TextSlot kFxVoicePitchTitle = SlotOf("effect/voicepitch", 0);
inline constexpr TextSlot kFxVoicePitchHelp = SlotOf("effect/voicepitch", 1);
inline constexpr TextSlot kFxVoicePitchSemitones = SlotOf("effect/voicepitch", 2);
inline constexpr TextSlot kFxVoicePitchCents = SlotOf("effect/voicepitch", 3);
inline constexpr TextSlot kFxVoicePitchFormant = SlotOf("effect/voicepitch", 4);
inline constexpr TextSlot kFxVoicePitchKeepLength = SlotOf("effect/voicepitch", 5);
inline constexpr TextSlot kFxVoicePitchSemitoneLabel = SlotOf("effect/voicepitch", 6);
inline constexpr TextSlot kFxVoicePitchFormantNote = SlotOf("effect/voicepitch", 7);

// "effect/volume": The volume dialog: name and help, the gain field, the gain
// readout (%+.2f dB) and the linear factor (%.3f).
inline constexpr TextSlot kFxVolumeTitle = SlotOf("effect/volume", 0);
inline constexpr TextSlot kFxVolumeHelp = SlotOf("effect/volume", 1);
inline constexpr TextSlot kFxVolumeGain = SlotOf("effect/volume", 2);
inline constexpr TextSlot kFxVolumeGainFormat = SlotOf("effect/volume", 3);
inline constexpr TextSlot kFxVolumeFactor = SlotOf("effect/volume", 4);

// "effectchain": The effect chain dialog (its title is also the chain's
// progress caption).
inline constexpr TextSlot kChainTitle = SlotOf("effectchain", 0);
inline constexpr TextSlot kChainName = SlotOf("effectchain", 1);
inline constexpr TextSlot kChainMembers = SlotOf("effectchain", 2);
inline constexpr TextSlot kChainAddEffect = SlotOf("effectchain", 3);
inline constexpr TextSlot kChainSettings = SlotOf("effectchain", 4);
inline constexpr TextSlot kChainRemove = SlotOf("effectchain", 5);
inline constexpr TextSlot kChainMoveUp = SlotOf("effectchain", 6);
inline constexpr TextSlot kChainMoveDown = SlotOf("effectchain", 7);
inline constexpr TextSlot kChainKeepMono = SlotOf("effectchain", 8);

// "effectchain/popup": Effect chain messages: effects left out on loading,
// confirm delete and replace (%s: the chain's name).
inline constexpr TextSlot kChainPopupMissing = SlotOf("effectchain/popup", 0);
inline constexpr TextSlot kChainPopupConfirmDelete = SlotOf("effectchain/popup", 1);
inline constexpr TextSlot kChainPopupConfirmReplace = SlotOf("effectchain/popup", 2);

// "plugin/popup": Plug-in messages (%s: the plug-in's name).
inline constexpr TextSlot kPluginPopupLoadFailed = SlotOf("plugin/popup", 0);
inline constexpr TextSlot kPluginPopupChannels = SlotOf("plugin/popup", 1);

// "presetbox": The preset box of the effect dialogs: label and buttons.
inline constexpr TextSlot kPresetLabel = SlotOf("presetbox", 0);
inline constexpr TextSlot kPresetSave = SlotOf("presetbox", 1);
inline constexpr TextSlot kPresetDelete = SlotOf("presetbox", 2);

// "presetbox/popup": Preset questions (%s: the preset's name).
inline constexpr TextSlot kPresetPopupConfirmReplace = SlotOf("presetbox/popup", 0);
inline constexpr TextSlot kPresetPopupConfirmDelete = SlotOf("presetbox/popup", 1);

// "vst/menu": The menu of a VST plug-in's editor window.
inline constexpr TextSlot kVstMenuFactoryPresets = SlotOf("vst/menu", 0);
inline constexpr TextSlot kVstMenuResetParameters = SlotOf("vst/menu", 1);

// "vst/menu/factorypreset": The factory preset submenu: shown when there are
// none, and one item (%d: its number, %s: its name).
inline constexpr TextSlot kVstFactoryPresetNone = SlotOf("vst/menu/factorypreset", 0);
inline constexpr TextSlot kVstFactoryPresetItem = SlotOf("vst/menu/factorypreset", 1);

}  // namespace tidemark::text
