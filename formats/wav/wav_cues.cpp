#include "formats/wav/wav_cues.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "core/markers/marker_list.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kCuePointBytes = 24;
constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;
// Cue points are read this many at a time.
constexpr std::size_t kCueReadBatch = 512;

// A text as stored: narrow, and cut at a zero byte, since the reader stops
// at the first one.
std::string StoredText(std::string_view utf8) {
  std::string narrow = Utf8ToNarrow(utf8);
  if (const std::size_t zero = narrow.find('\0'); zero != std::string::npos) narrow.resize(zero);
  return narrow;
}

// Bytes of a "labl" or "note" sub-chunk, header and pad byte included.
std::uint64_t TextChunkBytes(const std::string& text) { return 8 + PaddedSize(4 + std::uint64_t{text.size()} + 1); }

void PutTextChunk(std::vector<std::uint8_t>& out, std::uint32_t id, std::uint32_t cue_id, const std::string& text) {
  const auto size = static_cast<std::uint32_t>(4 + text.size() + 1);
  const std::size_t at = out.size();
  out.resize(at + 8 + PaddedSize(size), 0);  // zero terminator and pad byte come with it
  StoreFourCc(&out[at], id);
  StoreLe32(&out[at + 4], size);
  StoreLe32(&out[at + 8], cue_id);
  if (!text.empty()) std::memcpy(&out[at + 12], text.data(), text.size());
}

struct CuePoint {
  std::uint32_t id = 0;
  std::uint32_t sample_offset = 0;
  bool has_label = false;
  bool has_note = false;
  std::string label;  // narrow
  std::string note;
};

Error ReadCuePoints(RandomAccessInput& input, const ChunkEntry& cue, std::vector<CuePoint>* points) {
  std::uint8_t count_bytes[4];
  if (const Error rc = input.ReadExact(count_bytes, 4, std::uint64_t{cue.offset} + 8)) return rc;
  const std::uint32_t count = std::min(LoadLe32(count_bytes), (cue.size - 4) / kCuePointBytes);
  points->resize(count);
  std::vector<std::uint8_t> batch(kCueReadBatch * kCuePointBytes);
  std::uint64_t at = std::uint64_t{cue.offset} + 12;
  for (std::uint32_t done = 0; done < count;) {
    const std::size_t n = std::min<std::size_t>(kCueReadBatch, count - done);
    if (const Error rc = input.ReadExact(batch.data(), n * kCuePointBytes, at)) return rc;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* p = &batch[i * kCuePointBytes];
      (*points)[done + i].id = LoadLe32(p);
      (*points)[done + i].sample_offset = LoadLe32(p + 20);  // the position field at +4 is not used
    }
    done += static_cast<std::uint32_t>(n);
    at += n * kCuePointBytes;
  }
  return err::kOk;
}

// Gives each cue point the first label and the first note that name its
// identifier; with repeated identifiers, the first such cue point.
Error ReadTexts(RandomAccessInput& input, const ChunkEntry& adtl, std::vector<CuePoint>& points) {
  ChunkTable subs;
  if (const Error rc = ReadListChunks(input, adtl, &subs)) return rc;

  // (identifier, index) sorted by identifier, then index: the first match is found by lower_bound.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> by_id(points.size());
  for (std::uint32_t i = 0; i < points.size(); ++i) by_id[i] = {points[i].id, i};
  std::sort(by_id.begin(), by_id.end());

  for (const ChunkEntry& sub : subs) {
    const bool label = sub.id == FourCc("labl");
    if ((!label && sub.id != FourCc("note")) || sub.size < 4) continue;
    std::uint8_t id_bytes[4];
    if (const Error rc = input.ReadExact(id_bytes, 4, std::uint64_t{sub.offset} + 8)) return rc;
    const std::uint32_t id = LoadLe32(id_bytes);
    const auto it = std::lower_bound(by_id.begin(), by_id.end(), std::pair<std::uint32_t, std::uint32_t>{id, 0});
    if (it == by_id.end() || it->first != id) continue;
    CuePoint& point = points[it->second];
    if (label ? point.has_label : point.has_note) continue;
    std::string text(sub.size - 4, '\0');
    if (!text.empty())
      if (const Error rc = input.ReadExact(text.data(), text.size(), std::uint64_t{sub.offset} + 12)) return rc;
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    (label ? point.label : point.note) = std::move(text);
    (label ? point.has_label : point.has_note) = true;
  }
  return err::kOk;
}

}  // namespace

Error AppendCueList(PosixFile& file, std::uint64_t length, const MarkerList& markers) {
  if (markers.empty()) return err::kOk;
  return TryAlloc([&] {
    std::vector<std::string> names, notes;
    std::uint64_t count = 0, adtl_bytes = 4;
    for (const Marker* m = markers.first(); m; m = m->next, ++count) {
      names.push_back(StoredText(m->name));
      notes.push_back(m->comment ? StoredText(*m->comment) : std::string());
      adtl_bytes += TextChunkBytes(names.back());
      if (!notes.back().empty()) adtl_bytes += TextChunkBytes(notes.back());
    }
    const std::uint64_t cue_bytes = 4 + count * kCuePointBytes;
    // Checked before the bodies are built; AppendChunks checks the new end.
    if (cue_bytes + adtl_bytes + 16 > kLargestFile) return err::kMetadataTooLarge;

    std::vector<std::uint8_t> cue(cue_bytes, 0);
    StoreLe32(cue.data(), static_cast<std::uint32_t>(count));
    std::vector<std::uint8_t> adtl;
    adtl.reserve(adtl_bytes);
    adtl.resize(4);
    StoreFourCc(adtl.data(), FourCc("adtl"));
    std::uint32_t id = 0;
    for (const Marker* m = markers.first(); m; m = m->next, ++id) {
      std::uint8_t* p = &cue[4 + std::size_t{id} * kCuePointBytes];
      StoreLe32(p, id);
      StoreLe32(p + 4, m->position);
      StoreFourCc(p + 8, FourCc("data"));
      // chunk start and block start stay 0
      StoreLe32(p + 20, m->position);
      PutTextChunk(adtl, FourCc("labl"), id, names[id]);
      if (!notes[id].empty()) PutTextChunk(adtl, FourCc("note"), id, notes[id]);
    }
    const ChunkToAppend chunks[] = {{FourCc("cue "), cue}, {FourCc("LIST"), adtl}};
    return AppendChunks(file, length, kRiffContainer, chunks);
  });
}

Error WriteCueList(const std::string& path, const MarkerList& markers) {
  if (const Error rc = StripMetadata(path, PcmFileKind::Wave)) return rc;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
  Error rc = AppendCueList(file, length, markers);
  if (rc == err::kMalformed) rc = err::kLayoutMismatch;
  const Error close_rc = file.Close();
  return rc ? rc : (close_rc ? err::kWriteFailed : err::kOk);
}

Error ReadCueList(RandomAccessInput& input, std::uint64_t length, MarkerList* markers) {
  markers->Clear();
  if (length > kLargestFile) return err::kMalformed;
  return TryAlloc([&] {
    ChunkTable table;
    if (const Error rc = ReadFileChunkTable(input, length, kRiffContainer, &table)) return rc;
    const ChunkEntry* cue = FindChunk(table, FourCc("cue "));
    if (!cue || cue->size < 5) return err::kOk;
    std::vector<CuePoint> points;
    if (const Error rc = ReadCuePoints(input, *cue, &points)) return rc;
    if (points.empty()) return err::kOk;
    const ChunkEntry* adtl = FindChunk(table, FourCc("LIST"), FourCc("adtl"));
    if (adtl && adtl->size >= 5)
      if (const Error rc = ReadTexts(input, *adtl, points)) return rc;

    MarkerList list;
    for (const CuePoint& point : points) {
      if (!point.has_label) continue;
      Marker* m = NewMarker(NarrowToUtf8(point.label), point.has_note ? NarrowToUtf8(point.note) : std::string(),
                            point.sample_offset);
      if (!m) return err::kOutOfMemory;  // `list` frees what was built
      list.PushFrontAdopt(m);
    }
    *markers = std::move(list);
    return err::kOk;
  });
}

}  // namespace tidemark
