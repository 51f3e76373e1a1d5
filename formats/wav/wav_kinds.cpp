#include "formats/wav/internal/wav_kinds.h"

#include "core/io/wave_header.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/container.h"
#include "formats/tags/internal/wav_info.h"
#include "formats/wav/internal/wav_patch.h"
#include "formats/wav/wav_cues.h"
#include "formats/wav/wav_probe.h"

namespace tidemark {
namespace {

constexpr std::string_view kWaveExtensions[] = {"wav"};

// `probed`: whether opening may recognise the kind by its header.
constexpr FileKindDescription WavFile(PcmFileKind kind, std::span<const std::string_view> extensions, bool probed) {
  FileKindDescription d;
  d.kind = kind;
  d.extensions = extensions;
  d.header = &kWaveHeaderFormat;
  d.container = &kRiffContainer;
  d.unsigned_bytes = true;
  d.magic = probed ? FourCc("RIFF") : 0;
  d.probe = probed ? ProbeWave : nullptr;
  d.patch_rate = PatchWaveRate;
  d.read_tags = ReadInfoList;
  d.write_tags = AppendInfoList;
  d.nothing_to_write = IsTagSetEmpty;
  d.read_markers = ReadCueList;
  d.write_markers = AppendCueList;
  return d;
}

}  // namespace

// A working file is never probed as one: it opens as Wave.
constinit const FileKindDescription kTempFileKind = WavFile(PcmFileKind::Temp, {}, false);
constinit const FileKindDescription kWaveFileKind = WavFile(PcmFileKind::Wave, kWaveExtensions, true);

}  // namespace tidemark
