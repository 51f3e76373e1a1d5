#include "formats/chunks/internal/foreign_chunks.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/file_io.h"
#include "formats/file_kind.h"
#include "formats/file_kind_table.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Chunks are copied in blocks of this size.
constexpr std::size_t kCopyBlock = 1024;

// Copies `n` bytes from `from` at `from_offset` to `to` at `to_offset`:
// `read_error` when a read fails or comes up short, `write_error` when a
// write fails.
Error CopyBytes(PosixFile& from, std::uint64_t from_offset, PosixFile& to, std::uint64_t to_offset,
                std::uint64_t n, Error read_error, Error write_error) {
  FileInput input(from);
  std::uint8_t block[kCopyBlock];
  for (std::uint64_t done = 0; done < n;) {
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(n - done, kCopyBlock));
    if (input.ReadExact(block, part, from_offset + done) != err::kOk) return read_error;
    if (WriteExact(to, block, part, to_offset + done) != err::kOk) return write_error;
    done += part;
  }
  return err::kOk;
}

Error Harvest(const std::string& old_path, const Container& container, unsigned carried, PosixFile* temp,
              bool* kept) {
  if (old_path.empty()) return err::kOk;
  PosixFile old;
  if (old.Open(old_path, FileOpenOptions{}) != err::kOk) {
    const int e = old.last_errno();
    return e == ENOENT || e == ENOTDIR ? err::kOk : err::kCannotOpen;
  }
  std::uint64_t length = 0;
  if (old.Size(&length) != err::kOk) return err::kReadFailed;
  if (length >= 0xFFFFFFFFu) return err::kOk;

  ChunkTable table;
  FileInput input(old);
  if (const Error rc = ReadFileChunkTable(input, length, container, &table)) {
    return rc == err::kMalformed ? err::kOk : rc;
  }
  std::vector<ChunkEntry> keep;
  for (const ChunkEntry& chunk : table) {
    const unsigned metadata = MetadataChunkKind(chunk, container);
    const bool wanted = metadata ? (metadata & carried) != 0 : IsForeignChunk(chunk, container);
    if (wanted && chunk.size <= kMaxKeptChunkBody) keep.push_back(chunk);
  }
  if (keep.empty()) return err::kOk;

  PosixFile out;
  if (const Error rc = OpenScratchFile(&out)) return rc;
  std::uint8_t id[4];
  StoreFourCc(id, container.id);
  if (WriteExact(out, id, sizeof id, 0) != err::kOk) return err::kNoWorkFile;
  std::uint64_t at = sizeof id;
  for (const ChunkEntry& chunk : keep) {
    const std::uint64_t whole = 8 + std::uint64_t{chunk.size};
    if (const Error rc =
            CopyBytes(old, chunk.offset, out, at, whole, err::kReadFailed, err::kNoWorkFile))
      return rc;
    at += whole;
    if (PaddedSize(chunk.size) != chunk.size) {
      const std::uint8_t pad = 0;
      if (WriteExact(out, &pad, 1, at) != err::kOk) return err::kNoWorkFile;
      ++at;
    }
  }
  *temp = std::move(out);
  *kept = true;
  return err::kOk;
}

}  // namespace

bool IsForeignChunk(const ChunkEntry& chunk, const Container& container) {
  if (!container.big_endian) {
    if (chunk.id == FourCc("LIST")) return chunk.list_type != FourCc("INFO") && chunk.list_type != FourCc("adtl");
    for (const std::uint32_t id : {FourCc("JUNK"), FourCc("fmt "), FourCc("RIFF"), FourCc("cue "), FourCc("data"),
                                   FourCc("fact"), FourCc("plst")})
      if (chunk.id == id) return false;
    return true;
  }
  for (const std::uint32_t id : {FourCc("MARK"), FourCc("ANNO"), FourCc("FVER"), FourCc("COMT"), FourCc("COMM"),
                                 FourCc("FORM"), FourCc("SSND"), FourCc("NAME"), FourCc("AUTH"), FourCc("    "),
                                 FourCc("(c) ")})
    if (chunk.id == id) return false;
  return true;
}

Error HarvestForeignChunks(const std::string& old_path, PcmFileKind kind, PosixFile* temp, bool* kept,
                           unsigned carried) {
  *kept = false;
  (void)temp->Close();  // whatever it held belongs to an earlier save
  const Container* container = DescribeFileKind(kind).container;
  if (!container) return err::kOk;
  return TryAlloc([&] {
    return Harvest(old_path, *container, carried, temp, kept);
  });
}

Error AppendHarvestedChunks(PosixFile& file, PcmFileKind kind, PosixFile& temp) {
  const Container* container = DescribeFileKind(kind).container;
  if (!container) return err::kOk;
  std::uint64_t kept_bytes = 0;
  if (temp.Size(&kept_bytes) != err::kOk) return err::kReadFailed;
  if (kept_bytes < 5) return err::kOk;
  kept_bytes -= 4;

  std::uint64_t length = 0;
  if (file.Size(&length) != err::kOk) return err::kReadFailed;
  if (length < 12) return err::kOk;
  std::uint8_t header[8];
  FileInput input(file);
  if (input.ReadExact(header, sizeof header, 0) != err::kOk) return err::kReadFailed;
  if (LoadLe32(header) != container->id) return err::kOk;
  const std::uint32_t declared = container->big_endian ? LoadBe32(header + 4) : LoadLe32(header + 4);

  const std::uint64_t append_at = 8 + PaddedSize(declared);
  const std::uint64_t end = append_at + kept_bytes;
  if (end > kMaxSoundFileBytes) return err::kMetadataTooLarge;
  if (const Error rc = CopyBytes(temp, 4, file, append_at, kept_bytes, err::kReadFailed, err::kWriteFailed))
    return rc;
  // Nothing of an older, longer file may linger after the container.
  if (length > end && file.Truncate(end) != err::kOk) return err::kSeekFailed;
  return WriteContainerSize(file, *container, static_cast<std::uint32_t>(end - 8));
}

Error AppendHarvestedChunks(const std::string& new_path, PcmFileKind kind, PosixFile& temp) {
  if (!DescribeFileKind(kind).container) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(new_path, &file, &length)) return rc;
  const Error rc = AppendHarvestedChunks(file, kind, temp);
  const Error close_rc = file.Close();
  return rc ? rc : (close_rc ? err::kWriteFailed : err::kOk);
}

}  // namespace tidemark
