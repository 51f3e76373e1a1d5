#include "formats/aiff_au/internal/iff_markers.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "core/markers/marker_list.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/aiff_au/internal/iff_numbers.h"
#include "formats/tags/internal/narrow_cut.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;
// From 1904-01-01 to 1970-01-01: 66 years, 17 of them leap years.
constexpr std::int64_t kSeconds1904To1970 = 2082844800;
// Identifier, position and name count of one "MARK" entry.
constexpr std::uint32_t kMarkEntryFixedBytes = 7;
// Timestamp, identifier and length of one "COMT" entry.
constexpr std::uint32_t kCommentFixedBytes = 8;
constexpr std::size_t kReadBlock = 65536;

struct StoredMarker {
  std::uint32_t position = 0;
  std::string name;     // narrow
  std::string comment;  // narrow; empty when none
};

// Reads a chunk body front to back in blocks; `Read` takes offsets within
// the body, which the caller keeps inside it.
class BodyReader {
 public:
  BodyReader(RandomAccessInput& input, const ChunkEntry& chunk)
      : input_(input), start_(std::uint64_t{chunk.offset} + 8), size_(chunk.size) {}

  std::uint32_t size() const { return size_; }

  Error Read(std::uint32_t at, void* out, std::size_t n) {
    if (n == 0) return err::kOk;
    if (at < block_at_ || at + std::uint64_t{n} > block_at_ + block_.size()) {
      if (n > kReadBlock) return input_.ReadExact(out, n, start_ + at);
      block_.resize(std::min<std::size_t>(kReadBlock, size_ - at));
      block_at_ = at;
      if (const Error rc = input_.ReadExact(block_.data(), block_.size(), start_ + at)) {
        block_.clear();
        return rc;
      }
    }
    std::memcpy(out, block_.data() + (at - block_at_), n);
    return err::kOk;
  }

 private:
  RandomAccessInput& input_;
  std::uint64_t start_;
  std::uint32_t size_;
  std::vector<std::uint8_t> block_;
  std::uint32_t block_at_ = 0;
};

// The entries of "MARK" in file order, with their identifiers in `ids`.
Error ReadMarkChunk(BodyReader& body, std::vector<StoredMarker>* out, std::vector<std::uint16_t>* ids) {
  if (body.size() < 3) return err::kOk;
  std::uint8_t head[kMarkEntryFixedBytes];
  if (const Error rc = body.Read(0, head, 2)) return rc;
  const auto count = static_cast<std::int16_t>(LoadBe16(head));
  std::uint64_t at = 2;
  for (int i = 0; i < count; ++i) {
    if (at + kMarkEntryFixedBytes > body.size()) break;
    if (const Error rc = body.Read(static_cast<std::uint32_t>(at), head, sizeof head)) return rc;
    at += kMarkEntryFixedBytes;
    const std::uint8_t name_bytes = head[6];
    if (at + name_bytes > body.size()) break;
    StoredMarker m;
    m.position = LoadBe32(head + 2);
    m.name.resize(name_bytes);
    if (const Error rc = body.Read(static_cast<std::uint32_t>(at), m.name.data(), name_bytes)) return rc;
    at = PaddedSize(at + name_bytes);  // count byte + text + pad is even
    out->push_back(std::move(m));
    ids->push_back(LoadBe16(head));
  }
  return err::kOk;
}

// Gives the markers the comments of "COMT": a comment belongs to the first
// marker with its identifier, and a later one replaces an earlier one.
Error ReadCommentChunk(BodyReader& body, const std::vector<std::uint16_t>& ids, std::vector<StoredMarker>& markers) {
  if (body.size() < 11) return err::kOk;
  std::uint8_t head[kCommentFixedBytes];
  if (const Error rc = body.Read(0, head, 2)) return rc;
  const std::uint16_t count = LoadBe16(head);
  if (count == 0) return err::kOk;

  std::vector<std::pair<std::uint16_t, std::uint32_t>> by_id(ids.size());
  for (std::uint32_t i = 0; i < ids.size(); ++i) by_id[i] = {ids[i], i};
  std::sort(by_id.begin(), by_id.end());

  std::uint64_t at = 2;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at + kCommentFixedBytes > body.size()) break;
    if (const Error rc = body.Read(static_cast<std::uint32_t>(at), head, sizeof head)) return rc;
    at += kCommentFixedBytes;
    const std::uint16_t id = LoadBe16(head + 4);  // the timestamp before it is not used
    const std::uint16_t text_bytes = LoadBe16(head + 6);
    if (text_bytes == 0) continue;
    if (at + text_bytes > body.size()) break;
    const auto it = std::lower_bound(by_id.begin(), by_id.end(), std::pair<std::uint16_t, std::uint32_t>{id, 0});
    if (it != by_id.end() && it->first == id) {
      std::string& comment = markers[it->second].comment;
      comment.resize(text_bytes);
      if (const Error rc = body.Read(static_cast<std::uint32_t>(at), comment.data(), text_bytes)) return rc;
    }
    at += PaddedSize(text_bytes);
  }
  return err::kOk;
}

Error ReadMarkers(RandomAccessInput& input, std::uint64_t length, MarkerList* markers) {
  ChunkTable table;
  if (const Error rc = ReadFileChunkTable(input, length, kFormContainer, &table)) return rc;
  const ChunkEntry* mark = FindChunk(table, FourCc("MARK"));
  if (!mark) return err::kOk;
  std::vector<StoredMarker> stored;
  std::vector<std::uint16_t> ids;
  BodyReader mark_body(input, *mark);
  if (const Error rc = ReadMarkChunk(mark_body, &stored, &ids)) return rc;
  if (stored.empty()) return err::kOk;
  if (const ChunkEntry* comt = FindChunk(table, FourCc("COMT"))) {
    BodyReader comt_body(input, *comt);
    if (const Error rc = ReadCommentChunk(comt_body, ids, stored)) return rc;
  }

  MarkerList list;
  for (const StoredMarker& s : stored) {
    Marker* m = NewMarker(NarrowToUtf8(s.name), NarrowToUtf8(s.comment), s.position);
    if (!m) return err::kOutOfMemory;  // `list` frees what was built
    list.PushFrontAdopt(m);
  }
  *markers = std::move(list);
  return err::kOk;
}

}  // namespace

std::uint32_t IffTimestamp(std::int64_t unix_seconds) {
  // The field is 32 bits wide and wraps in 2040, as every writer's does.
  return static_cast<std::uint32_t>(unix_seconds + kSeconds1904To1970);
}

Error AppendIffMarkers(PosixFile& file, std::uint64_t length, const MarkerList& markers, std::uint32_t timestamp) {
  if (markers.empty()) return err::kOk;
  return TryAlloc([&] {
    const std::string codeset = NarrowCodeset();
    std::vector<StoredMarker> stored;
    std::uint64_t mark_bytes = 2, comment_bytes = 2;
    std::uint32_t commented = 0;
    for (const Marker* m = markers.first(); m && stored.size() < kMaxIffMarkers; m = m->next) {
      StoredMarker s;
      s.position = m->position;
      s.name = NarrowPrefix(m->name, kMaxIffMarkerName, codeset);
      if (m->comment) s.comment = NarrowPrefix(*m->comment, kMaxIffComment, codeset);
      // The count byte is one of the fixed bytes; it, the name and a pad fill an even run.
      mark_bytes += kMarkEntryFixedBytes - 1 + PaddedSize(1 + s.name.size());
      if (!s.comment.empty()) {
        comment_bytes += kCommentFixedBytes + PaddedSize(s.comment.size());
        ++commented;
      }
      stored.push_back(std::move(s));
    }
    // Checked before the bodies are built; AppendChunks checks the new end.
    if (8 + mark_bytes + (commented ? 8 + comment_bytes : 0) > kLargestFile) return err::kMetadataTooLarge;

    std::vector<std::uint8_t> mark(mark_bytes, 0);
    std::vector<std::uint8_t> comt(commented ? comment_bytes : 0, 0);
    StoreBe16(mark.data(), static_cast<std::uint16_t>(stored.size()));
    if (commented) StoreBe16(comt.data(), static_cast<std::uint16_t>(commented));
    std::size_t m_at = 2, c_at = 2;
    std::uint16_t id = 1;
    for (const StoredMarker& s : stored) {
      StoreBe16(&mark[m_at], id);
      StoreBe32(&mark[m_at + 2], s.position);
      m_at += 6 + WritePascalString(&mark[m_at + 6], s.name);
      if (!s.comment.empty()) {
        StoreBe32(&comt[c_at], timestamp);
        StoreBe16(&comt[c_at + 4], id);
        StoreBe16(&comt[c_at + 6], static_cast<std::uint16_t>(s.comment.size()));
        std::memcpy(&comt[c_at + 8], s.comment.data(), s.comment.size());
        c_at += kCommentFixedBytes + PaddedSize(s.comment.size());  // the pad byte is already zero
      }
      ++id;
    }
    const ChunkToAppend chunks[] = {{FourCc("MARK"), mark}, {FourCc("COMT"), comt}};
    return AppendChunks(file, length, kFormContainer, std::span<const ChunkToAppend>(chunks, commented ? 2 : 1));
  });
}

Error WriteIffMarkers(const std::string& path, const MarkerList& markers) {
  if (const Error rc = StripMetadata(path, PcmFileKind::AIFF)) return rc;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
  Error rc = AppendIffMarkers(file, length, markers, IffTimestamp(std::time(nullptr)));
  if (rc == err::kMalformed) rc = err::kLayoutMismatch;
  const Error close_rc = file.Close();
  return rc ? rc : (close_rc ? err::kWriteFailed : err::kOk);
}

Error ReadIffMarkers(RandomAccessInput& input, std::uint64_t length, MarkerList* markers) {
  markers->Clear();
  if (length > kLargestFile) return err::kMalformed;
  return TryAlloc([&] {
    return ReadMarkers(input, length, markers);
  });
}

}  // namespace tidemark
