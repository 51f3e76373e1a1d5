// The on/off preferences stored in the option words "Options1", "Options2"
// and "Options3" of the settings file: every bit in one place, each with its
// built-in value. Bits not named here are kept as read and written back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tidemark {

inline constexpr int kOptionWordCount = 3;

// word * 32 + bit: word 0 is "Options1", word 1 "Options2", word 2 "Options3".
enum class OptionBit : std::uint8_t {
  // --- Options1: files, editing, working files ---
  // WAV headers for more than 2 bytes per sample use the 80-byte extensible layout.
  kExtensibleWavHeader = 0,
  // File sources always read directly, never through the shared block cache.
  kCachedReadingOff = 1,
  // Edits record no undo steps (the history is cleared instead).
  kUndoRecordingOff = 2,
  // Copy and cut also put the sound on the system clipboard.
  kSystemClipboard = 3,
  // Saving a document that is exactly one working file moves that file to the
  // target instead of copying its samples.
  kSaveByMovingWorkFile = 4,
  // Ask before copying a large user file aside so that it can be overwritten.
  kConfirmLargeDetach = 5,
  // Dither when saving wider or scaled material to 16 bits (off unless the
  // user turns it on, so that a save is an exact conversion by default).
  kDitherTo16Bits = 6,
  // Ask before discarding changes, overwriting files and similar steps.
  kConfirmations = 7,
  // The document active before the program closed is shown maximised when the
  // workspace is restored.
  kMaximizeRestoredDocument = 8,
  // Keep the workspace (documents, undo histories, working files) from one run
  // to the next. The main frame also keeps this preference on its own, since
  // it decides the exit path.
  kKeepWorkspace = 16,
  // While the workspace is kept, it is written after every command that
  // changes it, so that a crash loses at most the command in progress.
  kWorkspaceAutosave = 17,

  // --- Options2: file formats and tags ---
  // Writing tags stamps the software name into the file.
  kSoftwareNameStamp = 32 + 0,
  // ID3v2 tags are written as version 2.4 (off: version 2.3).
  kId3v2Version4 = 32 + 1,
  // ID3v2 text that is not plain ASCII is written as UTF-16 (off: the
  // multibyte code page).
  kId3v2Unicode = 32 + 2,
  // ID3v2 tags are unsynchronised when they need it.
  kId3v2Unsynchronisation = 32 + 3,
  // 1-bit (DSD) files convert to PCM at no more than 48 kHz.
  kOneBitOutputMax48k = 32 + 4,
  // ".m4a" and ".mp4" files open through the MP4 decoder.
  kMp4Decoder = 32 + 5,

  // --- Options3: playback and recording ---
  // Playback uses 24-bit output instead of 16-bit.
  kPlayback24Bit = 64 + 0,
  // The display stays on while recording.
  kKeepDisplayAwakeWhileRecording = 64 + 1,
  // The screen saver is switched off while recording.
  kScreenSaverOffWhileRecording = 64 + 2,
};

constexpr int OptionWordIndex(OptionBit bit) { return static_cast<int>(bit) / 32; }
constexpr std::uint32_t OptionMask(OptionBit bit) {
  return std::uint32_t{1} << (static_cast<unsigned>(bit) % 32);
}

// Every named option with its built-in value.
struct OptionDefault {
  OptionBit bit;
  bool on;
};

inline constexpr std::array<OptionDefault, 20> kOptionDefaults = {{
    {OptionBit::kExtensibleWavHeader, false},
    {OptionBit::kCachedReadingOff, false},
    {OptionBit::kUndoRecordingOff, false},
    {OptionBit::kSystemClipboard, true},
    {OptionBit::kSaveByMovingWorkFile, true},
    {OptionBit::kConfirmLargeDetach, true},
    {OptionBit::kDitherTo16Bits, false},
    {OptionBit::kConfirmations, true},
    {OptionBit::kMaximizeRestoredDocument, false},
    {OptionBit::kKeepWorkspace, false},
    {OptionBit::kWorkspaceAutosave, true},
    {OptionBit::kSoftwareNameStamp, true},
    {OptionBit::kId3v2Version4, false},
    {OptionBit::kId3v2Unicode, true},
    {OptionBit::kId3v2Unsynchronisation, false},
    {OptionBit::kOneBitOutputMax48k, false},
    {OptionBit::kMp4Decoder, true},
    {OptionBit::kPlayback24Bit, false},
    {OptionBit::kKeepDisplayAwakeWhileRecording, false},
    {OptionBit::kScreenSaverOffWhileRecording, true},
}};

// Every named bit appears once in the table.
constexpr bool OptionDefaultsAreUnique() {
  for (std::size_t i = 0; i < kOptionDefaults.size(); ++i)
    for (std::size_t k = i + 1; k < kOptionDefaults.size(); ++k)
      if (kOptionDefaults[i].bit == kOptionDefaults[k].bit) return false;
  return true;
}
static_assert(OptionDefaultsAreUnique(), "an option bit is listed twice");

// The three option words with every built-in value applied.
constexpr std::array<std::uint32_t, kOptionWordCount> DefaultOptionWords() {
  std::array<std::uint32_t, kOptionWordCount> words{};
  for (const OptionDefault& d : kOptionDefaults)
    if (d.on) words[static_cast<std::size_t>(OptionWordIndex(d.bit))] |= OptionMask(d.bit);
  return words;
}

}  // namespace tidemark
