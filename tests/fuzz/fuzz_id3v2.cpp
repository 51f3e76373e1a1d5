// Arbitrary bytes as an ID3v2 tag: reading gives frames, a tag set and
// markers without reading outside the input; the tag built again from the
// set's fields reads back with the same title.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/tags/internal/id3_fields.h"
#include "formats/tags/internal/id3v1.h"
#include "formats/tags/internal/id3v2_reader.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "formats/tags/internal/id3v2_writer.h"
#include "formats/chunks/internal/random_access_input.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryInput input(std::span<const std::uint8_t>(data, size));
  Id3v2Tag tag;
  if (ReadId3v2Tag(input, size, 0, &tag) != 0) return 0;
  if (tag.found() && tag.size > size + 10) std::abort();  // only a footer may lie past the input
  TagSet tags;
  MarkerList markers;
  if (Id3v2TagToSet(tag, &tags) != 0 || Id3v2TagMarkers(tag, 48000, &markers) != 0) return 0;

  Id3Fields fields;
  if (Id3FieldsFromTags(tags, &fields) != 0) return 0;
  std::array<std::uint8_t, kId3v1Size> v1{};
  if (BuildId3v1Tag(fields, &v1) != 0) return 0;
  // Vary the options with the input; UTF-16 keeps any title exactly.
  const std::uint8_t bits = size ? data[size - 1] : 0;
  const Id3v2WriteOptions options{bits & 1 ? 4 : 3, true, (bits & 2) != 0};
  std::vector<std::uint8_t> built;
  if (BuildId3v2Tag(fields, options, {}, (bits & 4) != 0, &built) != 0) return 0;
  Id3v2Tag again;
  TagSet back;
  if (ParseId3v2Tag(built, &again) != 0 || Id3v2TagToSet(again, &back) != 0) return 0;
  if (!again.found() || TagText(back, InfoText::Name) != TagText(tags, InfoText::Name)) std::abort();
  return 0;
}
