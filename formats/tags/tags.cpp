#include "formats/tags/tags.h"

#include "core/core_options.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/file_kind_table.h"
#include "formats/tags/internal/id3_chunk.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

Error Public(Error rc) { return rc == err::kMalformed ? err::kLayoutMismatch : rc; }

// The chunks (or header field) that hold the texts of a kind, as a notice names them.
std::string TextStoreName(const FileKindDescription& d) {
  if (!d.container) return "annotation";
  return d.container->big_endian ? "NAME, AUTH, (c), ANNO" : "LIST INFO";
}

// A chunk identifier as text, without trailing blanks.
std::string ChunkName(std::uint32_t id) {
  std::uint8_t bytes[4];
  StoreFourCc(bytes, id);
  std::string name(reinterpret_cast<const char*>(bytes), 4);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

}  // namespace

TagSet StampedTags(const TagSet& tags) {
  TagSet out = tags;
  if (GetCoreOptions().software_name_stamp) SetTagText(out, InfoText::Software, kSoftwareStamp);
  return out;
}

Error ReadTagsSkipping(const std::string& path, PcmFileKind kind, TagSet* tags,
                       std::vector<SkippedMetadata>* skipped) {
  *tags = TagSet{};
  const FileKindDescription& d = DescribeFileKind(kind);
  if (!d.read_tags) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  if (length > kLargestFile) return err::kLayoutMismatch;
  FileInput input(file);
  return TryAlloc([&] {
    TagSet read;
    if (const Error rc = d.read_tags(input, length, &read))
      skipped->push_back({SkippedMetadata::Kind::kTags, TextStoreName(d), Public(rc)});
    ChunkTable table;
    // A table that does not read has cost the text store already.
    if (d.container && ReadFileChunkTable(input, length, *d.container, &table) == err::kOk) {
      if (const ChunkEntry* chunk = FindId3Chunk(table)) {
        TagSet id3;
        int version = 0;
        if (const Error rc = ReadId3Chunk(input, *chunk, &id3, &version))
          skipped->push_back({SkippedMetadata::Kind::kTags, ChunkName(chunk->id), rc});
        else
          FillEmptySlots(read, id3);
      }
    }
    *tags = std::move(read);
    return err::kOk;
  }, [&] { *tags = TagSet{}; });
}

Error ReadTags(const std::string& path, PcmFileKind kind, TagSet* tags) {
  return TryAlloc([&] {
    std::vector<SkippedMetadata> skipped;
    if (const Error rc = ReadTagsSkipping(path, kind, tags, &skipped)) return rc;
    if (skipped.empty()) return err::kOk;
    *tags = TagSet{};
    return skipped.front().error;
  });
}

Error WriteTags(const std::string& path, PcmFileKind kind, const TagSet& tags) {
  const FileKindDescription& d = DescribeFileKind(kind);
  if (!d.write_tags) return err::kOk;
  return TryAlloc([&] {
    const TagSet stamped = StampedTags(tags);
    if (d.nothing_to_write(stamped)) return err::kOk;
    PosixFile file;
    std::uint64_t length = 0;
    if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
    const Error rc = d.write_tags(file, length, stamped);
    const Error close_rc = file.Close();
    return rc ? Public(rc) : (close_rc ? err::kWriteFailed : err::kOk);
  });
}

Error ReplaceTags(const std::string& path, PcmFileKind kind, const TagSet& tags) {
  if (const Error rc = StripMetadata(path, kind)) return rc;
  return WriteTags(path, kind, tags);
}

}  // namespace tidemark
