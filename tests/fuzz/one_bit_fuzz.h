// What the three 1-bit reader fuzz targets share: the input written to a
// memory file that the readers open by path, and one pass over every
// operation of a reader with the invariants that must hold whatever the
// bytes are.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/markers/marker.h"
#include "formats/one_bit/one_bit_audio.h"
#include "formats/tags/tag_set.h"
#include "platform/narrow_codeset.h"

namespace tidemark::fuzz {

// The path of a memory file that holds exactly `data`; the same file is
// reused for every input.
inline std::string InputPath(const std::uint8_t* data, std::size_t size) {
  static const int fd = ::memfd_create("one_bit_fuzz", MFD_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

inline std::size_t TextBytes(const MarkerList& markers) {
  std::size_t n = 0;
  for (const Marker* m = markers.first(); m; m = m->next) n += m->name.size() + (m->comment ? m->comment->size() : 0);
  return n;
}

// Opens the input with `reader` and, when that works, calls everything.
// `dsf_layout` says whether the format stores DSF blocks.
inline void ExerciseOneBitReader(NS_1BIT::COneBitAudio& reader, const std::uint8_t* data, std::size_t size,
                                 bool dsf_layout) {
  // Half the inputs read their texts as a double-byte code page, where
  // name cuts must not split a character.
  SetNarrowCodesetForTesting(size && (data[size - 1] & 1) ? "CP932" : "UTF-8");
  const std::string path = InputPath(data, size);
  const Error opened = reader.Open(path);
  if (reader.CheckLimits(0, ~0u, 0, 0xFFFF) != (opened == 0 ? 0u : 77u)) std::abort();
  if (opened != 0) return;

  if (reader.Open(path) != 77) std::abort();
  if (reader.SampleRate() == 0 || reader.Channels() == 0) std::abort();
  if (reader.DataOffset() > size || reader.DataSize() > size - reader.DataOffset()) std::abort();
  const bool is_dsf = reader.layout() != NS_1BIT::OneBitLayout::kByteInterleaved;
  if (is_dsf != dsf_layout) std::abort();
  const Error limits = reader.CheckLimits(1411200, 12288000, 1, 2);
  const bool inside = reader.SampleRate() >= 1411200 && reader.SampleRate() <= 12288000 && reader.Channels() <= 2;
  if (limits != (inside ? 0u : 15u)) std::abort();

  // Markers come out in frames of the document, never past the last frame,
  // and a failure adds nothing. Texts are at most a few times the input.
  MarkerList markers;
  for (const std::uint32_t rate : {44100u, 48000u, 352800u, reader.SampleRate() / 64, 1u}) {
    const std::size_t before = markers.size();
    const Error rc = reader.ReadMarkers(markers, rate);
    if (rc != 0 && markers.size() != before) std::abort();
  }
  for (const Marker* m = markers.first(); m; m = m->next)
    if (m->position > 0xFFFF0000u) std::abort();
  if (TextBytes(markers) > 5 * (3 * size + 32)) std::abort();

  TagSet tags;
  if (reader.ReadTags(tags) == 0) {
    std::size_t text = 0;
    for (const auto& slot : tags.texts) text += slot ? slot->size() : 0;
    if (text > 6 * size + 64) std::abort();
  } else if (!IsTagSetEmpty(tags)) {
    std::abort();  // a failure leaves the set as it was
  }

  reader.Close();
  if (reader.CheckLimits(0, ~0u, 0, 0xFFFF) != 77) std::abort();
}

}  // namespace tidemark::fuzz
