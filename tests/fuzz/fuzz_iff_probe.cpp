// Arbitrary bytes as an AIFF or AIFC file: the FORM probe answers with an
// error or a description whose samples start inside the file, and the
// marker reader fails cleanly or gives markers that can be walked and freed
// (the sanitizers watch every read).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/aiff_au/internal/iff_markers.h"
#include "formats/aiff_au/internal/iff_probe.h"
#include "formats/chunks/internal/random_access_input.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryInput input(std::span<const std::uint8_t>(data, size));
  SoundFileInfo info;
  if (ProbeIff(input, size, &info) == 0) {
    if (info.channels == 0 || !IsSupportedSampleCode(info.code)) std::abort();
    if (info.data_offset < 12 + 16 || info.data_offset > size) std::abort();
    if (info.kind != PcmFileKind::AIFF && info.kind != PcmFileKind::AIFC) std::abort();
  }
  MarkerList markers;
  const Error rc = ReadIffMarkers(input, size, &markers);
  if (rc != 0 && !markers.empty()) std::abort();  // a failure keeps no partial list
  std::size_t text = 0;
  for (const Marker* m = markers.first(); m; m = m->next) text += m->name.size() + (m->comment ? m->comment->size() : 0);
  // Texts come from the file; conversion to UTF-8 at most triples a byte.
  if (text > 3 * size) std::abort();
  return 0;
}
