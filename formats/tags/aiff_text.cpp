#include "formats/tags/internal/aiff_text.h"

#include <array>
#include <new>
#include <span>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/tags/internal/chunk_text.h"
#include "formats/chunks/container.h"
#include "formats/chunks/internal/input_file.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

struct TextChunk {
  std::uint32_t id;
  InfoText slot;
};
// In the order they are written.
constexpr std::array<TextChunk, 4> kTextChunks = {{{FourCc("NAME"), InfoText::Name},
                                                   {FourCc("AUTH"), InfoText::Artist},
                                                   {FourCc("(c) "), InfoText::Copyright},
                                                   {FourCc("ANNO"), InfoText::Comments}}};

}  // namespace

Error ReadAiffTexts(RandomAccessInput& input, std::uint64_t length, TagSet* tags) {
  *tags = TagSet{};
  if (length > kLargestFile) return err::kMalformed;
  try {
    ChunkTable table;
    if (const Error rc = ReadFileChunkTable(input, length, kFormContainer, &table)) return rc;
    TagSet read;
    std::string text;
    for (const TextChunk& kind : kTextChunks) {
      const ChunkEntry* chunk = FindChunk(table, kind.id);
      if (!chunk) continue;
      if (const Error rc = ReadChunkText(input, *chunk, &text)) return rc;
      SetTagText(read, kind.slot, NarrowToUtf8(text));
    }
    *tags = std::move(read);
    return err::kOk;
  } catch (const std::bad_alloc&) {
    *tags = TagSet{};
    return err::kOutOfMemory;
  }
}

Error ReadAiffTextsFile(const std::string& path, TagSet* tags) {
  *tags = TagSet{};
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  if (length > kLargestFile) return err::kLayoutMismatch;
  FileInput input(file);
  const Error rc = ReadAiffTexts(input, length, tags);
  return rc == err::kMalformed ? err::kLayoutMismatch : rc;
}

Error AppendAiffTexts(PosixFile& file, std::uint64_t length, const TagSet& tags) {
  try {
    std::array<std::string, kTextChunks.size()> stored;
    std::vector<ChunkToAppend> chunks;
    for (std::size_t i = 0; i < kTextChunks.size(); ++i) {
      const std::string_view text = TagText(tags, kTextChunks[i].slot);
      if (text.empty()) continue;
      stored[i] = StoredNarrowText(text);
      chunks.push_back({kTextChunks[i].id, std::span(reinterpret_cast<const std::uint8_t*>(stored[i].data()),
                                                     stored[i].size())});
    }
    if (chunks.empty()) return err::kOk;
    return AppendChunks(file, length, kFormContainer, chunks);
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
}

}  // namespace tidemark
