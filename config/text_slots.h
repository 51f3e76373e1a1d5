// Names for every UI text slot, each given by its section path and its
// position in that section, so no code uses a bare slot number. The slots of
// the program's core, errors and console are named here; the other areas
// have a header each.
#pragma once

#include "config/text_slot.h"
#include "config/text_slots_cd_dialogs.h"
#include "config/text_slots_effects.h"
#include "config/text_slots_menus.h"
#include "config/text_slots_settings.h"
#include "config/text_slots_keys.h"

namespace tidemark {

// Sections whose texts are picked at run time, by error number.
namespace text_section {
inline constexpr const TextSection& kError = SectionNamed("error");
inline constexpr const TextSection& kErrorWaveIn = SectionNamed("error/wavein");
inline constexpr const TextSection& kErrorWaveOut = SectionNamed("error/waveout");
inline constexpr const TextSection& kErrorScript = SectionNamed("error/script");
inline constexpr const TextSection& kErrorEffectChain = SectionNamed("error/effectchain");
inline constexpr const TextSection& kErrorSilent = SectionNamed("error/silent");
inline constexpr const TextSection& kErrorCd = SectionNamed("error/cd");
}  // namespace text_section

namespace text {

// "cuepoint/copy": Copying markers from another document.
inline constexpr TextSlot kCueCopyTitle = SlotOf("cuepoint/copy", 0);
inline constexpr TextSlot kCueCopyFrom = SlotOf("cuepoint/copy", 1);
inline constexpr TextSlot kCueCopyScaleRate = SlotOf("cuepoint/copy", 2);
inline constexpr TextSlot kCueCopyAtSelection = SlotOf("cuepoint/copy", 3);
inline constexpr TextSlot kCueCopyKeepExisting = SlotOf("cuepoint/copy", 4);
inline constexpr TextSlot kCueCopyNoMarkers = SlotOf("cuepoint/copy", 5);
inline constexpr TextSlot kCueCopyOk = SlotOf("cuepoint/copy", 6);
inline constexpr TextSlot kCueCopyCancel = SlotOf("cuepoint/copy", 7);

// "cuepoint/new": New marker dialog.
inline constexpr TextSlot kCueNewTitle = SlotOf("cuepoint/new", 0);
inline constexpr TextSlot kCueNewName = SlotOf("cuepoint/new", 1);
inline constexpr TextSlot kCueNewComment = SlotOf("cuepoint/new", 2);

// "cuepoint/popup": Marker questions.
inline constexpr TextSlot kCuePopupConfirmDelete = SlotOf("cuepoint/popup", 0);

// "cuepoint/select": Marker selection dialog.
inline constexpr TextSlot kCueSelectTitle = SlotOf("cuepoint/select", 0);
inline constexpr TextSlot kCueSelectAll = SlotOf("cuepoint/select", 1);
inline constexpr TextSlot kCueSelectNone = SlotOf("cuepoint/select", 2);
inline constexpr TextSlot kCueSelectInside = SlotOf("cuepoint/select", 3);
inline constexpr TextSlot kCueSelectOutside = SlotOf("cuepoint/select", 4);

// "cuepoint/tooltip": Marker tooltips.
inline constexpr TextSlot kCueTooltipName = SlotOf("cuepoint/tooltip", 0);
inline constexpr TextSlot kCueTooltipPosition = SlotOf("cuepoint/tooltip", 1);

// "error": General error messages. Text 0 is the message of the quiet
// outcomes (0xFFxxxxxx) that have no text of their own; text 77 is shared by
// codes 77 to 79 and heads the generic message of codes without a text. The
// other texts are picked by number (config/error_messages.cpp).
inline constexpr TextSlot kErrorQuiet = SlotOf("error", 0);
inline constexpr TextSlot kErrorGeneric = SlotOf("error", 77);

// "error/silent": The quiet outcomes 0xFFFFFFFF, 0xFFFFFFFE and 0xFFFFFFFD.
inline constexpr TextSlot kSilentCancelled = SlotOf("error/silent", 0);
inline constexpr TextSlot kSilentNoSelection = SlotOf("error/silent", 1);
inline constexpr TextSlot kSilentNothingDone = SlotOf("error/silent", 2);

// "error/audioclient": Messages of the shared-mode and exclusive-mode audio interface.
inline constexpr TextSlot kAudioClientActivate = SlotOf("error/audioclient", 0);
inline constexpr TextSlot kAudioClientFormat = SlotOf("error/audioclient", 1);
inline constexpr TextSlot kAudioClientInUse = SlotOf("error/audioclient", 2);
inline constexpr TextSlot kAudioClientRemoved = SlotOf("error/audioclient", 3);
inline constexpr TextSlot kAudioClientService = SlotOf("error/audioclient", 4);
inline constexpr TextSlot kAudioClientBuffer = SlotOf("error/audioclient", 5);

// "error/directsound": Messages of the buffered audio interface.
inline constexpr TextSlot kDirectSoundDevice = SlotOf("error/directsound", 0);
inline constexpr TextSlot kDirectSoundBuffer = SlotOf("error/directsound", 1);
inline constexpr TextSlot kDirectSoundBufferLost = SlotOf("error/directsound", 2);
inline constexpr TextSlot kDirectSoundFormat = SlotOf("error/directsound", 3);

// "messagebox": Buttons of the message box.
inline constexpr TextSlot kButtonOk = SlotOf("messagebox", 0);
inline constexpr TextSlot kButtonCancel = SlotOf("messagebox", 1);
inline constexpr TextSlot kButtonAbort = SlotOf("messagebox", 2);
inline constexpr TextSlot kButtonRetry = SlotOf("messagebox", 3);
inline constexpr TextSlot kButtonIgnore = SlotOf("messagebox", 4);
inline constexpr TextSlot kButtonYes = SlotOf("messagebox", 5);
inline constexpr TextSlot kButtonNo = SlotOf("messagebox", 6);
inline constexpr TextSlot kButtonClose = SlotOf("messagebox", 7);
inline constexpr TextSlot kButtonTryAgain = SlotOf("messagebox", 8);
inline constexpr TextSlot kButtonContinue = SlotOf("messagebox", 9);

// "product": The product.
inline constexpr TextSlot kProductName = SlotOf("product", 0);
inline constexpr TextSlot kProductVersion = SlotOf("product", 1);

// "progress": Progress window.
inline constexpr TextSlot kProgressProcessing = SlotOf("progress", 0);
inline constexpr TextSlot kProgressSaving = SlotOf("progress", 1);
inline constexpr TextSlot kProgressOpening = SlotOf("progress", 2);
inline constexpr TextSlot kProgressReading = SlotOf("progress", 3);
inline constexpr TextSlot kProgressWriting = SlotOf("progress", 4);
inline constexpr TextSlot kProgressConverting = SlotOf("progress", 5);
inline constexpr TextSlot kProgressAnalysing = SlotOf("progress", 6);
inline constexpr TextSlot kProgressCopying = SlotOf("progress", 7);
inline constexpr TextSlot kProgressRestoringWorkspace = SlotOf("progress", 8);
inline constexpr TextSlot kProgressSavingWorkspace = SlotOf("progress", 9);
inline constexpr TextSlot kProgressCancel = SlotOf("progress", 10);
inline constexpr TextSlot kProgressPercent = SlotOf("progress", 11);

// "script/popup": Script dialog messages.
inline constexpr TextSlot kScriptPopupNoPath = SlotOf("script/popup", 0);

// "script/console": the console's `script` command.
inline constexpr TextSlot kScriptConsoleCommandDesc = SlotOf("script/console", 0);

// "script/result": Script console reports: the exit-code label, then the labels of an error report in the order file, position, description, error code, source, second source label.
inline constexpr TextSlot kScriptExitCodeLabel = SlotOf("script/result", 0);
inline constexpr TextSlot kScriptFileLabel = SlotOf("script/result", 1);
inline constexpr TextSlot kScriptPositionLabel = SlotOf("script/result", 2);
inline constexpr TextSlot kScriptDescriptionLabel = SlotOf("script/result", 3);
inline constexpr TextSlot kScriptErrorCodeLabel = SlotOf("script/result", 4);
inline constexpr TextSlot kScriptSourceLabel = SlotOf("script/result", 5);
inline constexpr TextSlot kScriptSourceTextLabel = SlotOf("script/result", 6);
inline constexpr TextSlot kScriptEnded = SlotOf("script/result", 7);

// "status": Status line.
inline constexpr TextSlot kStatusReady = SlotOf("status", 0);
inline constexpr TextSlot kStatusNoFurtherMarker = SlotOf("status", 1);
inline constexpr TextSlot kStatusTimeTaken = SlotOf("status", 2);
inline constexpr TextSlot kStatusPlaying = SlotOf("status", 3);
inline constexpr TextSlot kStatusRecording = SlotOf("status", 4);
inline constexpr TextSlot kStatusStopped = SlotOf("status", 5);

// "text": The console editor's messages, notices and words (texts 0 to 35;
// where a text has "%s", the console puts in the one value its name says:
// the command, usage line, number, path, extension, format word, tag key or
// rate), then general words (36 to 47).
inline constexpr TextSlot kConsoleUnknownCommand = SlotOf("text", 0);
inline constexpr TextSlot kConsoleUnclosedQuote = SlotOf("text", 1);
inline constexpr TextSlot kConsoleBadArguments = SlotOf("text", 2);
inline constexpr TextSlot kConsoleBadNumber = SlotOf("text", 3);
inline constexpr TextSlot kConsoleBadFormatWord = SlotOf("text", 4);
inline constexpr TextSlot kConsoleNoDocument = SlotOf("text", 5);
inline constexpr TextSlot kConsoleNoSuchDocument = SlotOf("text", 6);
inline constexpr TextSlot kConsoleDocumentModified = SlotOf("text", 7);
inline constexpr TextSlot kConsoleNoPathUseSaveAs = SlotOf("text", 8);
inline constexpr TextSlot kConsoleOneBitSaveRefused = SlotOf("text", 9);
inline constexpr TextSlot kConsoleCodecSaveRefused = SlotOf("text", 10);
inline constexpr TextSlot kConsoleKindCannotStore = SlotOf("text", 11);
inline constexpr TextSlot kConsoleNoSuchMarker = SlotOf("text", 12);
inline constexpr TextSlot kConsoleUnknownTag = SlotOf("text", 13);
inline constexpr TextSlot kConsoleClipRateDiffers = SlotOf("text", 14);
inline constexpr TextSlot kConsoleCannotOpenFile = SlotOf("text", 15);
inline constexpr TextSlot kConsoleFolderSkipped = SlotOf("text", 16);
inline constexpr TextSlot kConsoleCancelled = SlotOf("text", 17);
inline constexpr TextSlot kConsoleNothingSelected = SlotOf("text", 18);
inline constexpr TextSlot kConsoleNothingToPaste = SlotOf("text", 19);
inline constexpr TextSlot kConsoleNothingToUndo = SlotOf("text", 20);
inline constexpr TextSlot kConsoleNothingToRedo = SlotOf("text", 21);
inline constexpr TextSlot kConsoleNoMarkers = SlotOf("text", 22);
inline constexpr TextSlot kConsoleNoTags = SlotOf("text", 23);
inline constexpr TextSlot kConsoleNoDocuments = SlotOf("text", 24);
inline constexpr TextSlot kConsoleHistoryEmpty = SlotOf("text", 25);
inline constexpr TextSlot kConsoleAlreadyOpen = SlotOf("text", 26);
inline constexpr TextSlot kConsoleNothingToSave = SlotOf("text", 27);
inline constexpr TextSlot kConsoleQuitWarning = SlotOf("text", 28);
inline constexpr TextSlot kConsoleUntitled = SlotOf("text", 29);
inline constexpr TextSlot kConsoleSavedWord = SlotOf("text", 30);
inline constexpr TextSlot kConsoleModifiedWord = SlotOf("text", 31);
inline constexpr TextSlot kConsoleNoneWord = SlotOf("text", 32);
inline constexpr TextSlot kConsoleHelpHeader = SlotOf("text", 33);
inline constexpr TextSlot kConsoleAlreadyRunning = SlotOf("text", 34);
inline constexpr TextSlot kConsoleUndoneMark = SlotOf("text", 35);
inline constexpr TextSlot kTextMono = SlotOf("text", 36);
inline constexpr TextSlot kTextStereo = SlotOf("text", 37);
inline constexpr TextSlot kTextLeft = SlotOf("text", 38);
inline constexpr TextSlot kTextRight = SlotOf("text", 39);
inline constexpr TextSlot kTextBothChannels = SlotOf("text", 40);
inline constexpr TextSlot kTextHz = SlotOf("text", 41);
inline constexpr TextSlot kTextSamples = SlotOf("text", 42);
inline constexpr TextSlot kTextSeconds = SlotOf("text", 43);
inline constexpr TextSlot kTextOn = SlotOf("text", 44);
inline constexpr TextSlot kTextOff = SlotOf("text", 45);
inline constexpr TextSlot kTextYes = SlotOf("text", 46);
inline constexpr TextSlot kTextNo = SlotOf("text", 47);

// "console/playback": the console's record command (its help, and two
// refusals: "%s" is the target path in the first) and the speed command.
inline constexpr TextSlot kConsoleRecordHelp = SlotOf("console/playback", 0);
inline constexpr TextSlot kConsoleRecordTargetExists = SlotOf("console/playback", 1);
inline constexpr TextSlot kConsoleRecordingRuns = SlotOf("console/playback", 2);
inline constexpr TextSlot kConsoleSpeedHelp = SlotOf("console/playback", 3);

// "undo": Names of undo steps. Texts 0 to 2 name marker and envelope changes by their name letter: 'a' adding, 'd' deleting, 'r' changing.
inline constexpr TextSlot kUndoAdd = SlotOf("undo", 0);
inline constexpr TextSlot kUndoRemove = SlotOf("undo", 1);
inline constexpr TextSlot kUndoChange = SlotOf("undo", 2);
inline constexpr TextSlot kUndoCut = SlotOf("undo", 3);
inline constexpr TextSlot kUndoDelete = SlotOf("undo", 4);
inline constexpr TextSlot kUndoSilence = SlotOf("undo", 5);
inline constexpr TextSlot kUndoInsertSilence = SlotOf("undo", 6);
inline constexpr TextSlot kUndoPaste = SlotOf("undo", 7);
inline constexpr TextSlot kUndoPasteOverSelection = SlotOf("undo", 8);
inline constexpr TextSlot kUndoPasteOverwrite = SlotOf("undo", 9);
inline constexpr TextSlot kUndoMixPaste = SlotOf("undo", 10);
inline constexpr TextSlot kUndoMixPasteSubtract = SlotOf("undo", 11);
inline constexpr TextSlot kUndoGain = SlotOf("undo", 12);
inline constexpr TextSlot kUndoOffset = SlotOf("undo", 13);
inline constexpr TextSlot kUndoReplace = SlotOf("undo", 14);
inline constexpr TextSlot kUndoReplaceChannels = SlotOf("undo", 15);
inline constexpr TextSlot kUndoFormatChange = SlotOf("undo", 16);
inline constexpr TextSlot kUndoEffectChain = SlotOf("undo", 17);
inline constexpr TextSlot kUndoDeleteWithSilence = SlotOf("undo", 18);
}  // namespace text

}  // namespace tidemark
