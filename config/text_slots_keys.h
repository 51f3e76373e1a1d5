// Names for the UI text slots of the key assignments and the console commands.
#pragma once

#include "config/text_slot.h"

namespace tidemark::text {

// "keyassign/desc": Descriptions of the assignable commands; the console editor
// prints them as the help of its commands. Texts 0 to 32 are the console
// commands in the order of its command table; the rest are playback, recording,
// effects, format change, scripts, settings, the workspace and the view.
inline constexpr TextSlot kKeyDescOpen = SlotOf("keyassign/desc", 0);
inline constexpr TextSlot kKeyDescOpenRaw = SlotOf("keyassign/desc", 1);
inline constexpr TextSlot kKeyDescNew = SlotOf("keyassign/desc", 2);
inline constexpr TextSlot kKeyDescDocs = SlotOf("keyassign/desc", 3);
inline constexpr TextSlot kKeyDescUse = SlotOf("keyassign/desc", 4);
inline constexpr TextSlot kKeyDescClose = SlotOf("keyassign/desc", 5);
inline constexpr TextSlot kKeyDescCloseForce = SlotOf("keyassign/desc", 6);
inline constexpr TextSlot kKeyDescInfo = SlotOf("keyassign/desc", 7);
inline constexpr TextSlot kKeyDescSelect = SlotOf("keyassign/desc", 8);
inline constexpr TextSlot kKeyDescChannels = SlotOf("keyassign/desc", 9);
inline constexpr TextSlot kKeyDescDelete = SlotOf("keyassign/desc", 10);
inline constexpr TextSlot kKeyDescCut = SlotOf("keyassign/desc", 11);
inline constexpr TextSlot kKeyDescCopy = SlotOf("keyassign/desc", 12);
inline constexpr TextSlot kKeyDescPaste = SlotOf("keyassign/desc", 13);
inline constexpr TextSlot kKeyDescPasteOver = SlotOf("keyassign/desc", 14);
inline constexpr TextSlot kKeyDescPasteOverwrite = SlotOf("keyassign/desc", 15);
inline constexpr TextSlot kKeyDescMixPaste = SlotOf("keyassign/desc", 16);
inline constexpr TextSlot kKeyDescMixPasteSubtract = SlotOf("keyassign/desc", 17);
inline constexpr TextSlot kKeyDescSilence = SlotOf("keyassign/desc", 18);
inline constexpr TextSlot kKeyDescInsertSilence = SlotOf("keyassign/desc", 19);
inline constexpr TextSlot kKeyDescGain = SlotOf("keyassign/desc", 20);
inline constexpr TextSlot kKeyDescOffset = SlotOf("keyassign/desc", 21);
inline constexpr TextSlot kKeyDescUndo = SlotOf("keyassign/desc", 22);
inline constexpr TextSlot kKeyDescRedo = SlotOf("keyassign/desc", 23);
inline constexpr TextSlot kKeyDescHistory = SlotOf("keyassign/desc", 24);
inline constexpr TextSlot kKeyDescMarker = SlotOf("keyassign/desc", 25);
inline constexpr TextSlot kKeyDescRegion = SlotOf("keyassign/desc", 26);
inline constexpr TextSlot kKeyDescTag = SlotOf("keyassign/desc", 27);
inline constexpr TextSlot kKeyDescSave = SlotOf("keyassign/desc", 28);
inline constexpr TextSlot kKeyDescSaveAs = SlotOf("keyassign/desc", 29);
inline constexpr TextSlot kKeyDescOnError = SlotOf("keyassign/desc", 30);
inline constexpr TextSlot kKeyDescHelp = SlotOf("keyassign/desc", 31);
inline constexpr TextSlot kKeyDescQuit = SlotOf("keyassign/desc", 32);
inline constexpr TextSlot kKeyDescPlay = SlotOf("keyassign/desc", 33);
inline constexpr TextSlot kKeyDescPlayLoop = SlotOf("keyassign/desc", 34);
inline constexpr TextSlot kKeyDescPlayFromCursor = SlotOf("keyassign/desc", 35);
inline constexpr TextSlot kKeyDescPlayAll = SlotOf("keyassign/desc", 36);
inline constexpr TextSlot kKeyDescStop = SlotOf("keyassign/desc", 37);
inline constexpr TextSlot kKeyDescPause = SlotOf("keyassign/desc", 38);
inline constexpr TextSlot kKeyDescRecord = SlotOf("keyassign/desc", 39);
inline constexpr TextSlot kKeyDescEffect = SlotOf("keyassign/desc", 40);
inline constexpr TextSlot kKeyDescEffectChain = SlotOf("keyassign/desc", 41);
inline constexpr TextSlot kKeyDescNormalize = SlotOf("keyassign/desc", 42);
inline constexpr TextSlot kKeyDescFade = SlotOf("keyassign/desc", 43);
inline constexpr TextSlot kKeyDescPan = SlotOf("keyassign/desc", 44);
inline constexpr TextSlot kKeyDescMonoOutput = SlotOf("keyassign/desc", 45);
inline constexpr TextSlot kKeyDescSwapChannels = SlotOf("keyassign/desc", 46);
inline constexpr TextSlot kKeyDescMidSide = SlotOf("keyassign/desc", 47);
inline constexpr TextSlot kKeyDescTimeReverse = SlotOf("keyassign/desc", 48);
inline constexpr TextSlot kKeyDescSignReverse = SlotOf("keyassign/desc", 49);
inline constexpr TextSlot kKeyDescDelay = SlotOf("keyassign/desc", 50);
inline constexpr TextSlot kKeyDescParametricEq = SlotOf("keyassign/desc", 51);
inline constexpr TextSlot kKeyDescGraphicEq = SlotOf("keyassign/desc", 52);
inline constexpr TextSlot kKeyDescLowpassHighpass = SlotOf("keyassign/desc", 53);
inline constexpr TextSlot kKeyDescCompress = SlotOf("keyassign/desc", 54);
inline constexpr TextSlot kKeyDescLimiter = SlotOf("keyassign/desc", 55);
inline constexpr TextSlot kKeyDescPitchChange = SlotOf("keyassign/desc", 56);
inline constexpr TextSlot kKeyDescVoicePitch = SlotOf("keyassign/desc", 57);
inline constexpr TextSlot kKeyDescDoppler = SlotOf("keyassign/desc", 58);
inline constexpr TextSlot kKeyDescFirFile = SlotOf("keyassign/desc", 59);
inline constexpr TextSlot kKeyDescReverb = SlotOf("keyassign/desc", 60);
inline constexpr TextSlot kKeyDescClickRemoval = SlotOf("keyassign/desc", 61);
inline constexpr TextSlot kKeyDescHissReduction = SlotOf("keyassign/desc", 62);
inline constexpr TextSlot kKeyDescStatistics = SlotOf("keyassign/desc", 63);
inline constexpr TextSlot kKeyDescSineGenerator = SlotOf("keyassign/desc", 64);
inline constexpr TextSlot kKeyDescNoiseGenerator = SlotOf("keyassign/desc", 65);
inline constexpr TextSlot kKeyDescFormatChange = SlotOf("keyassign/desc", 66);
inline constexpr TextSlot kKeyDescScript = SlotOf("keyassign/desc", 67);
inline constexpr TextSlot kKeyDescSettings = SlotOf("keyassign/desc", 68);
inline constexpr TextSlot kKeyDescWorkspace = SlotOf("keyassign/desc", 69);
inline constexpr TextSlot kKeyDescZoom = SlotOf("keyassign/desc", 70);

// "keyassign/group": The groups that the keyboard settings sort the commands into.
inline constexpr TextSlot kKeyGroupFile = SlotOf("keyassign/group", 0);
inline constexpr TextSlot kKeyGroupEdit = SlotOf("keyassign/group", 1);
inline constexpr TextSlot kKeyGroupView = SlotOf("keyassign/group", 2);
inline constexpr TextSlot kKeyGroupPlayback = SlotOf("keyassign/group", 3);
inline constexpr TextSlot kKeyGroupRecording = SlotOf("keyassign/group", 4);
inline constexpr TextSlot kKeyGroupEffects = SlotOf("keyassign/group", 5);
inline constexpr TextSlot kKeyGroupTools = SlotOf("keyassign/group", 6);
inline constexpr TextSlot kKeyGroupWindowHelp = SlotOf("keyassign/group", 7);

// "keyassign/keyname": Names of the keys without a printable character; in
// kKeyNameNumpad, %s is the character of the numeric keypad key.
inline constexpr TextSlot kKeyNameSpace = SlotOf("keyassign/keyname", 0);
inline constexpr TextSlot kKeyNameEnter = SlotOf("keyassign/keyname", 1);
inline constexpr TextSlot kKeyNameEscape = SlotOf("keyassign/keyname", 2);
inline constexpr TextSlot kKeyNameTab = SlotOf("keyassign/keyname", 3);
inline constexpr TextSlot kKeyNameBackspace = SlotOf("keyassign/keyname", 4);
inline constexpr TextSlot kKeyNameDelete = SlotOf("keyassign/keyname", 5);
inline constexpr TextSlot kKeyNameInsert = SlotOf("keyassign/keyname", 6);
inline constexpr TextSlot kKeyNameHome = SlotOf("keyassign/keyname", 7);
inline constexpr TextSlot kKeyNameEnd = SlotOf("keyassign/keyname", 8);
inline constexpr TextSlot kKeyNamePageUp = SlotOf("keyassign/keyname", 9);
inline constexpr TextSlot kKeyNamePageDown = SlotOf("keyassign/keyname", 10);
inline constexpr TextSlot kKeyNameLeft = SlotOf("keyassign/keyname", 11);
inline constexpr TextSlot kKeyNameRight = SlotOf("keyassign/keyname", 12);
inline constexpr TextSlot kKeyNameUp = SlotOf("keyassign/keyname", 13);
inline constexpr TextSlot kKeyNameDown = SlotOf("keyassign/keyname", 14);
inline constexpr TextSlot kKeyNamePause = SlotOf("keyassign/keyname", 15);
inline constexpr TextSlot kKeyNameMenu = SlotOf("keyassign/keyname", 16);
inline constexpr TextSlot kKeyNameShift = SlotOf("keyassign/keyname", 17);
inline constexpr TextSlot kKeyNameCtrl = SlotOf("keyassign/keyname", 18);
inline constexpr TextSlot kKeyNameAlt = SlotOf("keyassign/keyname", 19);
inline constexpr TextSlot kKeyNameNumpad = SlotOf("keyassign/keyname", 20);

// "console/help": the help of the console commands that have no key
// assignment of their own.
inline constexpr TextSlot kCommandHelpFindSilence = SlotOf("console/help", 0);
inline constexpr TextSlot kCommandHelpDeleteSilence = SlotOf("console/help", 1);
inline constexpr TextSlot kCommandHelpFormat = SlotOf("console/help", 2);
inline constexpr TextSlot kCommandHelpRate = SlotOf("console/help", 3);
inline constexpr TextSlot kCommandHelpStretch = SlotOf("console/help", 4);
inline constexpr TextSlot kCommandHelpPitchSpeed = SlotOf("console/help", 5);
inline constexpr TextSlot kCommandHelpEffects = SlotOf("console/help", 6);
inline constexpr TextSlot kCommandHelpPreset = SlotOf("console/help", 7);
inline constexpr TextSlot kCommandHelpChain = SlotOf("console/help", 8);
inline constexpr TextSlot kCommandHelpNoiseSample = SlotOf("console/help", 9);
inline constexpr TextSlot kCommandHelpPicture = SlotOf("console/help", 10);
inline constexpr TextSlot kCommandHelpShow = SlotOf("console/help", 11);
inline constexpr TextSlot kCommandHelpPlay = SlotOf("console/help", 12);
inline constexpr TextSlot kCommandHelpPause = SlotOf("console/help", 13);
inline constexpr TextSlot kCommandHelpStop = SlotOf("console/help", 14);
inline constexpr TextSlot kCommandHelpVolume = SlotOf("console/help", 15);
inline constexpr TextSlot kCommandHelpDevices = SlotOf("console/help", 16);
inline constexpr TextSlot kCommandHelpDevice = SlotOf("console/help", 17);
inline constexpr TextSlot kCommandHelpEncoders = SlotOf("console/help", 18);
inline constexpr TextSlot kCommandHelpProject = SlotOf("console/help", 19);
inline constexpr TextSlot kCommandHelpRecordReplace = SlotOf("console/help", 20);

}  // namespace tidemark::text
