// The branch of the PCM probe for files that start with "FORM" or ".snd".
#include "formats/aiff_au/internal/au_probe.h"
#include "formats/chunks/byte_order.h"
#include "formats/aiff_au/internal/iff_probe.h"
#include "formats/wav/wav_probe.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error ProbeIffOrAu(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  std::uint8_t magic[4];
  if (length < 4) return err::kMalformed;
  if (const Error rc = input.ReadExact(magic, sizeof magic, 0)) return rc;
  const std::uint32_t id = LoadLe32(magic);
  if (id == FourCc("FORM")) return ProbeIff(input, length, info);
  if (id == FourCc(".snd")) return ProbeAu(input, length, info);
  return err::kMalformed;
}

}  // namespace tidemark
