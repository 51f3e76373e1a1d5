// Arbitrary bytes as an AU file: the ".snd" probe answers with an error or
// a description whose frames lie inside the file.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/aiff_au/internal/au_probe.h"
#include "formats/chunks/internal/random_access_input.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryInput input(std::span<const std::uint8_t>(data, size));
  SoundFileInfo info;
  if (ProbeAu(input, size, &info) == 0) {
    if (info.channels == 0 || !IsSupportedSampleCode(info.code) || info.kind != PcmFileKind::AU) std::abort();
    const std::uint64_t end =
        info.data_offset + std::uint64_t{info.frames} * info.channels * BytesPerSample(info.code);
    if (info.data_offset < 24 || end > size) std::abort();
  }
  return 0;
}
