#include "formats/tags/internal/wav_info.h"

#include <array>
#include <cstring>
#include <string_view>

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
// The slot whose INFO id is `id`; kInfoTextCount when none.
std::size_t SlotOfId(std::uint32_t id) {
  for (std::size_t i = 0; i < kInfoTextCount; ++i) {
    const std::string_view name = kInfoIds[i];
    const char code[5] = {name[0], name[1], name[2], name[3], 0};
    if (id == FourCc(code)) return i;
  }
  return kInfoTextCount;
}

std::uint32_t IdOfSlot(std::size_t slot) {
  const std::string_view name = kInfoIds[slot];
  const char code[5] = {name[0], name[1], name[2], name[3], 0};
  return FourCc(code);
}

}  // namespace

Error ReadInfoList(RandomAccessInput& input, std::uint64_t length, TagSet* tags) {
  *tags = TagSet{};
  if (length > kLargestFile) return err::kMalformed;
  return TryAlloc([&] {
    ChunkTable table;
    if (const Error rc = ReadFileChunkTable(input, length, kRiffContainer, &table)) return rc;
    const ChunkEntry* info = FindChunk(table, FourCc("LIST"), FourCc("INFO"));
    if (!info) return err::kOk;
    ChunkTable subs;
    if (const Error rc = ReadListChunks(input, *info, &subs)) return rc;
    TagSet read;
    std::string text;
    for (const ChunkEntry& sub : subs) {
      const std::size_t slot = SlotOfId(sub.id);
      if (slot == kInfoTextCount || read.texts[slot]) continue;
      if (const Error rc = ReadChunkText(input, sub, &text)) return rc;
      SetTagText(read, static_cast<InfoText>(slot), NarrowToUtf8(text));
    }
    *tags = std::move(read);
    return err::kOk;
  }, [&] { *tags = TagSet{}; });
}

Error BuildInfoListBody(const TagSet& tags, std::vector<std::uint8_t>* body) {
  body->clear();
  if (IsTagSetEmpty(tags)) return err::kOk;
  return TryAlloc([&] {
    std::array<std::string, kInfoTextCount> stored;
    std::uint64_t total = 4;
    for (std::size_t i = 0; i < kInfoTextCount; ++i) {
      const std::string_view text = TagText(tags, static_cast<InfoText>(i));
      if (text.empty()) continue;
      stored[i] = StoredNarrowText(text);
      total += 8 + PaddedSize(std::uint64_t{stored[i].size()} + 1);
      // The list itself needs 8 header bytes after the 12 of the file.
      if (total > kLargestFile - 20) return err::kMetadataTooLarge;
    }
    body->assign(static_cast<std::size_t>(total), 0);  // terminators and pad bytes come with it
    StoreFourCc(body->data(), FourCc("INFO"));
    std::size_t at = 4;
    for (std::size_t i = 0; i < kInfoTextCount; ++i) {
      if (TagText(tags, static_cast<InfoText>(i)).empty()) continue;
      const auto size = static_cast<std::uint32_t>(stored[i].size() + 1);
      StoreFourCc(&(*body)[at], IdOfSlot(i));
      StoreLe32(&(*body)[at + 4], size);
      if (!stored[i].empty()) std::memcpy(&(*body)[at + 8], stored[i].data(), stored[i].size());
      at += 8 + static_cast<std::size_t>(PaddedSize(size));
    }
    return err::kOk;
  }, [&] { body->clear(); });
}

Error AppendInfoList(PosixFile& file, std::uint64_t length, const TagSet& tags) {
  return TryAlloc([&] {
    std::vector<std::uint8_t> body;
    if (const Error rc = BuildInfoListBody(tags, &body)) return rc;
    if (body.empty()) return err::kOk;
    const ChunkToAppend chunks[] = {{FourCc("LIST"), body}};
    return AppendChunks(file, length, kRiffContainer, chunks);
  });
}

}  // namespace tidemark
