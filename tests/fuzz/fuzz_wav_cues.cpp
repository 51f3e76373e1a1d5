// Arbitrary bytes as a WAV file with cue points and labels: reading them
// either fails cleanly or gives markers that can be walked and freed.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/wav/wav_cues.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryInput input(std::span<const std::uint8_t>(data, size));
  MarkerList markers;
  const Error rc = ReadCueList(input, size, &markers);
  if (rc != 0 && !markers.empty()) std::abort();  // a failure keeps no partial list
  std::size_t text = 0;
  for (const Marker* m = markers.first(); m; m = m->next) text += m->name.size() + (m->comment ? m->comment->size() : 0);
  // Texts come from the file, so together they cannot be much longer than it
  // (conversion to UTF-8 at most triples a byte).
  if (text > 3 * size) std::abort();
  return 0;
}
