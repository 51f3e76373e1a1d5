#include "formats/tags/internal/aiff_text.h"

#include <array>
#include <span>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/tags/internal/chunk_text.h"
#include "formats/chunks/container.h"
#include "platform/alloc.h"
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
  return TryAlloc([&] {
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
  }, [&] { *tags = TagSet{}; });
}

Error AppendAiffTexts(PosixFile& file, std::uint64_t length, const TagSet& tags) {
  return TryAlloc([&] {
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
  });
}

}  // namespace tidemark
