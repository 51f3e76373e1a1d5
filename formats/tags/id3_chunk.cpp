#include "formats/tags/internal/id3_chunk.h"

#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/tags/internal/id3_fields.h"
#include "formats/tags/internal/id3v2_reader.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "formats/tags/internal/id3v2_writer.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// An ID3v2 header: a tag of that size holds no frame.
constexpr std::size_t kId3HeaderBytes = 10;

}  // namespace

const ChunkEntry* FindId3Chunk(const ChunkTable& table) {
  for (const ChunkEntry& c : table)
    if (c.id == FourCc("id3 ") || c.id == FourCc("ID3 ")) return &c;
  return nullptr;
}

Error ReadId3Chunk(RandomAccessInput& input, const ChunkEntry& chunk, TagSet* tags, int* version) {
  *tags = TagSet{};
  *version = 0;
  Id3v2Tag tag;
  const std::uint64_t body = std::uint64_t{chunk.offset} + 8;
  // The body's end as the input's length: a tag claiming more is no tag.
  if (const Error rc = ReadId3v2Tag(input, body + chunk.size, body, &tag)) return rc;
  if (!tag.found()) return err::kOk;
  if (const Error rc = Id3v2TagToSet(tag, tags)) return rc;
  *version = tag.version;
  return err::kOk;
}

void FillEmptySlots(TagSet& tags, const TagSet& more) {
  for (std::size_t i = 0; i < kInfoTextCount; ++i) {
    const auto slot = static_cast<InfoText>(i);
    if (TagText(tags, slot).empty() && !TagText(more, slot).empty()) tags.texts[i] = more.texts[i];
  }
}

Error BuildId3ChunkBody(const TagSet& tags, int version, std::vector<std::uint8_t>* body) {
  body->clear();
  Id3Fields fields;
  if (const Error rc = Id3FieldsFromTags(tags, &fields)) return rc;
  Id3v2WriteOptions options;
  options.version = version == 4 ? 4 : 3;
  options.unicode = true;
  if (const Error rc = BuildId3v2Tag(fields, options, {}, true, body)) return rc;
  if (body->size() <= kId3HeaderBytes) body->clear();
  return err::kOk;
}

Error AppendId3Chunk(PosixFile& file, std::uint64_t length, const Container& container, std::uint32_t id,
                     const TagSet& tags, int version) {
  return TryAlloc([&] {
    std::vector<std::uint8_t> body;
    if (const Error rc = BuildId3ChunkBody(tags, version, &body)) return rc;
    if (body.empty()) return err::kOk;
    const ChunkToAppend chunks[] = {{id, body}};
    return AppendChunks(file, length, container, chunks);
  });
}

}  // namespace tidemark
