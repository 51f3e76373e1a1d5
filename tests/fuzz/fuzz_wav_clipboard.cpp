// Arbitrary bytes as a clipboard WAVE image: the acceptance check stays
// inside the block and only accepts layouts whose samples lie in it.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/wav/internal/wav_clipboard.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> block(data, size);
  const PasteTarget targets[] = {{44100, 2}, {48000, 1}};
  WaveImageLayout layout;
  const bool for_new = ParseWaveImage(block, nullptr, &layout);
  if (for_new) {
    const std::uint64_t end =
        layout.data_offset + std::uint64_t{layout.frames} * BytesPerSample(layout.code) * layout.channels;
    if (layout.frames == 0 || end > size) std::abort();
    if (layout.channels < 1 || layout.channels > 2) std::abort();
  }
  for (const PasteTarget& t : targets) {
    if (ParseWaveImage(block, &t, &layout) && (layout.channels != t.channels || layout.rate != t.rate)) std::abort();
  }
  return 0;
}
