#include "formats/chunks/chunk_metadata.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/file_io.h"
#include "formats/file_kind_table.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestEnd = 0xFFFFFFFEu;

// Whether the 8 header bytes `h` at `at` could start a chunk of a list
// ending at `end`: an identifier of printable characters, a body inside.
bool PlausibleHeader(const std::uint8_t* h, std::uint64_t at, std::uint64_t end) {
  for (int i = 0; i < 4; ++i)
    if (h[i] < 0x20 || h[i] > 0x7E) return false;
  return at + 8 + LoadLe32(h + 4) <= end;
}

// Where the chunk after the one at `at` of `size` body bytes starts.
Error NextSubChunk(WindowedReader& input, std::uint64_t at, std::uint32_t size, std::uint64_t end,
                   std::uint64_t* next) {
  const std::uint64_t padded = at + 8 + PaddedSize(size);
  *next = padded;
  if (padded == at + 8 + size) return err::kOk;
  const std::uint64_t bare = at + 8 + size;
  std::uint8_t h[8];
  if (padded + 8 <= end) {
    if (const Error rc = input.ReadExact(h, sizeof h, padded)) return rc;
    if (PlausibleHeader(h, padded, end)) return err::kOk;
  }
  if (bare + 8 > end) return err::kOk;
  if (const Error rc = input.ReadExact(h, sizeof h, bare)) return rc;
  if (PlausibleHeader(h, bare, end)) *next = bare;
  return err::kOk;
}

}  // namespace

unsigned MetadataChunkKind(const ChunkEntry& chunk, const Container& container) {
  if (chunk.id == FourCc("id3 ") || chunk.id == FourCc("ID3 ")) return metadata_chunk::kId3;
  if (!container.big_endian) {
    if (chunk.id == FourCc("cue ") || chunk.id == FourCc("plst")) return metadata_chunk::kMarkers;
    if (chunk.id != FourCc("LIST")) return 0;
    if (chunk.list_type == FourCc("adtl")) return metadata_chunk::kMarkers;
    return chunk.list_type == FourCc("INFO") ? metadata_chunk::kTexts : 0;
  }
  if (chunk.id == FourCc("MARK") || chunk.id == FourCc("COMT")) return metadata_chunk::kMarkers;
  for (const std::uint32_t id : {FourCc("NAME"), FourCc("AUTH"), FourCc("(c) "), FourCc("ANNO")})
    if (chunk.id == id) return metadata_chunk::kTexts;
  return 0;
}

Error ReadListChunks(RandomAccessInput& input, const ChunkEntry& list, ChunkTable* subs) {
  subs->clear();
  if (list.id != FourCc("LIST") || list.size < 4) return err::kMalformed;
  const std::uint64_t end = std::uint64_t{list.offset} + 8 + list.size;
  // A list of many tiny sub-chunks costs one read per window, not per header.
  WindowedReader window(input, end);
  ChunkTable found;
  const Error rc = TryAlloc([&] {
    for (std::uint64_t at = std::uint64_t{list.offset} + 12; at + 8 <= end;) {
      std::uint8_t h[8];
      if (const Error read_rc = window.ReadExact(h, sizeof h, at)) return read_rc;
      ChunkEntry entry;
      entry.id = LoadLe32(h);
      entry.size = LoadLe32(h + 4);
      entry.offset = static_cast<std::uint32_t>(at);
      if (at + 8 + entry.size > end) return err::kMalformed;
      if (entry.id == FourCc("LIST")) {
        if (entry.size < 4) return err::kMalformed;
        std::uint8_t type[4];
        if (const Error read_rc = window.ReadExact(type, sizeof type, at + 8)) return read_rc;
        entry.list_type = LoadLe32(type);
      }
      found.push_back(entry);
      if (const Error next_rc = NextSubChunk(window, at, entry.size, end, &at)) return next_rc;
    }
    return err::kOk;
  });
  if (rc) return rc;
  *subs = std::move(found);
  return err::kOk;
}

Error AppendChunks(PosixFile& file, std::uint64_t length, const Container& container,
                   std::span<const ChunkToAppend> chunks) {
  ChunkTable table;
  FileInput input(file);
  if (const Error rc = ReadFileChunkTable(input, length, container, &table)) return rc;
  const std::uint32_t start = EndOfLastChunk(table);

  std::uint64_t end = start;
  for (const ChunkToAppend& chunk : chunks) {
    if (chunk.body.size() > 0xFFFFFFFFu) return err::kMetadataTooLarge;
    end += 8 + PaddedSize(chunk.body.size());
    if (end > kLargestEnd) return err::kMetadataTooLarge;
  }
  if (file.Truncate(end) != err::kOk) return err::kSeekFailed;

  std::uint64_t at = start;
  for (const ChunkToAppend& chunk : chunks) {
    std::uint8_t header[8];
    StoreFourCc(header, chunk.id);
    const auto size = static_cast<std::uint32_t>(chunk.body.size());
    if (container.big_endian)
      StoreBe32(header + 4, size);
    else
      StoreLe32(header + 4, size);
    if (const Error rc = WriteExact(file, header, sizeof header, at)) return rc;
    if (size && WriteExact(file, chunk.body.data(), size, at + 8)) return err::kWriteFailed;
    if (PaddedSize(size) != size) {
      const std::uint8_t pad = 0;
      if (const Error rc = WriteExact(file, &pad, 1, at + 8 + size)) return rc;
    }
    at += 8 + PaddedSize(size);
  }
  return WriteContainerSize(file, container, static_cast<std::uint32_t>(end - 8));
}

Error OpenForMetadataEdit(const std::string& path, PosixFile* file, std::uint64_t* length) {
  FileOpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kOpenExisting;
  if (file->Open(path, options) != err::kOk) {
    const int e = file->last_errno();
    struct stat st {};
    const bool regular = ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    if (regular && (e == EACCES || e == EPERM || e == EROFS)) return err::kReadOnly;
    return err::kCannotOpen;
  }
  if (file->Size(length) != err::kOk) return err::kCannotOpen;
  if (*length >= 0xFFFFFFFFu) return err::kLayoutMismatch;
  return err::kOk;
}

Error StripMetadataChunks(PosixFile& file, std::uint64_t length, const Container& container, unsigned kinds) {
  ChunkTable table;
  FileInput input(file);
  if (const Error rc = ReadFileChunkTable(input, length, container, &table)) return rc;

  std::uint8_t dead[4];
  StoreFourCc(dead, container.dead_id);
  for (ChunkEntry& chunk : table) {
    if (!(MetadataChunkKind(chunk, container) & kinds)) continue;
    if (const Error rc = WriteExact(file, dead, sizeof dead, chunk.offset)) return rc;
    chunk.id = container.dead_id;
  }

  std::size_t first_dead = table.size();
  while (first_dead > 0 && table[first_dead - 1].id == container.dead_id) --first_dead;
  if (first_dead == table.size()) return err::kOk;
  // The size first: if the cut then fails, the dead tail merely lies past
  // the container's declared end, where readers ignore it.
  const std::uint32_t cut = table[first_dead].offset;
  if (const Error rc = WriteContainerSize(file, container, cut - 8)) return rc;
  return file.Truncate(cut) == err::kOk ? err::kOk : err::kSeekFailed;
}

Error StripMetadata(const std::string& path, PcmFileKind kind, unsigned kinds) {
  const Container* container = DescribeFileKind(kind).container;
  if (!container) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
  Error rc = StripMetadataChunks(file, length, *container, kinds);
  if (rc == err::kMalformed) rc = err::kLayoutMismatch;
  const Error close_rc = file.Close();
  return rc ? rc : (close_rc ? err::kWriteFailed : err::kOk);
}

}  // namespace tidemark
