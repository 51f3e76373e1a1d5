#include "formats/wav/internal/wav_kinds.h"

#include <utility>

#include "core/io/wave_header.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/container.h"
#include "formats/tags/internal/wav_info.h"
#include "formats/wav/internal/wav_patch.h"
#include "formats/wav/wav_cues.h"
#include "formats/wav/wav_probe.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::string_view kWaveExtensions[] = {"wav"};
// RF64 and BW64 are the WAV files that outgrow 32-bit sizes.
constexpr std::uint32_t kWaveMagics[] = {FourCc("RIFF"), FourCc("RF64"), FourCc("BW64")};

// Markers and texts of an RF64 or BW64 file are read through its RIFF view,
// so that the readers of plain WAV files serve it too. The writers are not
// wrapped: such a file is never edited in place, only saved as RIFF.
template <typename Out, Error (*Read)(RandomAccessInput&, std::uint64_t, Out*)>
Error ReadThroughRiffView(RandomAccessInput& input, std::uint64_t length, Out* out) {
  std::uint8_t magic[4];
  if (length < sizeof magic || input.ReadExact(magic, sizeof magic, 0) != err::kOk || !IsRf64Magic(LoadLe32(magic)))
    return Read(input, length, out);
  *out = Out();
  RiffView view;
  if (const Error rc = ViewRf64AsRiff(input, length, &view)) return rc;
  PatchedInput riff(input, view.length, std::move(view.patches));
  return Read(riff, view.length, out);
}

// `probed`: whether opening may recognise the kind by its header.
constexpr FileKindDescription WavFile(PcmFileKind kind, std::span<const std::string_view> extensions, bool probed) {
  FileKindDescription d;
  d.kind = kind;
  d.extensions = extensions;
  d.header = &kWaveHeaderFormat;
  d.container = &kRiffContainer;
  d.unsigned_bytes = true;
  if (probed) d.magics = kWaveMagics;
  d.probe = probed ? ProbeWave : nullptr;
  d.patch_rate = PatchWaveRate;
  d.read_tags = ReadThroughRiffView<TagSet, ReadInfoList>;
  d.write_tags = AppendInfoList;
  d.nothing_to_write = IsTagSetEmpty;
  d.read_markers = ReadThroughRiffView<MarkerList, ReadCueList>;
  d.write_markers = AppendCueList;
  return d;
}

}  // namespace

// A working file is never probed as one: it opens as Wave.
constinit const FileKindDescription kTempFileKind = WavFile(PcmFileKind::Temp, {}, false);
constinit const FileKindDescription kWaveFileKind = WavFile(PcmFileKind::Wave, kWaveExtensions, true);

}  // namespace tidemark
