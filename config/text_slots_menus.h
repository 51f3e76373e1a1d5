// Names for the UI text slots of the menus, toolbar and their descriptions.
#pragma once

#include "config/text_slot.h"

namespace tidemark::text {

// "frame/menu": The menu bar: the names of its menus, left to right.
inline constexpr TextSlot kMenuFile = SlotOf("frame/menu", 0);
inline constexpr TextSlot kMenuEdit = SlotOf("frame/menu", 1);
inline constexpr TextSlot kMenuEffects = SlotOf("frame/menu", 2);
inline constexpr TextSlot kMenuTools = SlotOf("frame/menu", 3);
inline constexpr TextSlot kMenuView = SlotOf("frame/menu", 4);
inline constexpr TextSlot kMenuWindow = SlotOf("frame/menu", 5);
inline constexpr TextSlot kMenuHelp = SlotOf("frame/menu", 6);

// "frame/menu/edit": The Edit menu; Paste Special, Selection, Markers and
// Encode head submenus, "Can't Undo" and "Can't Redo" label the disabled Undo
// and Redo items.
inline constexpr TextSlot kMenuEditUndo = SlotOf("frame/menu/edit", 0);
inline constexpr TextSlot kMenuEditCantUndo = SlotOf("frame/menu/edit", 1);
inline constexpr TextSlot kMenuEditRedo = SlotOf("frame/menu/edit", 2);
inline constexpr TextSlot kMenuEditCantRedo = SlotOf("frame/menu/edit", 3);
inline constexpr TextSlot kMenuEditCut = SlotOf("frame/menu/edit", 4);
inline constexpr TextSlot kMenuEditCopy = SlotOf("frame/menu/edit", 5);
inline constexpr TextSlot kMenuEditPaste = SlotOf("frame/menu/edit", 6);
inline constexpr TextSlot kMenuEditPasteSpecial = SlotOf("frame/menu/edit", 7);
inline constexpr TextSlot kMenuEditPasteOverSelection = SlotOf("frame/menu/edit", 8);
inline constexpr TextSlot kMenuEditPasteOverwrite = SlotOf("frame/menu/edit", 9);
inline constexpr TextSlot kMenuEditMixPaste = SlotOf("frame/menu/edit", 10);
inline constexpr TextSlot kMenuEditMixPasteSubtract = SlotOf("frame/menu/edit", 11);
inline constexpr TextSlot kMenuEditPasteAsNew = SlotOf("frame/menu/edit", 12);
inline constexpr TextSlot kMenuEditDelete = SlotOf("frame/menu/edit", 13);
inline constexpr TextSlot kMenuEditTrim = SlotOf("frame/menu/edit", 14);
inline constexpr TextSlot kMenuEditSilence = SlotOf("frame/menu/edit", 15);
inline constexpr TextSlot kMenuEditInsertSilence = SlotOf("frame/menu/edit", 16);
inline constexpr TextSlot kMenuEditSelectAll = SlotOf("frame/menu/edit", 17);
inline constexpr TextSlot kMenuEditSelection = SlotOf("frame/menu/edit", 18);
inline constexpr TextSlot kMenuEditMarkers = SlotOf("frame/menu/edit", 19);
inline constexpr TextSlot kMenuEditChangeFormat = SlotOf("frame/menu/edit", 20);
inline constexpr TextSlot kMenuEditEncode = SlotOf("frame/menu/edit", 21);
inline constexpr TextSlot kMenuEditTextInfo = SlotOf("frame/menu/edit", 22);
inline constexpr TextSlot kMenuEditProperties = SlotOf("frame/menu/edit", 23);

// "frame/menu/edit/cuepoint": Edit > Markers: the commands on the document's
// named markers.
inline constexpr TextSlot kMenuMarkerNew = SlotOf("frame/menu/edit/cuepoint", 0);
inline constexpr TextSlot kMenuMarkerAddAtPlayback = SlotOf("frame/menu/edit/cuepoint", 1);
inline constexpr TextSlot kMenuMarkerDelete = SlotOf("frame/menu/edit/cuepoint", 2);
inline constexpr TextSlot kMenuMarkerCopyFrom = SlotOf("frame/menu/edit/cuepoint", 3);
inline constexpr TextSlot kMenuMarkerImport = SlotOf("frame/menu/edit/cuepoint", 4);
inline constexpr TextSlot kMenuMarkerExport = SlotOf("frame/menu/edit/cuepoint", 5);
inline constexpr TextSlot kMenuMarkerPrevious = SlotOf("frame/menu/edit/cuepoint", 6);
inline constexpr TextSlot kMenuMarkerNext = SlotOf("frame/menu/edit/cuepoint", 7);
inline constexpr TextSlot kMenuMarkerSelectPreviousRegion = SlotOf("frame/menu/edit/cuepoint", 8);
inline constexpr TextSlot kMenuMarkerSelectNextRegion = SlotOf("frame/menu/edit/cuepoint", 9);

// "frame/menu/edit/encode": Edit > Encode: one item for each encoder family.
inline constexpr TextSlot kMenuEncodeLameMp3 = SlotOf("frame/menu/edit/encode", 0);
inline constexpr TextSlot kMenuEncodeAcmMp3 = SlotOf("frame/menu/edit/encode", 1);
inline constexpr TextSlot kMenuEncodeVorbis = SlotOf("frame/menu/edit/encode", 2);
inline constexpr TextSlot kMenuEncodeOpus = SlotOf("frame/menu/edit/encode", 3);
inline constexpr TextSlot kMenuEncodeFlac = SlotOf("frame/menu/edit/encode", 4);
inline constexpr TextSlot kMenuEncodeAac = SlotOf("frame/menu/edit/encode", 5);
inline constexpr TextSlot kMenuEncodeWma = SlotOf("frame/menu/edit/encode", 6);

// "frame/menu/edit/marker": Edit > Selection: commands on the selection's start
// and end marks; Fixed Length heads a submenu.
inline constexpr TextSlot kMenuSelectionNone = SlotOf("frame/menu/edit/marker", 0);
inline constexpr TextSlot kMenuSelectionToStart = SlotOf("frame/menu/edit/marker", 1);
inline constexpr TextSlot kMenuSelectionToEnd = SlotOf("frame/menu/edit/marker", 2);
inline constexpr TextSlot kMenuSelectionVisible = SlotOf("frame/menu/edit/marker", 3);
inline constexpr TextSlot kMenuSelectionFixedLength = SlotOf("frame/menu/edit/marker", 4);
inline constexpr TextSlot kMenuSelectionPickUp = SlotOf("frame/menu/edit/marker", 5);

// "frame/menu/edit/marker/selectlen": Edit > Selection > Fixed Length: lengths
// selected from the cursor on.
inline constexpr TextSlot kMenuSelectLength1Second = SlotOf("frame/menu/edit/marker/selectlen", 0);
inline constexpr TextSlot kMenuSelectLength10Seconds = SlotOf("frame/menu/edit/marker/selectlen", 1);
inline constexpr TextSlot kMenuSelectLength1Minute = SlotOf("frame/menu/edit/marker/selectlen", 2);
inline constexpr TextSlot kMenuSelectLength5Minutes = SlotOf("frame/menu/edit/marker/selectlen", 3);

// "frame/menu/effect": The Effects menu's own items (the effects' labels come
// from the "effect/..." sections). Texts 0 and 1: %s the last effect's name;
// text 2 labels the disabled repeat item; Recently Used, the eleven effect
// groups (Level to Generators), Channels, Apply Effect Chain, Plug-ins, VST
// Plug-ins, DirectX Plug-ins and Extras head submenus; texts 19 and 23 label
// empty submenus.
inline constexpr TextSlot kMenuEffectRepeat = SlotOf("frame/menu/effect", 0);
inline constexpr TextSlot kMenuEffectRepeatWithDialog = SlotOf("frame/menu/effect", 1);
inline constexpr TextSlot kMenuEffectRepeatNone = SlotOf("frame/menu/effect", 2);
inline constexpr TextSlot kMenuEffectRecent = SlotOf("frame/menu/effect", 3);
inline constexpr TextSlot kMenuEffectClearRecent = SlotOf("frame/menu/effect", 4);
inline constexpr TextSlot kMenuEffectGroupLevel = SlotOf("frame/menu/effect", 5);
inline constexpr TextSlot kMenuEffectGroupPolarity = SlotOf("frame/menu/effect", 6);
inline constexpr TextSlot kMenuEffectGroupDynamics = SlotOf("frame/menu/effect", 7);
inline constexpr TextSlot kMenuEffectGroupEqualizers = SlotOf("frame/menu/effect", 8);
inline constexpr TextSlot kMenuEffectGroupFilters = SlotOf("frame/menu/effect", 9);
inline constexpr TextSlot kMenuEffectGroupReverb = SlotOf("frame/menu/effect", 10);
inline constexpr TextSlot kMenuEffectGroupTime = SlotOf("frame/menu/effect", 11);
inline constexpr TextSlot kMenuEffectGroupPitch = SlotOf("frame/menu/effect", 12);
inline constexpr TextSlot kMenuEffectGroupStereo = SlotOf("frame/menu/effect", 13);
inline constexpr TextSlot kMenuEffectGroupRestoration = SlotOf("frame/menu/effect", 14);
inline constexpr TextSlot kMenuEffectGroupGenerators = SlotOf("frame/menu/effect", 15);
inline constexpr TextSlot kMenuEffectChannels = SlotOf("frame/menu/effect", 16);
inline constexpr TextSlot kMenuEffectChains = SlotOf("frame/menu/effect", 17);
inline constexpr TextSlot kMenuEffectApplyChain = SlotOf("frame/menu/effect", 18);
inline constexpr TextSlot kMenuEffectNoChains = SlotOf("frame/menu/effect", 19);
inline constexpr TextSlot kMenuEffectPlugins = SlotOf("frame/menu/effect", 20);
inline constexpr TextSlot kMenuEffectVst = SlotOf("frame/menu/effect", 21);
inline constexpr TextSlot kMenuEffectDirectX = SlotOf("frame/menu/effect", 22);
inline constexpr TextSlot kMenuEffectNoPlugins = SlotOf("frame/menu/effect", 23);
inline constexpr TextSlot kMenuEffectRescanPlugins = SlotOf("frame/menu/effect", 24);
inline constexpr TextSlot kMenuEffectExtras = SlotOf("frame/menu/effect", 25);

// "frame/menu/effect/channel": Effects > Channels: the channels that edits and
// effects act on.
inline constexpr TextSlot kMenuChannelBoth = SlotOf("frame/menu/effect/channel", 0);
inline constexpr TextSlot kMenuChannelLeft = SlotOf("frame/menu/effect/channel", 1);
inline constexpr TextSlot kMenuChannelRight = SlotOf("frame/menu/effect/channel", 2);

// "frame/menu/effect/extras": Effects > Extras: analysis and whole-document
// tools.
inline constexpr TextSlot kMenuExtrasStatistics = SlotOf("frame/menu/effect/extras", 0);
inline constexpr TextSlot kMenuExtrasGapSearch = SlotOf("frame/menu/effect/extras", 1);
inline constexpr TextSlot kMenuExtrasJointNormalize = SlotOf("frame/menu/effect/extras", 2);
inline constexpr TextSlot kMenuExtrasChopAndArrange = SlotOf("frame/menu/effect/extras", 3);
inline constexpr TextSlot kMenuExtrasMixdown = SlotOf("frame/menu/effect/extras", 4);
inline constexpr TextSlot kMenuExtrasNoiseProfile = SlotOf("frame/menu/effect/extras", 5);
inline constexpr TextSlot kMenuExtrasRemoveDcOffset = SlotOf("frame/menu/effect/extras", 6);

// "frame/menu/file": The File menu; Recent Files heads the list of recent
// files.
inline constexpr TextSlot kMenuFileNew = SlotOf("frame/menu/file", 0);
inline constexpr TextSlot kMenuFileOpen = SlotOf("frame/menu/file", 1);
inline constexpr TextSlot kMenuFileRecent = SlotOf("frame/menu/file", 2);
inline constexpr TextSlot kMenuFileSave = SlotOf("frame/menu/file", 3);
inline constexpr TextSlot kMenuFileSaveAs = SlotOf("frame/menu/file", 4);
inline constexpr TextSlot kMenuFileClose = SlotOf("frame/menu/file", 5);
inline constexpr TextSlot kMenuFileCloseAll = SlotOf("frame/menu/file", 6);
inline constexpr TextSlot kMenuFileSaveWorkspace = SlotOf("frame/menu/file", 7);
inline constexpr TextSlot kMenuFileExit = SlotOf("frame/menu/file", 8);

// "frame/menu/help": The Help menu.
inline constexpr TextSlot kMenuHelpContents = SlotOf("frame/menu/help", 0);
inline constexpr TextSlot kMenuHelpAutomation = SlotOf("frame/menu/help", 1);
inline constexpr TextSlot kMenuHelpAbout = SlotOf("frame/menu/help", 2);

// "frame/menu/tools": The Tools menu; "Resume" is the Pause item's label while
// paused; Playback Speed, Audio CD, Project and Toolbar head submenus.
inline constexpr TextSlot kMenuToolsPlaySelection = SlotOf("frame/menu/tools", 0);
inline constexpr TextSlot kMenuToolsPlayLooped = SlotOf("frame/menu/tools", 1);
inline constexpr TextSlot kMenuToolsPlayFromCursor = SlotOf("frame/menu/tools", 2);
inline constexpr TextSlot kMenuToolsPlayAll = SlotOf("frame/menu/tools", 3);
inline constexpr TextSlot kMenuToolsPause = SlotOf("frame/menu/tools", 4);
inline constexpr TextSlot kMenuToolsResume = SlotOf("frame/menu/tools", 5);
inline constexpr TextSlot kMenuToolsStop = SlotOf("frame/menu/tools", 6);
inline constexpr TextSlot kMenuToolsRecord = SlotOf("frame/menu/tools", 7);
inline constexpr TextSlot kMenuToolsPlaybackSpeed = SlotOf("frame/menu/tools", 8);
inline constexpr TextSlot kMenuToolsScript = SlotOf("frame/menu/tools", 9);
inline constexpr TextSlot kMenuToolsAudioCd = SlotOf("frame/menu/tools", 10);
inline constexpr TextSlot kMenuToolsReadCd = SlotOf("frame/menu/tools", 11);
inline constexpr TextSlot kMenuToolsWriteCd = SlotOf("frame/menu/tools", 12);
inline constexpr TextSlot kMenuToolsEraseCd = SlotOf("frame/menu/tools", 13);
inline constexpr TextSlot kMenuToolsProject = SlotOf("frame/menu/tools", 14);
inline constexpr TextSlot kMenuToolsToolbar = SlotOf("frame/menu/tools", 15);
inline constexpr TextSlot kMenuToolsEnglishUi = SlotOf("frame/menu/tools", 16);
inline constexpr TextSlot kMenuToolsSettings = SlotOf("frame/menu/tools", 17);

// "frame/menu/tools/playbackscaler": Tools > Playback Speed: the switch, the
// two time-stretching methods, and the reset.
inline constexpr TextSlot kMenuSpeedEnable = SlotOf("frame/menu/tools/playbackscaler", 0);
inline constexpr TextSlot kMenuSpeedMusic = SlotOf("frame/menu/tools/playbackscaler", 1);
inline constexpr TextSlot kMenuSpeedSpeech = SlotOf("frame/menu/tools/playbackscaler", 2);
inline constexpr TextSlot kMenuSpeedNormal = SlotOf("frame/menu/tools/playbackscaler", 3);

// "frame/menu/tools/project": Tools > Project: the fixed item below the list of
// project folders.
inline constexpr TextSlot kMenuProjectNew = SlotOf("frame/menu/tools/project", 0);

// "frame/menu/tools/toolbar": Tools > Toolbar.
inline constexpr TextSlot kMenuToolbarShow = SlotOf("frame/menu/tools/toolbar", 0);
inline constexpr TextSlot kMenuToolbarCustomize = SlotOf("frame/menu/tools/toolbar", 1);
inline constexpr TextSlot kMenuToolbarReset = SlotOf("frame/menu/tools/toolbar", 2);

// "frame/menu/view": The View menu; Horizontal Zoom, Time Unit and Video head
// submenus.
inline constexpr TextSlot kMenuViewZoom = SlotOf("frame/menu/view", 0);
inline constexpr TextSlot kMenuViewTimeUnit = SlotOf("frame/menu/view", 1);
inline constexpr TextSlot kMenuViewSpectrum = SlotOf("frame/menu/view", 2);
inline constexpr TextSlot kMenuViewSpectrogram = SlotOf("frame/menu/view", 3);
inline constexpr TextSlot kMenuViewPlaybackSpectrum = SlotOf("frame/menu/view", 4);
inline constexpr TextSlot kMenuViewVideo = SlotOf("frame/menu/view", 5);
inline constexpr TextSlot kMenuViewMixEnvelope = SlotOf("frame/menu/view", 6);
inline constexpr TextSlot kMenuViewFollowPlayback = SlotOf("frame/menu/view", 7);
inline constexpr TextSlot kMenuViewSelectionBand = SlotOf("frame/menu/view", 8);
inline constexpr TextSlot kMenuViewVolumeBand = SlotOf("frame/menu/view", 9);
inline constexpr TextSlot kMenuViewStatusBar = SlotOf("frame/menu/view", 10);

// "frame/menu/view/unit": View > Time Unit: how times are shown.
inline constexpr TextSlot kMenuUnitTime = SlotOf("frame/menu/view/unit", 0);
inline constexpr TextSlot kMenuUnitSeconds = SlotOf("frame/menu/view/unit", 1);
inline constexpr TextSlot kMenuUnitSamples = SlotOf("frame/menu/view/unit", 2);

// "frame/menu/view/videosize": View > Video: the video window's size; text 3
// labels the submenu when the sound has no video.
inline constexpr TextSlot kMenuVideoHide = SlotOf("frame/menu/view/videosize", 0);
inline constexpr TextSlot kMenuVideoActualSize = SlotOf("frame/menu/view/videosize", 1);
inline constexpr TextSlot kMenuVideoDoubleSize = SlotOf("frame/menu/view/videosize", 2);
inline constexpr TextSlot kMenuVideoNone = SlotOf("frame/menu/view/videosize", 3);

// "frame/menu/view/xzoom": View > Horizontal Zoom.
inline constexpr TextSlot kMenuZoomIn = SlotOf("frame/menu/view/xzoom", 0);
inline constexpr TextSlot kMenuZoomOut = SlotOf("frame/menu/view/xzoom", 1);
inline constexpr TextSlot kMenuZoomWhole = SlotOf("frame/menu/view/xzoom", 2);

// "frame/menu/window": The Window menu; text 6 is the title of a new document
// without a file (%u its number).
inline constexpr TextSlot kMenuWindowCascade = SlotOf("frame/menu/window", 0);
inline constexpr TextSlot kMenuWindowTileHorizontal = SlotOf("frame/menu/window", 1);
inline constexpr TextSlot kMenuWindowTileVertical = SlotOf("frame/menu/window", 2);
inline constexpr TextSlot kMenuWindowArrangeIcons = SlotOf("frame/menu/window", 3);
inline constexpr TextSlot kMenuWindowNext = SlotOf("frame/menu/window", 4);
inline constexpr TextSlot kMenuWindowPrevious = SlotOf("frame/menu/window", 5);
inline constexpr TextSlot kMenuWindowUntitled = SlotOf("frame/menu/window", 6);

// "frame/rebar/marker": The selection band: its name, the labels of its time
// fields, its hint and the text shown without a document.
inline constexpr TextSlot kRebarSelectionTitle = SlotOf("frame/rebar/marker", 0);
inline constexpr TextSlot kRebarSelectionStart = SlotOf("frame/rebar/marker", 1);
inline constexpr TextSlot kRebarSelectionEnd = SlotOf("frame/rebar/marker", 2);
inline constexpr TextSlot kRebarSelectionLength = SlotOf("frame/rebar/marker", 3);
inline constexpr TextSlot kRebarSelectionHint = SlotOf("frame/rebar/marker", 4);
inline constexpr TextSlot kRebarSelectionNoDocument = SlotOf("frame/rebar/marker", 5);

// "frame/rebar/marker/menu": The selection band's context menu.
inline constexpr TextSlot kRebarSelectionMenuCopy = SlotOf("frame/rebar/marker/menu", 0);
inline constexpr TextSlot kRebarSelectionMenuPaste = SlotOf("frame/rebar/marker/menu", 1);
inline constexpr TextSlot kRebarSelectionMenuSelectAll = SlotOf("frame/rebar/marker/menu", 2);

// "frame/rebar/playbackscaler": The playback speed band's name.
inline constexpr TextSlot kRebarSpeedTitle = SlotOf("frame/rebar/playbackscaler", 0);

// "frame/rebar/playbackscaler/menu": The playback speed band's context menu.
inline constexpr TextSlot kRebarSpeedMenuNormal = SlotOf("frame/rebar/playbackscaler/menu", 0);
inline constexpr TextSlot kRebarSpeedMenuOff = SlotOf("frame/rebar/playbackscaler/menu", 1);

// "frame/rebar/playbackvolume": The playback volume band's name.
inline constexpr TextSlot kRebarVolumeTitle = SlotOf("frame/rebar/playbackvolume", 0);

// "freqdomaingraph/menu": The frequency graph's context menu; Copy heads a
// submenu.
inline constexpr TextSlot kFreqGraphLogScale = SlotOf("freqdomaingraph/menu", 0);
inline constexpr TextSlot kFreqGraphLinearScale = SlotOf("freqdomaingraph/menu", 1);
inline constexpr TextSlot kFreqGraphGrid = SlotOf("freqdomaingraph/menu", 2);
inline constexpr TextSlot kFreqGraphCursorValues = SlotOf("freqdomaingraph/menu", 3);
inline constexpr TextSlot kFreqGraphCopy = SlotOf("freqdomaingraph/menu", 4);

// "freqdomaingraph/menu/copy": The frequency graph's Copy submenu.
inline constexpr TextSlot kFreqGraphCopyText = SlotOf("freqdomaingraph/menu/copy", 0);
inline constexpr TextSlot kFreqGraphCopyPicture = SlotOf("freqdomaingraph/menu/copy", 1);

// "menu": Shared menu texts: %s the undo or redo step's name; the label of an
// empty list; a numbered list entry (%u the number, %s the file or window
// name).
inline constexpr TextSlot kMenuUndoNamed = SlotOf("menu", 0);
inline constexpr TextSlot kMenuRedoNamed = SlotOf("menu", 1);
inline constexpr TextSlot kMenuEmpty = SlotOf("menu", 2);
inline constexpr TextSlot kMenuNumberedEntry = SlotOf("menu", 3);

// "menudesc": Status-bar descriptions of the menu commands, one per command,
// menu by menu: File, Edit, Edit > Markers, Edit > Encode, Edit > Selection,
// Edit > Selection > Fixed Length, Effects, Effects > Channels, Effects >
// Extras, Tools, Tools > Playback Speed, Tools > Project, Tools > Toolbar,
// View, View > Time Unit, View > Video, View > Horizontal Zoom, Window, Help;
// each in its menu's order, leaving out submenu headers, disabled-state labels,
// "Resume" (it shares Pause's) and the window title.
inline constexpr TextSlot kMenuDescFileNew = SlotOf("menudesc", 0);
inline constexpr TextSlot kMenuDescFileOpen = SlotOf("menudesc", 1);
inline constexpr TextSlot kMenuDescFileSave = SlotOf("menudesc", 2);
inline constexpr TextSlot kMenuDescFileSaveAs = SlotOf("menudesc", 3);
inline constexpr TextSlot kMenuDescFileClose = SlotOf("menudesc", 4);
inline constexpr TextSlot kMenuDescFileCloseAll = SlotOf("menudesc", 5);
inline constexpr TextSlot kMenuDescFileSaveWorkspace = SlotOf("menudesc", 6);
inline constexpr TextSlot kMenuDescFileExit = SlotOf("menudesc", 7);
inline constexpr TextSlot kMenuDescEditUndo = SlotOf("menudesc", 8);
inline constexpr TextSlot kMenuDescEditRedo = SlotOf("menudesc", 9);
inline constexpr TextSlot kMenuDescEditCut = SlotOf("menudesc", 10);
inline constexpr TextSlot kMenuDescEditCopy = SlotOf("menudesc", 11);
inline constexpr TextSlot kMenuDescEditPaste = SlotOf("menudesc", 12);
inline constexpr TextSlot kMenuDescEditPasteOverSelection = SlotOf("menudesc", 13);
inline constexpr TextSlot kMenuDescEditPasteOverwrite = SlotOf("menudesc", 14);
inline constexpr TextSlot kMenuDescEditMixPaste = SlotOf("menudesc", 15);
inline constexpr TextSlot kMenuDescEditMixPasteSubtract = SlotOf("menudesc", 16);
inline constexpr TextSlot kMenuDescEditPasteAsNew = SlotOf("menudesc", 17);
inline constexpr TextSlot kMenuDescEditDelete = SlotOf("menudesc", 18);
inline constexpr TextSlot kMenuDescEditTrim = SlotOf("menudesc", 19);
inline constexpr TextSlot kMenuDescEditSilence = SlotOf("menudesc", 20);
inline constexpr TextSlot kMenuDescEditInsertSilence = SlotOf("menudesc", 21);
inline constexpr TextSlot kMenuDescEditSelectAll = SlotOf("menudesc", 22);
inline constexpr TextSlot kMenuDescEditChangeFormat = SlotOf("menudesc", 23);
inline constexpr TextSlot kMenuDescEditTextInfo = SlotOf("menudesc", 24);
inline constexpr TextSlot kMenuDescEditProperties = SlotOf("menudesc", 25);
inline constexpr TextSlot kMenuDescMarkerNew = SlotOf("menudesc", 26);
inline constexpr TextSlot kMenuDescMarkerAddAtPlayback = SlotOf("menudesc", 27);
inline constexpr TextSlot kMenuDescMarkerDelete = SlotOf("menudesc", 28);
inline constexpr TextSlot kMenuDescMarkerCopyFrom = SlotOf("menudesc", 29);
inline constexpr TextSlot kMenuDescMarkerImport = SlotOf("menudesc", 30);
inline constexpr TextSlot kMenuDescMarkerExport = SlotOf("menudesc", 31);
inline constexpr TextSlot kMenuDescMarkerPrevious = SlotOf("menudesc", 32);
inline constexpr TextSlot kMenuDescMarkerNext = SlotOf("menudesc", 33);
inline constexpr TextSlot kMenuDescMarkerSelectPreviousRegion = SlotOf("menudesc", 34);
inline constexpr TextSlot kMenuDescMarkerSelectNextRegion = SlotOf("menudesc", 35);
inline constexpr TextSlot kMenuDescEncodeLameMp3 = SlotOf("menudesc", 36);
inline constexpr TextSlot kMenuDescEncodeAcmMp3 = SlotOf("menudesc", 37);
inline constexpr TextSlot kMenuDescEncodeVorbis = SlotOf("menudesc", 38);
inline constexpr TextSlot kMenuDescEncodeOpus = SlotOf("menudesc", 39);
inline constexpr TextSlot kMenuDescEncodeFlac = SlotOf("menudesc", 40);
inline constexpr TextSlot kMenuDescEncodeAac = SlotOf("menudesc", 41);
inline constexpr TextSlot kMenuDescEncodeWma = SlotOf("menudesc", 42);
inline constexpr TextSlot kMenuDescSelectionNone = SlotOf("menudesc", 43);
inline constexpr TextSlot kMenuDescSelectionToStart = SlotOf("menudesc", 44);
inline constexpr TextSlot kMenuDescSelectionToEnd = SlotOf("menudesc", 45);
inline constexpr TextSlot kMenuDescSelectionVisible = SlotOf("menudesc", 46);
inline constexpr TextSlot kMenuDescSelectionPickUp = SlotOf("menudesc", 47);
inline constexpr TextSlot kMenuDescSelectLength1Second = SlotOf("menudesc", 48);
inline constexpr TextSlot kMenuDescSelectLength10Seconds = SlotOf("menudesc", 49);
inline constexpr TextSlot kMenuDescSelectLength1Minute = SlotOf("menudesc", 50);
inline constexpr TextSlot kMenuDescSelectLength5Minutes = SlotOf("menudesc", 51);
inline constexpr TextSlot kMenuDescEffectRepeat = SlotOf("menudesc", 52);
inline constexpr TextSlot kMenuDescEffectRepeatWithDialog = SlotOf("menudesc", 53);
inline constexpr TextSlot kMenuDescEffectClearRecent = SlotOf("menudesc", 54);
inline constexpr TextSlot kMenuDescEffectChains = SlotOf("menudesc", 55);
inline constexpr TextSlot kMenuDescEffectRescanPlugins = SlotOf("menudesc", 56);
inline constexpr TextSlot kMenuDescChannelBoth = SlotOf("menudesc", 57);
inline constexpr TextSlot kMenuDescChannelLeft = SlotOf("menudesc", 58);
inline constexpr TextSlot kMenuDescChannelRight = SlotOf("menudesc", 59);
inline constexpr TextSlot kMenuDescExtrasStatistics = SlotOf("menudesc", 60);
inline constexpr TextSlot kMenuDescExtrasGapSearch = SlotOf("menudesc", 61);
inline constexpr TextSlot kMenuDescExtrasJointNormalize = SlotOf("menudesc", 62);
inline constexpr TextSlot kMenuDescExtrasChopAndArrange = SlotOf("menudesc", 63);
inline constexpr TextSlot kMenuDescExtrasMixdown = SlotOf("menudesc", 64);
inline constexpr TextSlot kMenuDescExtrasNoiseProfile = SlotOf("menudesc", 65);
inline constexpr TextSlot kMenuDescExtrasRemoveDcOffset = SlotOf("menudesc", 66);
inline constexpr TextSlot kMenuDescToolsPlaySelection = SlotOf("menudesc", 67);
inline constexpr TextSlot kMenuDescToolsPlayLooped = SlotOf("menudesc", 68);
inline constexpr TextSlot kMenuDescToolsPlayFromCursor = SlotOf("menudesc", 69);
inline constexpr TextSlot kMenuDescToolsPlayAll = SlotOf("menudesc", 70);
inline constexpr TextSlot kMenuDescToolsPause = SlotOf("menudesc", 71);
inline constexpr TextSlot kMenuDescToolsStop = SlotOf("menudesc", 72);
inline constexpr TextSlot kMenuDescToolsRecord = SlotOf("menudesc", 73);
inline constexpr TextSlot kMenuDescToolsScript = SlotOf("menudesc", 74);
inline constexpr TextSlot kMenuDescToolsReadCd = SlotOf("menudesc", 75);
inline constexpr TextSlot kMenuDescToolsWriteCd = SlotOf("menudesc", 76);
inline constexpr TextSlot kMenuDescToolsEraseCd = SlotOf("menudesc", 77);
inline constexpr TextSlot kMenuDescToolsEnglishUi = SlotOf("menudesc", 78);
inline constexpr TextSlot kMenuDescToolsSettings = SlotOf("menudesc", 79);
inline constexpr TextSlot kMenuDescSpeedEnable = SlotOf("menudesc", 80);
inline constexpr TextSlot kMenuDescSpeedMusic = SlotOf("menudesc", 81);
inline constexpr TextSlot kMenuDescSpeedSpeech = SlotOf("menudesc", 82);
inline constexpr TextSlot kMenuDescSpeedNormal = SlotOf("menudesc", 83);
inline constexpr TextSlot kMenuDescProjectNew = SlotOf("menudesc", 84);
inline constexpr TextSlot kMenuDescToolbarShow = SlotOf("menudesc", 85);
inline constexpr TextSlot kMenuDescToolbarCustomize = SlotOf("menudesc", 86);
inline constexpr TextSlot kMenuDescToolbarReset = SlotOf("menudesc", 87);
inline constexpr TextSlot kMenuDescViewSpectrum = SlotOf("menudesc", 88);
inline constexpr TextSlot kMenuDescViewSpectrogram = SlotOf("menudesc", 89);
inline constexpr TextSlot kMenuDescViewPlaybackSpectrum = SlotOf("menudesc", 90);
inline constexpr TextSlot kMenuDescViewMixEnvelope = SlotOf("menudesc", 91);
inline constexpr TextSlot kMenuDescViewFollowPlayback = SlotOf("menudesc", 92);
inline constexpr TextSlot kMenuDescViewSelectionBand = SlotOf("menudesc", 93);
inline constexpr TextSlot kMenuDescViewVolumeBand = SlotOf("menudesc", 94);
inline constexpr TextSlot kMenuDescViewStatusBar = SlotOf("menudesc", 95);
inline constexpr TextSlot kMenuDescUnitTime = SlotOf("menudesc", 96);
inline constexpr TextSlot kMenuDescUnitSeconds = SlotOf("menudesc", 97);
inline constexpr TextSlot kMenuDescUnitSamples = SlotOf("menudesc", 98);
inline constexpr TextSlot kMenuDescVideoHide = SlotOf("menudesc", 99);
inline constexpr TextSlot kMenuDescVideoActualSize = SlotOf("menudesc", 100);
inline constexpr TextSlot kMenuDescVideoDoubleSize = SlotOf("menudesc", 101);
inline constexpr TextSlot kMenuDescZoomIn = SlotOf("menudesc", 102);
inline constexpr TextSlot kMenuDescZoomOut = SlotOf("menudesc", 103);
inline constexpr TextSlot kMenuDescZoomWhole = SlotOf("menudesc", 104);
inline constexpr TextSlot kMenuDescWindowCascade = SlotOf("menudesc", 105);
inline constexpr TextSlot kMenuDescWindowTileHorizontal = SlotOf("menudesc", 106);
inline constexpr TextSlot kMenuDescWindowTileVertical = SlotOf("menudesc", 107);
inline constexpr TextSlot kMenuDescWindowArrangeIcons = SlotOf("menudesc", 108);
inline constexpr TextSlot kMenuDescWindowNext = SlotOf("menudesc", 109);
inline constexpr TextSlot kMenuDescWindowPrevious = SlotOf("menudesc", 110);
inline constexpr TextSlot kMenuDescHelpContents = SlotOf("menudesc", 111);
inline constexpr TextSlot kMenuDescHelpAutomation = SlotOf("menudesc", 112);
inline constexpr TextSlot kMenuDescHelpAbout = SlotOf("menudesc", 113);

// "toolbar/icondesc": Descriptions of the toolbar buttons, in the order of the
// standard toolbar.
inline constexpr TextSlot kToolbarNew = SlotOf("toolbar/icondesc", 0);
inline constexpr TextSlot kToolbarOpen = SlotOf("toolbar/icondesc", 1);
inline constexpr TextSlot kToolbarSave = SlotOf("toolbar/icondesc", 2);
inline constexpr TextSlot kToolbarSaveAs = SlotOf("toolbar/icondesc", 3);
inline constexpr TextSlot kToolbarClose = SlotOf("toolbar/icondesc", 4);
inline constexpr TextSlot kToolbarUndo = SlotOf("toolbar/icondesc", 5);
inline constexpr TextSlot kToolbarRedo = SlotOf("toolbar/icondesc", 6);
inline constexpr TextSlot kToolbarCut = SlotOf("toolbar/icondesc", 7);
inline constexpr TextSlot kToolbarCopy = SlotOf("toolbar/icondesc", 8);
inline constexpr TextSlot kToolbarPaste = SlotOf("toolbar/icondesc", 9);
inline constexpr TextSlot kToolbarPasteOverSelection = SlotOf("toolbar/icondesc", 10);
inline constexpr TextSlot kToolbarPasteOverwrite = SlotOf("toolbar/icondesc", 11);
inline constexpr TextSlot kToolbarMixPaste = SlotOf("toolbar/icondesc", 12);
inline constexpr TextSlot kToolbarDelete = SlotOf("toolbar/icondesc", 13);
inline constexpr TextSlot kToolbarTrim = SlotOf("toolbar/icondesc", 14);
inline constexpr TextSlot kToolbarSilence = SlotOf("toolbar/icondesc", 15);
inline constexpr TextSlot kToolbarInsertSilence = SlotOf("toolbar/icondesc", 16);
inline constexpr TextSlot kToolbarPlaySelection = SlotOf("toolbar/icondesc", 17);
inline constexpr TextSlot kToolbarPlayLooped = SlotOf("toolbar/icondesc", 18);
inline constexpr TextSlot kToolbarPlayFromCursor = SlotOf("toolbar/icondesc", 19);
inline constexpr TextSlot kToolbarPlayAll = SlotOf("toolbar/icondesc", 20);
inline constexpr TextSlot kToolbarPause = SlotOf("toolbar/icondesc", 21);
inline constexpr TextSlot kToolbarStop = SlotOf("toolbar/icondesc", 22);
inline constexpr TextSlot kToolbarRecord = SlotOf("toolbar/icondesc", 23);
inline constexpr TextSlot kToolbarZoomIn = SlotOf("toolbar/icondesc", 24);
inline constexpr TextSlot kToolbarZoomOut = SlotOf("toolbar/icondesc", 25);
inline constexpr TextSlot kToolbarZoomWhole = SlotOf("toolbar/icondesc", 26);
inline constexpr TextSlot kToolbarNewMarker = SlotOf("toolbar/icondesc", 27);
inline constexpr TextSlot kToolbarPreviousMarker = SlotOf("toolbar/icondesc", 28);
inline constexpr TextSlot kToolbarNextMarker = SlotOf("toolbar/icondesc", 29);
inline constexpr TextSlot kToolbarRepeatEffect = SlotOf("toolbar/icondesc", 30);
inline constexpr TextSlot kToolbarEffectChain = SlotOf("toolbar/icondesc", 31);
inline constexpr TextSlot kToolbarStatistics = SlotOf("toolbar/icondesc", 32);
inline constexpr TextSlot kToolbarSpectrum = SlotOf("toolbar/icondesc", 33);
inline constexpr TextSlot kToolbarScript = SlotOf("toolbar/icondesc", 34);
inline constexpr TextSlot kToolbarSettings = SlotOf("toolbar/icondesc", 35);

// "wavegraph/cuepoint/menu": The context menu of a marker in the waveform view.
inline constexpr TextSlot kWaveGraphMarkerEdit = SlotOf("wavegraph/cuepoint/menu", 0);
inline constexpr TextSlot kWaveGraphMarkerDelete = SlotOf("wavegraph/cuepoint/menu", 1);

// "wavegraph/menu": The waveform view's context menu.
inline constexpr TextSlot kWaveGraphPlaySelection = SlotOf("wavegraph/menu", 0);
inline constexpr TextSlot kWaveGraphCut = SlotOf("wavegraph/menu", 1);
inline constexpr TextSlot kWaveGraphCopy = SlotOf("wavegraph/menu", 2);
inline constexpr TextSlot kWaveGraphPaste = SlotOf("wavegraph/menu", 3);
inline constexpr TextSlot kWaveGraphDelete = SlotOf("wavegraph/menu", 4);
inline constexpr TextSlot kWaveGraphSelectAll = SlotOf("wavegraph/menu", 5);
inline constexpr TextSlot kWaveGraphNewMarker = SlotOf("wavegraph/menu", 6);
inline constexpr TextSlot kWaveGraphZoomSelection = SlotOf("wavegraph/menu", 7);
inline constexpr TextSlot kWaveGraphZoomWhole = SlotOf("wavegraph/menu", 8);
inline constexpr TextSlot kWaveGraphProperties = SlotOf("wavegraph/menu", 9);

// "wavegraph/mixenvelope": The mix envelope: its name, then a point's tooltip
// (%s the position, %+.1f the level in dB) and that of a point at level 0 (%s
// the position).
inline constexpr TextSlot kWaveGraphEnvelopeName = SlotOf("wavegraph/mixenvelope", 0);
inline constexpr TextSlot kWaveGraphEnvelopePoint = SlotOf("wavegraph/mixenvelope", 1);
inline constexpr TextSlot kWaveGraphEnvelopePointSilent = SlotOf("wavegraph/mixenvelope", 2);

// "wavegraph/mixenvelope/menu": The mix envelope's context menu.
inline constexpr TextSlot kWaveGraphEnvelopeAdd = SlotOf("wavegraph/mixenvelope/menu", 0);
inline constexpr TextSlot kWaveGraphEnvelopeDelete = SlotOf("wavegraph/mixenvelope/menu", 1);
inline constexpr TextSlot kWaveGraphEnvelopeDeleteSelection = SlotOf("wavegraph/mixenvelope/menu", 2);

}  // namespace tidemark::text
