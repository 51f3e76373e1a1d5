// Recognising a WAV file and describing its samples, and showing an RF64 or
// BW64 file as the RIFF file the WAV readers know.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

// Describes the WAV file of `length` bytes on `input`: rate, channels,
// sample code, frames and data offset, kind Wave. A RIFF file is at most
// 0xFFFFFFFE bytes long; an RF64 or BW64 file may be longer (see RiffView).
// Only the first "fmt ", "fact" and "data" chunks count. The format body is
// 16 bytes or more for PCM; 16, or 18 and more with an extra-size field that
// fits the body, for IEEE float; exactly 40 for the extensible form, whose
// sub-format is PCM or IEEE float. The frame count of an RF64 file comes
// from its 64-bit sizes and is saturated at 0xFFFFFFFF, which the open
// limits refuse with 12. 14 when the file is malformed or
// lacks "fmt " or "data"; 33 at once for a format tag other than PCM, IEEE
// float or extensible (the compressed-WAV decoder's files); 15 for a sample
// width the sample code cannot express (above 15 bytes); 8 on a read failure;
// 2. `info` is filled only on success (markers and tags untouched).
[[nodiscard]] Error ProbeWave(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);

// Whether `magic` (the first four bytes as FourCc) starts an RF64 or BW64 file.
bool IsRf64Magic(std::uint32_t magic);

// An RF64 or BW64 file as the RIFF file that the readers of plain WAV files
// understand. Such a file starts "RF64" or "BW64" instead of "RIFF", its
// first chunk is "ds64" (64-bit RIFF size, data size and sample count, then
// a table of 64-bit sizes of other chunks), and a 32-bit size field of
// 0xFFFFFFFF stands for the 64-bit value ("data" from the chunk; the n-th
// such chunk of another id from the n-th table entry of that id; without
// one, and for any other value, the stored size stands). The view shows "RIFF"
// and the sizes that fit 32 bits, and ends at the container's end or at
// 0xFFFFFFFE bytes: chunks beyond that are not shown, and a "data" chunk
// that crosses it is shortened to end there.
struct RiffView {
  std::uint64_t length = 0;                   // bytes of the view
  std::vector<PatchedInput::Patch> patches;   // what differs from the file
  std::uint64_t data_size = 0;                // of the first "data" chunk, whole
  bool chunk_after_data = false;              // another chunk follows that one
  std::uint64_t sample_count = 0;             // the "ds64" sample count
};

// Reads the RF64 or BW64 file of `length` bytes on `input` into `view`. 14
// when it is not one or is malformed by the rules of a RIFF file (a
// container or chunk that claims more bytes than there are, a "ds64" body
// under 28 bytes or not first); 8; 2.
[[nodiscard]] Error ViewRf64AsRiff(RandomAccessInput& input, std::uint64_t length, RiffView* view);

}  // namespace tidemark
