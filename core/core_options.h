// The options the sound data core reads. The application fills the
// process-wide record from its settings at start-up (before any worker thread
// runs); tests fill it directly. The core never reads the settings itself.
#pragma once

#include <string>

#include "dsp/resample/resample.h"

namespace tidemark {

struct CoreOptions {
  // Headers of more than 2 bytes per sample use the 80-byte extensible WAV layout.
  bool extensible_wav_header = false;
  // File sources always read directly, never through the shared block cache.
  bool cached_reading_disabled = false;
  // Ask before detaching a source from a user's file of more than 0x1FFFFFF data bytes.
  bool confirm_large_detach = true;
  // A working-folder base given by the host or the command line; wins when not empty.
  std::string host_work_folder;
  // The configured working-folder base; environment references are expanded
  // when it is used.
  std::string work_folder_setting = "%TEMP%";
  // The subfolder of the base that holds the working files.
  std::string work_subfolder = "__tide__";
  // Undo recording switched off (the settings option): every
  // change clears the history instead of adding to it.
  bool undo_recording_disabled = false;
  // Writing tags into a sound file sets its Software text to the program's
  // name and version first.
  bool software_name_stamp = true;
  // 1-bit files convert to PCM at no more than 48 kHz.
  bool one_bit_output_max_48k = false;
  // Copy and cut also put the program's clip on the system clipboard, and a
  // paste without a clip of the program's own reads the system clipboard.
  bool use_system_clipboard = true;
  // ID3v2 tags written into files (the DSF metadata block) are version 2.4
  // (off: 2.3), write text that is not plain ASCII as UTF-16 (off: in the
  // multibyte code page), and are unsynchronised where they need it.
  bool id3v2_version4 = false;
  bool id3v2_unicode = true;
  bool id3v2_unsynchronisation = false;
  // The sample-rate converter's options (format changes, pasting clips of
  // another rate).
  dsp::ResampleOptions resample;
};

// The process-wide options record.
inline CoreOptions& MutableCoreOptions() {
  static CoreOptions options;
  return options;
}
inline const CoreOptions& GetCoreOptions() { return MutableCoreOptions(); }

}  // namespace tidemark
