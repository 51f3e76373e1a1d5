// Names for the UI text slots of the dialog buttons, the CD tools and the
// smaller dialogs and questions.
#pragma once

#include "config/text_slot.h"

namespace tidemark::text {

// "button": Generic dialog buttons.
inline constexpr TextSlot kDlgButtonOk = SlotOf("button", 0);
inline constexpr TextSlot kDlgButtonCancel = SlotOf("button", 1);
inline constexpr TextSlot kDlgButtonApply = SlotOf("button", 2);
inline constexpr TextSlot kDlgButtonClose = SlotOf("button", 3);
inline constexpr TextSlot kDlgButtonBrowse = SlotOf("button", 4);
inline constexpr TextSlot kDlgButtonHelp = SlotOf("button", 5);
inline constexpr TextSlot kDlgButtonDefault = SlotOf("button", 6);
inline constexpr TextSlot kDlgButtonPreview = SlotOf("button", 7);
inline constexpr TextSlot kDlgButtonStop = SlotOf("button", 8);

// "cderase": The dialog that erases a rewritable disc: title, drive, erase
// method and its two choices, the status while erasing, the erase button.
inline constexpr TextSlot kCdEraseTitle = SlotOf("cderase", 0);
inline constexpr TextSlot kCdEraseDrive = SlotOf("cderase", 1);
inline constexpr TextSlot kCdEraseMethod = SlotOf("cderase", 2);
inline constexpr TextSlot kCdEraseQuick = SlotOf("cderase", 3);
inline constexpr TextSlot kCdEraseFull = SlotOf("cderase", 4);
inline constexpr TextSlot kCdEraseErasing = SlotOf("cderase", 5);
inline constexpr TextSlot kCdEraseStart = SlotOf("cderase", 6);

// "cderase/popup": Questions and reports of erasing a disc; text 0: %s the
// drive name.
inline constexpr TextSlot kCdErasePopupConfirm = SlotOf("cderase/popup", 0);
inline constexpr TextSlot kCdErasePopupDone = SlotOf("cderase/popup", 1);

// "cdread": The dialog that reads audio tracks from a disc: title, drive and
// reading options, the columns of the track list, the join option, the disc
// summary (%u tracks, %s total length), the progress (%u the track, %u the
// number of tracks) and the read button.
inline constexpr TextSlot kCdReadTitle = SlotOf("cdread", 0);
inline constexpr TextSlot kCdReadDrive = SlotOf("cdread", 1);
inline constexpr TextSlot kCdReadSpeed = SlotOf("cdread", 2);
inline constexpr TextSlot kCdReadSpeedMax = SlotOf("cdread", 3);
inline constexpr TextSlot kCdReadSampleRate = SlotOf("cdread", 4);
inline constexpr TextSlot kCdReadChannels = SlotOf("cdread", 5);
inline constexpr TextSlot kCdReadErrorCorrection = SlotOf("cdread", 6);
inline constexpr TextSlot kCdReadCdTextLanguage = SlotOf("cdread", 7);
inline constexpr TextSlot kCdReadColumnTrack = SlotOf("cdread", 8);
inline constexpr TextSlot kCdReadColumnTitle = SlotOf("cdread", 9);
inline constexpr TextSlot kCdReadColumnLength = SlotOf("cdread", 10);
inline constexpr TextSlot kCdReadJoinTracks = SlotOf("cdread", 11);
inline constexpr TextSlot kCdReadDiscSummary = SlotOf("cdread", 12);
inline constexpr TextSlot kCdReadProgress = SlotOf("cdread", 13);
inline constexpr TextSlot kCdReadStart = SlotOf("cdread", 14);

// "cdread/popup": Messages of the read dialog.
inline constexpr TextSlot kCdReadPopupNoTrackSelected = SlotOf("cdread/popup", 0);

// "cdread/tooltip": Tooltips of the read dialog's buttons.
inline constexpr TextSlot kCdReadTipNextDrive = SlotOf("cdread/tooltip", 0);
inline constexpr TextSlot kCdReadTipReload = SlotOf("cdread/tooltip", 1);
inline constexpr TextSlot kCdReadTipEject = SlotOf("cdread/tooltip", 2);
inline constexpr TextSlot kCdReadTipSelectAll = SlotOf("cdread/tooltip", 3);
inline constexpr TextSlot kCdReadTipSelectNone = SlotOf("cdread/tooltip", 4);
inline constexpr TextSlot kCdReadTipPlay = SlotOf("cdread/tooltip", 5);
inline constexpr TextSlot kCdReadTipStop = SlotOf("cdread/tooltip", 6);
inline constexpr TextSlot kCdReadTipRead = SlotOf("cdread/tooltip", 7);

// "cdwrite": The dialog that writes an audio disc: title, drive and write
// options, disc-wide CD-Text, the columns of the track list, the total (%u
// tracks, %s length) and the write button.
inline constexpr TextSlot kCdWriteTitle = SlotOf("cdwrite", 0);
inline constexpr TextSlot kCdWriteDrive = SlotOf("cdwrite", 1);
inline constexpr TextSlot kCdWriteSpeed = SlotOf("cdwrite", 2);
inline constexpr TextSlot kCdWriteSpeedMax = SlotOf("cdwrite", 3);
inline constexpr TextSlot kCdWriteMode = SlotOf("cdwrite", 4);
inline constexpr TextSlot kCdWriteModeDao = SlotOf("cdwrite", 5);
inline constexpr TextSlot kCdWriteModeTao = SlotOf("cdwrite", 6);
inline constexpr TextSlot kCdWriteTestWrite = SlotOf("cdwrite", 7);
inline constexpr TextSlot kCdWriteCdText = SlotOf("cdwrite", 8);
inline constexpr TextSlot kCdWriteAlbumTitle = SlotOf("cdwrite", 9);
inline constexpr TextSlot kCdWriteAlbumArtist = SlotOf("cdwrite", 10);
inline constexpr TextSlot kCdWriteMcn = SlotOf("cdwrite", 11);
inline constexpr TextSlot kCdWritePauseBetweenTracks = SlotOf("cdwrite", 12);
inline constexpr TextSlot kCdWriteMatchLevels = SlotOf("cdwrite", 13);
inline constexpr TextSlot kCdWriteColumnTitle = SlotOf("cdwrite", 14);
inline constexpr TextSlot kCdWriteColumnLength = SlotOf("cdwrite", 15);
inline constexpr TextSlot kCdWriteColumnIsrc = SlotOf("cdwrite", 16);
inline constexpr TextSlot kCdWriteTotal = SlotOf("cdwrite", 17);
inline constexpr TextSlot kCdWriteStart = SlotOf("cdwrite", 18);

// "cdwrite/menu": Pop-up menu of the track list; the last item opens the
// track list submenu.
inline constexpr TextSlot kCdWriteMenuAddDocument = SlotOf("cdwrite/menu", 0);
inline constexpr TextSlot kCdWriteMenuAddSelection = SlotOf("cdwrite/menu", 1);
inline constexpr TextSlot kCdWriteMenuDuplicateTrack = SlotOf("cdwrite/menu", 2);
inline constexpr TextSlot kCdWriteMenuRemoveTrack = SlotOf("cdwrite/menu", 3);
inline constexpr TextSlot kCdWriteMenuTrackList = SlotOf("cdwrite/menu", 4);

// "cdwrite/menu/tracklist": The track list submenu.
inline constexpr TextSlot kCdWriteListMenuMoveUp = SlotOf("cdwrite/menu/tracklist", 0);
inline constexpr TextSlot kCdWriteListMenuMoveDown = SlotOf("cdwrite/menu/tracklist", 1);
inline constexpr TextSlot kCdWriteListMenuRemoveAll = SlotOf("cdwrite/menu/tracklist", 2);

// "cdwrite/tooltip": Tooltips of the write dialog's buttons.
inline constexpr TextSlot kCdWriteTipNextDrive = SlotOf("cdwrite/tooltip", 0);
inline constexpr TextSlot kCdWriteTipEject = SlotOf("cdwrite/tooltip", 1);
inline constexpr TextSlot kCdWriteTipErase = SlotOf("cdwrite/tooltip", 2);

// "cdwrite/track": Flags of the selected track in the write dialog.
inline constexpr TextSlot kCdWriteTrackPreEmphasis = SlotOf("cdwrite/track", 0);
inline constexpr TextSlot kCdWriteTrackCopyPermitted = SlotOf("cdwrite/track", 1);

// "cdwrite/tracklist/popup": Messages about the track list; text 4: %u the
// track number.
inline constexpr TextSlot kCdTrackListPopupEmpty = SlotOf("cdwrite/tracklist/popup", 0);
inline constexpr TextSlot kCdTrackListPopupConfirmRemoveAll = SlotOf("cdwrite/tracklist/popup", 1);
inline constexpr TextSlot kCdTrackListPopupBadIsrc = SlotOf("cdwrite/tracklist/popup", 2);
inline constexpr TextSlot kCdTrackListPopupBadMcn = SlotOf("cdwrite/tracklist/popup", 3);
inline constexpr TextSlot kCdTrackListPopupDocumentClosed = SlotOf("cdwrite/tracklist/popup", 4);
inline constexpr TextSlot kCdTrackListPopupTooManyTracks = SlotOf("cdwrite/tracklist/popup", 5);

// "cdwrite/wait": The window shown while the writer prepares: title, then
// its status lines (text 2: %s the drive name; text 3: %u the track, %u the
// number of tracks).
inline constexpr TextSlot kCdWriteWaitTitle = SlotOf("cdwrite/wait", 0);
inline constexpr TextSlot kCdWriteWaitDriveNotReady = SlotOf("cdwrite/wait", 1);
inline constexpr TextSlot kCdWriteWaitInsertBlankDisc = SlotOf("cdwrite/wait", 2);
inline constexpr TextSlot kCdWriteWaitPreparingTrack = SlotOf("cdwrite/wait", 3);

// "cdwritecheck/popup": The checks before writing (text 1: %s the tracks'
// length, %s the room on the disc; text 2: %u the track; text 7: %u the
// number of tracks, %s their length, %s the drive name).
inline constexpr TextSlot kCdWriteCheckDiscNotBlank = SlotOf("cdwritecheck/popup", 0);
inline constexpr TextSlot kCdWriteCheckTooLong = SlotOf("cdwritecheck/popup", 1);
inline constexpr TextSlot kCdWriteCheckTrackTooShort = SlotOf("cdwritecheck/popup", 2);
inline constexpr TextSlot kCdWriteCheckNoDao = SlotOf("cdwritecheck/popup", 3);
inline constexpr TextSlot kCdWriteCheckNoCdText = SlotOf("cdwritecheck/popup", 4);
inline constexpr TextSlot kCdWriteCheckNoTestWrite = SlotOf("cdwritecheck/popup", 5);
inline constexpr TextSlot kCdWriteCheckWillConvert = SlotOf("cdwritecheck/popup", 6);
inline constexpr TextSlot kCdWriteCheckConfirmWrite = SlotOf("cdwritecheck/popup", 7);

// "cdwriteexec": The progress window of writing a disc: the two titles, the
// labels, the value formats (%.1f the speed factor; %u the track and %u the
// number of tracks), the status lines (text 17: %u the track, %u the number
// of tracks), the results, the options after writing and the time taken
// (%s).
inline constexpr TextSlot kCdWriteExecTitle = SlotOf("cdwriteexec", 0);
inline constexpr TextSlot kCdWriteExecTitleTest = SlotOf("cdwriteexec", 1);
inline constexpr TextSlot kCdWriteExecDrive = SlotOf("cdwriteexec", 2);
inline constexpr TextSlot kCdWriteExecMode = SlotOf("cdwriteexec", 3);
inline constexpr TextSlot kCdWriteExecSpeed = SlotOf("cdwriteexec", 4);
inline constexpr TextSlot kCdWriteExecTrack = SlotOf("cdwriteexec", 5);
inline constexpr TextSlot kCdWriteExecElapsed = SlotOf("cdwriteexec", 6);
inline constexpr TextSlot kCdWriteExecRemaining = SlotOf("cdwriteexec", 7);
inline constexpr TextSlot kCdWriteExecDriveBuffer = SlotOf("cdwriteexec", 8);
inline constexpr TextSlot kCdWriteExecDataBuffer = SlotOf("cdwriteexec", 9);
inline constexpr TextSlot kCdWriteExecTotal = SlotOf("cdwriteexec", 10);
inline constexpr TextSlot kCdWriteExecSpeedValue = SlotOf("cdwriteexec", 11);
inline constexpr TextSlot kCdWriteExecTrackValue = SlotOf("cdwriteexec", 12);
inline constexpr TextSlot kCdWriteExecPreparing = SlotOf("cdwriteexec", 13);
inline constexpr TextSlot kCdWriteExecWaitingForDrive = SlotOf("cdwriteexec", 14);
inline constexpr TextSlot kCdWriteExecCalibrating = SlotOf("cdwriteexec", 15);
inline constexpr TextSlot kCdWriteExecLeadIn = SlotOf("cdwriteexec", 16);
inline constexpr TextSlot kCdWriteExecWritingTrack = SlotOf("cdwriteexec", 17);
inline constexpr TextSlot kCdWriteExecLeadOut = SlotOf("cdwriteexec", 18);
inline constexpr TextSlot kCdWriteExecClosing = SlotOf("cdwriteexec", 19);
inline constexpr TextSlot kCdWriteExecTestNotice = SlotOf("cdwriteexec", 20);
inline constexpr TextSlot kCdWriteExecTestDone = SlotOf("cdwriteexec", 21);
inline constexpr TextSlot kCdWriteExecDone = SlotOf("cdwriteexec", 22);
inline constexpr TextSlot kCdWriteExecFailed = SlotOf("cdwriteexec", 23);
inline constexpr TextSlot kCdWriteExecStopped = SlotOf("cdwriteexec", 24);
inline constexpr TextSlot kCdWriteExecStopping = SlotOf("cdwriteexec", 25);
inline constexpr TextSlot kCdWriteExecEjectWhenDone = SlotOf("cdwriteexec", 26);
inline constexpr TextSlot kCdWriteExecWriteAnother = SlotOf("cdwriteexec", 27);
inline constexpr TextSlot kCdWriteExecTimeTaken = SlotOf("cdwriteexec", 28);

// "cdwriteexec/popup": Questions while a disc is being written.
inline constexpr TextSlot kCdWriteExecPopupConfirmStop = SlotOf("cdwriteexec/popup", 0);

// "checkinput/popup": Input check of a numeric field; %s the smallest and %s
// the largest value.
inline constexpr TextSlot kCheckInputOutOfRange = SlotOf("checkinput/popup", 0);

// "checkpcm/popup": Checks of a sound's format before an operation; text 0:
// %s the format.
inline constexpr TextSlot kCheckPcmFormatUnusable = SlotOf("checkpcm/popup", 0);
inline constexpr TextSlot kCheckPcmFormatsDiffer = SlotOf("checkpcm/popup", 1);

// "chopandarrange": The dialog that cuts a sound into pieces, each in a
// window of its own; text 6 names a piece: %s the document name, %u the
// piece number.
inline constexpr TextSlot kChopTitle = SlotOf("chopandarrange", 0);
inline constexpr TextSlot kChopCutLabel = SlotOf("chopandarrange", 1);
inline constexpr TextSlot kChopAtMarkers = SlotOf("chopandarrange", 2);
inline constexpr TextSlot kChopEqualPieces = SlotOf("chopandarrange", 3);
inline constexpr TextSlot kChopPieceLength = SlotOf("chopandarrange", 4);
inline constexpr TextSlot kChopNameFromMarkers = SlotOf("chopandarrange", 5);
inline constexpr TextSlot kChopPieceName = SlotOf("chopandarrange", 6);
inline constexpr TextSlot kChopArrangeWindows = SlotOf("chopandarrange", 7);

// "closepcm/popup": Questions when a document is closed; texts 0 to 3: %s
// the document name; text 4: %u the number of changed documents.
inline constexpr TextSlot kCloseSaveChanges = SlotOf("closepcm/popup", 0);
inline constexpr TextSlot kCloseNeverSaved = SlotOf("closepcm/popup", 1);
inline constexpr TextSlot kCloseStopPlayback = SlotOf("closepcm/popup", 2);
inline constexpr TextSlot kCloseUsedByCdTracks = SlotOf("closepcm/popup", 3);
inline constexpr TextSlot kCloseCloseAllUnsaved = SlotOf("closepcm/popup", 4);

// "createdirectory/popup": Question before a missing folder is created; %s
// the folder.
inline constexpr TextSlot kCreateDirConfirm = SlotOf("createdirectory/popup", 0);

// "exit/popup": Questions when the program quits.
inline constexpr TextSlot kExitKeepWorkspace = SlotOf("exit/popup", 0);
inline constexpr TextSlot kExitWorkspaceInaccessible = SlotOf("exit/popup", 1);
inline constexpr TextSlot kExitWorkInProgress = SlotOf("exit/popup", 2);

// "filerequest": Extra controls of the file dialogs: the selected file's
// format and length, the play button, and the format description (%u rate,
// %u bits, %s channel word).
inline constexpr TextSlot kFileRequestFormat = SlotOf("filerequest", 0);
inline constexpr TextSlot kFileRequestLength = SlotOf("filerequest", 1);
inline constexpr TextSlot kFileRequestPlay = SlotOf("filerequest", 2);
inline constexpr TextSlot kFileRequestFormatValue = SlotOf("filerequest", 3);

// "filerequest/popup": Questions of the file dialogs; %s the file name.
inline constexpr TextSlot kFileRequestPopupConfirmReplace = SlotOf("filerequest/popup", 0);

// "formatchange": The dialog that changes a document's format: title, the
// rate and how it is changed, the channels and how stereo becomes mono, the
// sample format, and the present format (%s).
inline constexpr TextSlot kFormatChangeTitle = SlotOf("formatchange", 0);
inline constexpr TextSlot kFormatChangeSampleRate = SlotOf("formatchange", 1);
inline constexpr TextSlot kFormatChangeResample = SlotOf("formatchange", 2);
inline constexpr TextSlot kFormatChangeRelabelRate = SlotOf("formatchange", 3);
inline constexpr TextSlot kFormatChangeChannels = SlotOf("formatchange", 4);
inline constexpr TextSlot kFormatChangeMono = SlotOf("formatchange", 5);
inline constexpr TextSlot kFormatChangeStereo = SlotOf("formatchange", 6);
inline constexpr TextSlot kFormatChangeStereoToMono = SlotOf("formatchange", 7);
inline constexpr TextSlot kFormatChangeMixChannels = SlotOf("formatchange", 8);
inline constexpr TextSlot kFormatChangeKeepLeft = SlotOf("formatchange", 9);
inline constexpr TextSlot kFormatChangeKeepRight = SlotOf("formatchange", 10);
inline constexpr TextSlot kFormatChangeSampleFormat = SlotOf("formatchange", 11);
inline constexpr TextSlot kFormatChangePresent = SlotOf("formatchange", 12);

// "gapsearch": The silence search dialog: title, the search parameters in
// the order threshold, window, shortest gap, shortest sound, burst
// allowance, the channels and the weighting (%c the curve letter), what to
// do with each gap, the scope and the search button.
inline constexpr TextSlot kGapSearchTitle = SlotOf("gapsearch", 0);
inline constexpr TextSlot kGapSearchThreshold = SlotOf("gapsearch", 1);
inline constexpr TextSlot kGapSearchUnitDb = SlotOf("gapsearch", 2);
inline constexpr TextSlot kGapSearchWindow = SlotOf("gapsearch", 3);
inline constexpr TextSlot kGapSearchUnitMs = SlotOf("gapsearch", 4);
inline constexpr TextSlot kGapSearchMinGap = SlotOf("gapsearch", 5);
inline constexpr TextSlot kGapSearchMinSound = SlotOf("gapsearch", 6);
inline constexpr TextSlot kGapSearchIgnoreBursts = SlotOf("gapsearch", 7);
inline constexpr TextSlot kGapSearchChannels = SlotOf("gapsearch", 8);
inline constexpr TextSlot kGapSearchBoth = SlotOf("gapsearch", 9);
inline constexpr TextSlot kGapSearchLeft = SlotOf("gapsearch", 10);
inline constexpr TextSlot kGapSearchRight = SlotOf("gapsearch", 11);
inline constexpr TextSlot kGapSearchWeighting = SlotOf("gapsearch", 12);
inline constexpr TextSlot kGapSearchWeightingNone = SlotOf("gapsearch", 13);
inline constexpr TextSlot kGapSearchWeightingCurve = SlotOf("gapsearch", 14);
inline constexpr TextSlot kGapSearchActionLabel = SlotOf("gapsearch", 15);
inline constexpr TextSlot kGapSearchMarkMiddle = SlotOf("gapsearch", 16);
inline constexpr TextSlot kGapSearchMarkSoundStart = SlotOf("gapsearch", 17);
inline constexpr TextSlot kGapSearchDelete = SlotOf("gapsearch", 18);
inline constexpr TextSlot kGapSearchWholeSound = SlotOf("gapsearch", 19);
inline constexpr TextSlot kGapSearchStart = SlotOf("gapsearch", 20);

// "gapsearch/popup": Messages of the silence search.
inline constexpr TextSlot kGapPopupNoneFound = SlotOf("gapsearch/popup", 0);

// "gapsearch/result": The window that lists the gaps found: title, columns,
// the summary (%u gaps, %s total length) and its buttons.
inline constexpr TextSlot kGapResultTitle = SlotOf("gapsearch/result", 0);
inline constexpr TextSlot kGapResultColumnNumber = SlotOf("gapsearch/result", 1);
inline constexpr TextSlot kGapResultColumnStart = SlotOf("gapsearch/result", 2);
inline constexpr TextSlot kGapResultColumnEnd = SlotOf("gapsearch/result", 3);
inline constexpr TextSlot kGapResultColumnLength = SlotOf("gapsearch/result", 4);
inline constexpr TextSlot kGapResultColumnLevel = SlotOf("gapsearch/result", 5);
inline constexpr TextSlot kGapResultSummary = SlotOf("gapsearch/result", 6);
inline constexpr TextSlot kGapResultSelect = SlotOf("gapsearch/result", 7);
inline constexpr TextSlot kGapResultAddMarkers = SlotOf("gapsearch/result", 8);
inline constexpr TextSlot kGapResultDelete = SlotOf("gapsearch/result", 9);

// "id3lyrics": Synchronised lyrics: title, the option that writes the
// markers as lyrics, and the content types in the order of their numbers 0
// to 4.
inline constexpr TextSlot kId3LyricsTitle = SlotOf("id3lyrics", 0);
inline constexpr TextSlot kId3LyricsWriteMarkers = SlotOf("id3lyrics", 1);
inline constexpr TextSlot kId3LyricsContentType = SlotOf("id3lyrics", 2);
inline constexpr TextSlot kId3LyricsTypeOther = SlotOf("id3lyrics", 3);
inline constexpr TextSlot kId3LyricsTypeLyrics = SlotOf("id3lyrics", 4);
inline constexpr TextSlot kId3LyricsTypeTranscription = SlotOf("id3lyrics", 5);
inline constexpr TextSlot kId3LyricsTypeMovement = SlotOf("id3lyrics", 6);
inline constexpr TextSlot kId3LyricsTypeEvents = SlotOf("id3lyrics", 7);

// "id3text": Labels of the tag fields kept as extra keys: album, track
// number, web address, recording code.
inline constexpr TextSlot kId3TextAlbum = SlotOf("id3text", 0);
inline constexpr TextSlot kId3TextTrack = SlotOf("id3text", 1);
inline constexpr TextSlot kId3TextWebAddress = SlotOf("id3text", 2);
inline constexpr TextSlot kId3TextIsrc = SlotOf("id3text", 3);

// "insertsilence": The insert silence dialog: title, the length asked in
// milliseconds, its unit, and the option that replaces the selection.
inline constexpr TextSlot kInsertSilenceTitle = SlotOf("insertsilence", 0);
inline constexpr TextSlot kInsertSilenceLength = SlotOf("insertsilence", 1);
inline constexpr TextSlot kInsertSilenceUnitMs = SlotOf("insertsilence", 2);
inline constexpr TextSlot kInsertSilenceReplaceSelection = SlotOf("insertsilence", 3);

// "jointnormalize": The dialog that normalizes several documents by one
// common factor: title, the document list, the measure and its choices, the
// target level.
inline constexpr TextSlot kJointNormalizeTitle = SlotOf("jointnormalize", 0);
inline constexpr TextSlot kJointNormalizeDocuments = SlotOf("jointnormalize", 1);
inline constexpr TextSlot kJointNormalizeMeasure = SlotOf("jointnormalize", 2);
inline constexpr TextSlot kJointNormalizePeak = SlotOf("jointnormalize", 3);
inline constexpr TextSlot kJointNormalizeRms = SlotOf("jointnormalize", 4);
inline constexpr TextSlot kJointNormalizeTarget = SlotOf("jointnormalize", 5);

// "mixdown": The mixdown panel: title, the columns of the document list, the
// output format, the options, the buttons, the length (%s), the volume
// format (%+.1f dB), the pan centre word and the progress (%u documents).
inline constexpr TextSlot kMixdownTitle = SlotOf("mixdown", 0);
inline constexpr TextSlot kMixdownColumnDocument = SlotOf("mixdown", 1);
inline constexpr TextSlot kMixdownColumnStart = SlotOf("mixdown", 2);
inline constexpr TextSlot kMixdownColumnVolume = SlotOf("mixdown", 3);
inline constexpr TextSlot kMixdownColumnPan = SlotOf("mixdown", 4);
inline constexpr TextSlot kMixdownColumnMute = SlotOf("mixdown", 5);
inline constexpr TextSlot kMixdownColumnSolo = SlotOf("mixdown", 6);
inline constexpr TextSlot kMixdownOutput = SlotOf("mixdown", 7);
inline constexpr TextSlot kMixdownSampleRate = SlotOf("mixdown", 8);
inline constexpr TextSlot kMixdownChannels = SlotOf("mixdown", 9);
inline constexpr TextSlot kMixdownSampleFormat = SlotOf("mixdown", 10);
inline constexpr TextSlot kMixdownUseEnvelopes = SlotOf("mixdown", 11);
inline constexpr TextSlot kMixdownAvoidClipping = SlotOf("mixdown", 12);
inline constexpr TextSlot kMixdownMixToDocument = SlotOf("mixdown", 13);
inline constexpr TextSlot kMixdownMixToFile = SlotOf("mixdown", 14);
inline constexpr TextSlot kMixdownLength = SlotOf("mixdown", 15);
inline constexpr TextSlot kMixdownVolumeValue = SlotOf("mixdown", 16);
inline constexpr TextSlot kMixdownPanCenter = SlotOf("mixdown", 17);
inline constexpr TextSlot kMixdownMixing = SlotOf("mixdown", 18);

// "mixdown/menu": Pop-up menu of a document row of the mixdown panel.
inline constexpr TextSlot kMixdownMenuResetVolumePan = SlotOf("mixdown/menu", 0);
inline constexpr TextSlot kMixdownMenuResetStart = SlotOf("mixdown/menu", 1);
inline constexpr TextSlot kMixdownMenuShowWindow = SlotOf("mixdown/menu", 2);

// "mixdown/popup": Messages of the mixdown panel; text 1: %u the sample rate
// of the mix.
inline constexpr TextSlot kMixdownPopupNothingToMix = SlotOf("mixdown/popup", 0);
inline constexpr TextSlot kMixdownPopupRatesDiffer = SlotOf("mixdown/popup", 1);

// "mixdown/tooltip": Tooltips of a document row (%+.1f the volume in dB; %s
// the pan text; %s the start time).
inline constexpr TextSlot kMixdownTipVolume = SlotOf("mixdown/tooltip", 0);
inline constexpr TextSlot kMixdownTipPan = SlotOf("mixdown/tooltip", 1);
inline constexpr TextSlot kMixdownTipStart = SlotOf("mixdown/tooltip", 2);

// "newformat": The new sound dialog: title, sample rate and its unit,
// channels, sample format, and the option that takes the clipboard's format.
inline constexpr TextSlot kNewFormatTitle = SlotOf("newformat", 0);
inline constexpr TextSlot kNewFormatSampleRate = SlotOf("newformat", 1);
inline constexpr TextSlot kNewFormatUnitHz = SlotOf("newformat", 2);
inline constexpr TextSlot kNewFormatChannels = SlotOf("newformat", 3);
inline constexpr TextSlot kNewFormatSampleFormat = SlotOf("newformat", 4);
inline constexpr TextSlot kNewFormatFromClipboard = SlotOf("newformat", 5);

// "pcmtext": The text information dialog: title, the labels of the main
// fields, the columns of the full field list and the edit button.
inline constexpr TextSlot kPcmTextTitle = SlotOf("pcmtext", 0);
inline constexpr TextSlot kPcmTextName = SlotOf("pcmtext", 1);
inline constexpr TextSlot kPcmTextArtist = SlotOf("pcmtext", 2);
inline constexpr TextSlot kPcmTextCopyright = SlotOf("pcmtext", 3);
inline constexpr TextSlot kPcmTextComments = SlotOf("pcmtext", 4);
inline constexpr TextSlot kPcmTextGenre = SlotOf("pcmtext", 5);
inline constexpr TextSlot kPcmTextCreationDate = SlotOf("pcmtext", 6);
inline constexpr TextSlot kPcmTextColumnField = SlotOf("pcmtext", 7);
inline constexpr TextSlot kPcmTextColumnText = SlotOf("pcmtext", 8);
inline constexpr TextSlot kPcmTextEdit = SlotOf("pcmtext", 9);

// "pcmtextedit": The dialog that edits one text field.
inline constexpr TextSlot kPcmTextEditTitle = SlotOf("pcmtextedit", 0);
inline constexpr TextSlot kPcmTextEditField = SlotOf("pcmtextedit", 1);
inline constexpr TextSlot kPcmTextEditText = SlotOf("pcmtextedit", 2);

// "project/popup": Questions and reports about project folders; texts 0 to
// 4: %s the project folder; text 6: %s the project folder, %s the name it
// was set aside under.
inline constexpr TextSlot kProjectConfirmSwitch = SlotOf("project/popup", 0);
inline constexpr TextSlot kProjectFolderUnusable = SlotOf("project/popup", 1);
inline constexpr TextSlot kProjectInUse = SlotOf("project/popup", 2);
inline constexpr TextSlot kProjectConfirmRemove = SlotOf("project/popup", 3);
inline constexpr TextSlot kProjectConfirmDeleteFiles = SlotOf("project/popup", 4);
inline constexpr TextSlot kProjectWorkspaceNotKept = SlotOf("project/popup", 5);
inline constexpr TextSlot kProjectRestoreFailed = SlotOf("project/popup", 6);
inline constexpr TextSlot kProjectListFull = SlotOf("project/popup", 7);

// "rawpcmformat": The raw PCM format dialog: title, rate, channels, sample
// format, header bytes to skip, and the resulting length (%s).
inline constexpr TextSlot kRawFormatTitle = SlotOf("rawpcmformat", 0);
inline constexpr TextSlot kRawFormatSampleRate = SlotOf("rawpcmformat", 1);
inline constexpr TextSlot kRawFormatChannels = SlotOf("rawpcmformat", 2);
inline constexpr TextSlot kRawFormatSampleFormat = SlotOf("rawpcmformat", 3);
inline constexpr TextSlot kRawFormatSkipBytes = SlotOf("rawpcmformat", 4);
inline constexpr TextSlot kRawFormatLength = SlotOf("rawpcmformat", 5);

// "savepcm/popup": Questions when saving; %s the file type, %s the requested
// sample format, %s the one offered instead.
inline constexpr TextSlot kSavePcmFormatNotStorable = SlotOf("savepcm/popup", 0);

// "script": The script window and console: title, command line, run and
// break, console buttons, the debugging option, the hint and the running
// status (%s the script's file name).
inline constexpr TextSlot kScriptWindowTitle = SlotOf("script", 0);
inline constexpr TextSlot kScriptWindowCommandLine = SlotOf("script", 1);
inline constexpr TextSlot kScriptWindowRun = SlotOf("script", 2);
inline constexpr TextSlot kScriptWindowBreak = SlotOf("script", 3);
inline constexpr TextSlot kScriptWindowClear = SlotOf("script", 4);
inline constexpr TextSlot kScriptWindowCopyAll = SlotOf("script", 5);
inline constexpr TextSlot kScriptWindowDebugging = SlotOf("script", 6);
inline constexpr TextSlot kScriptWindowHint = SlotOf("script", 7);
inline constexpr TextSlot kScriptWindowRunning = SlotOf("script", 8);

// "script/menu": Pop-up menu of the script console.
inline constexpr TextSlot kScriptWindowMenuFont = SlotOf("script/menu", 0);

// "sectionpickup": The dialog that picks up a section by its times: title,
// start, end, length, the time format and its two choices, and the two
// actions.
inline constexpr TextSlot kSectionPickupTitle = SlotOf("sectionpickup", 0);
inline constexpr TextSlot kSectionPickupStart = SlotOf("sectionpickup", 1);
inline constexpr TextSlot kSectionPickupEnd = SlotOf("sectionpickup", 2);
inline constexpr TextSlot kSectionPickupLength = SlotOf("sectionpickup", 3);
inline constexpr TextSlot kSectionPickupTimeFormat = SlotOf("sectionpickup", 4);
inline constexpr TextSlot kSectionPickupFormatTime = SlotOf("sectionpickup", 5);
inline constexpr TextSlot kSectionPickupFormatSamples = SlotOf("sectionpickup", 6);
inline constexpr TextSlot kSectionPickupOpenAsDocument = SlotOf("sectionpickup", 7);
inline constexpr TextSlot kSectionPickupSelectInDocument = SlotOf("sectionpickup", 8);

// "sound": The sound properties dialog: title, file, format, length.
inline constexpr TextSlot kSoundTitle = SlotOf("sound", 0);
inline constexpr TextSlot kSoundFile = SlotOf("sound", 1);
inline constexpr TextSlot kSoundFormat = SlotOf("sound", 2);
inline constexpr TextSlot kSoundLength = SlotOf("sound", 3);

// "statistics/popup": The statistics report (text 0: %s the document; 1 and
// 3: %.2f dB, %s the time; 2: %.2f dB; 4: %s channel, %+.5f maximum, %+.5f
// minimum; 5: %s channel, %+.5f offset, %.6g variance; 6: %s the weighting).
inline constexpr TextSlot kStatisticsTitle = SlotOf("statistics/popup", 0);
inline constexpr TextSlot kStatisticsPeak = SlotOf("statistics/popup", 1);
inline constexpr TextSlot kStatisticsRms = SlotOf("statistics/popup", 2);
inline constexpr TextSlot kStatisticsShortRmsPeak = SlotOf("statistics/popup", 3);
inline constexpr TextSlot kStatisticsExtremes = SlotOf("statistics/popup", 4);
inline constexpr TextSlot kStatisticsOffsetVariance = SlotOf("statistics/popup", 5);
inline constexpr TextSlot kStatisticsWeighting = SlotOf("statistics/popup", 6);

// "unknownformat": The question for a file of unknown format: title, the
// message (%s the file name), and the three choices.
inline constexpr TextSlot kUnknownFormatTitle = SlotOf("unknownformat", 0);
inline constexpr TextSlot kUnknownFormatMessage = SlotOf("unknownformat", 1);
inline constexpr TextSlot kUnknownFormatOpenRaw = SlotOf("unknownformat", 2);
inline constexpr TextSlot kUnknownFormatOpenMediaImport = SlotOf("unknownformat", 3);
inline constexpr TextSlot kUnknownFormatDoNotOpen = SlotOf("unknownformat", 4);

}  // namespace tidemark::text
