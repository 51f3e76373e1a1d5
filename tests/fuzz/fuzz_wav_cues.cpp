// Arbitrary bytes as a WAV file with cue points, labels and an INFO list,
// read directly and through the Wave kind's readers (which show RF64 and
// BW64 files as RIFF): reading either fails cleanly or gives markers and
// texts that can be walked and freed.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/file_kind_table.h"
#include "formats/wav/wav_cues.h"

using namespace tidemark;

namespace {

// Texts come from the file, so together they cannot be much longer than it
// (conversion to UTF-8 at most triples a byte).
void CheckMarkers(Error rc, const MarkerList& markers, std::size_t size) {
  if (rc != 0 && !markers.empty()) std::abort();  // a failure keeps no partial list
  std::size_t text = 0;
  for (const Marker* m = markers.first(); m; m = m->next) text += m->name.size() + (m->comment ? m->comment->size() : 0);
  if (text > 3 * size) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryInput input(std::span<const std::uint8_t>(data, size));
  MarkerList markers;
  CheckMarkers(ReadCueList(input, size, &markers), markers, size);

  const FileKindDescription& wave = DescribeFileKind(PcmFileKind::Wave);
  MarkerList viewed;
  CheckMarkers(wave.read_markers(input, size, &viewed), viewed, size);
  TagSet tags;
  if (wave.read_tags(input, size, &tags) != 0 && !IsTagSetEmpty(tags)) std::abort();
  return 0;
}
