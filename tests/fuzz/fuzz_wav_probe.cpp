// Arbitrary bytes as a sound file: the PCM probe and the compressed-WAV
// facts must answer with an error or a description whose data lies inside
// the file, and never read outside it (the sanitizers watch).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/pcm_probe.h"
#include "formats/wav/internal/wav_patch.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryInput input(std::span<const std::uint8_t>(data, size));
  SoundFileInfo info;
  if (ProbePcm(input, size, &info) == 0) {
    if (info.channels == 0 || info.data_offset < 12 || info.data_offset > size) std::abort();
    if (BytesPerSample(info.code) == 0) std::abort();
  }
  CompressedWaveFacts facts;
  if (ReadCompressedWaveFacts(input, size, &facts) == 0) {
    if (facts.data_offset + std::uint64_t{facts.data_size} > size) std::abort();
  }
  return 0;
}
