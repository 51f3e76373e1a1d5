#include "formats/tags/id3_tags.h"

#include <cmath>
#include <new>
#include <string_view>

#include "core/markers/marker_list.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/tags/internal/app_private.h"
#include "formats/tags/internal/id3_chunk.h"
#include "formats/tags/internal/id3_fields.h"
#include "formats/tags/internal/id3_genres.h"
#include "formats/tags/internal/id3v1.h"
#include "formats/tags/internal/id3v2_reader.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "formats/tags/internal/id3v2_text.h"
#include "formats/tags/internal/id3v2_writer.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t MsOf(std::uint32_t frame, std::uint32_t rate) {
  return static_cast<std::uint32_t>(std::llround(static_cast<double>(frame) * 1000.0 / rate));
}

void AppendBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A text frame body: version 4 takes UTF-8, version 3 UTF-16 with a BOM
// for text that is not ASCII.
Bytes TextBody(std::string_view text, int version) {
  Bytes body;
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    body.push_back(0);
    body.insert(body.end(), text.begin(), text.end());
  } else if (version == 4) {
    body.push_back(3);
    body.insert(body.end(), text.begin(), text.end());
  } else {
    body.push_back(1);
    body.push_back(0xFF);
    body.push_back(0xFE);
    for (const char16_t unit : Utf8ToUtf16(text)) {
      body.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      body.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }
  return body;
}

Error BuildChapters(const MarkerList& markers, std::uint32_t rate, std::uint32_t length, int version, Bytes* out) {
  std::size_t n = 0;
  for (const Marker* m = markers.first(); m; m = m->next, ++n) {
    const std::uint32_t end = m->next ? m->next->position : std::max(length, m->position);
    Bytes body;
    const std::string id = "chp" + std::to_string(n);
    body.insert(body.end(), id.begin(), id.end());
    body.push_back(0);
    AppendBe32(body, MsOf(m->position, rate));
    AppendBe32(body, MsOf(end, rate));
    AppendBe32(body, 0xFFFFFFFFu);  // byte offsets unused
    AppendBe32(body, 0xFFFFFFFFu);
    if (!m->name.empty()) {
      if (const Error rc = AppendId3v2Frame(version, "TIT2", TextBody(m->name, version), &body)) return rc;
    }
    if (const Error rc = AppendId3v2Frame(version, "CHAP", body, out)) return rc;
  }
  return err::kOk;
}

std::string TrimmedNarrow(std::span<const std::uint8_t> field) {
  std::size_t end = 0;
  while (end < field.size() && field[end] != 0) ++end;
  while (end > 0 && field[end - 1] == ' ') --end;
  return NarrowToUtf8(std::string_view(reinterpret_cast<const char*>(field.data()), end));
}

// The chapters of a parsed tag. Subframe sizes are big-endian in version 3
// and sync-safe in version 4.
Error ChaptersOf(const Id3v2Tag& tag, std::uint32_t rate, MarkerList* markers) {
  MarkerList reversed;
  for (const Id3v2Frame& frame : tag.frames) {
    if (frame.Id() != "CHAP") continue;
    const std::span<const std::uint8_t> body(frame.body);
    std::size_t pos = 0;
    while (pos < body.size() && body[pos] != 0) ++pos;
    if (pos + 1 + 16 > body.size()) continue;
    const std::string element(reinterpret_cast<const char*>(body.data()), pos);
    const std::uint32_t start_ms = LoadBe32(body.data() + pos + 1);
    std::string name = element;
    for (std::size_t at = pos + 17; at + 10 <= body.size();) {
      const std::uint8_t* h = body.data() + at;
      const std::uint32_t size =
          tag.version == 4 ? static_cast<std::uint32_t>((h[4] & 0x7F) << 21 | (h[5] & 0x7F) << 14 |
                                                        (h[6] & 0x7F) << 7 | (h[7] & 0x7F))
                           : LoadBe32(h + 4);
      if (size > body.size() - at - 10) break;
      if (std::string_view(reinterpret_cast<const char*>(h), 4) == "TIT2" && size > 0) {
        const std::span<const std::uint8_t> sub = body.subspan(at + 10, size);
        std::size_t p = 1;
        name = ReadId3String(sub, &p, sub[0]);
        break;
      }
      at += 10 + size;
    }
    const double frame_pos = std::round(static_cast<double>(start_ms) * rate / 1000.0);
    if (frame_pos >= 4294967295.0) continue;
    Marker* marker = NewMarker(name, {}, static_cast<std::uint32_t>(frame_pos));
    if (!marker) return err::kOutOfMemory;
    reversed.PushFrontAdopt(marker);
  }
  *markers = MergeSortedReversed(std::move(reversed), 0xFFFFFFFFu);
  return err::kOk;
}

}  // namespace

Error BuildMp3Id3v2Tag(const TagSet& tags, const MarkerList& markers, std::uint32_t rate, std::uint32_t length,
                       const Mp3TagOptions& options, std::vector<std::uint8_t>* tag) {
  tag->clear();
  Id3Fields fields;
  if (const Error rc = Id3FieldsFromTags(tags, &fields)) return rc;
  const int version = options.version == 4 ? 4 : 3;
  try {
    Bytes chapters;
    if (rate != 0) {
      if (const Error rc = BuildChapters(markers, rate, length, version, &chapters)) return rc;
    }
    Bytes built;
    Id3v2WriteOptions write;
    write.version = version;
    write.unicode = options.unicode;
    if (const Error rc = BuildId3v2Tag(fields, write, chapters, true, &built)) return rc;
    // A tag with only its header carries nothing.
    if (built.size() > 10) *tag = std::move(built);
  } catch (const std::bad_alloc&) {
    tag->clear();
    return err::kOutOfMemory;
  }
  return err::kOk;
}

Error BuildMp3Id3v1Tag(const TagSet& tags, std::array<std::uint8_t, 128>* tag, bool* any) {
  Id3Fields fields;
  if (const Error rc = Id3FieldsFromTags(tags, &fields)) return rc;
  *any = !fields.title.empty() || !fields.artist.empty() || !fields.album.empty() || !fields.comment.empty() ||
         fields.year != 0 || fields.genre >= 0 || fields.track != 0;
  return BuildId3v1Tag(fields, tag);
}

void ParseMp3Id3v1Tag(std::span<const std::uint8_t> bytes, TagSet* tags) {
  if (bytes.size() != kId3v1Size || bytes[0] != 'T' || bytes[1] != 'A' || bytes[2] != 'G') return;
  SetTagText(*tags, InfoText::Name, TrimmedNarrow(bytes.subspan(3, 30)));
  SetTagText(*tags, InfoText::Artist, TrimmedNarrow(bytes.subspan(33, 30)));
  SetTagText(*tags, InfoText::CreationDate, TrimmedNarrow(bytes.subspan(93, 4)));
  // ID3v1.1: a zero at 125 and a track number at 126.
  const bool has_track = bytes[125] == 0 && bytes[126] != 0;
  SetTagText(*tags, InfoText::Comments, TrimmedNarrow(bytes.subspan(97, has_track ? 28 : 30)));
  SetTagText(*tags, InfoText::Genre, Id3GenreName(bytes[127]));
  std::vector<std::pair<std::string, std::string>> pairs;
  pairs.emplace_back(std::string(app_private_key::kAlbum), TrimmedNarrow(bytes.subspan(63, 30)));
  if (has_track) pairs.emplace_back(std::string(app_private_key::kTrack), std::to_string(bytes[126]));
  SetTagText(*tags, InfoText::AppPrivate, BuildAppPrivate(pairs));
}

Error ParseMp3Chapters(std::span<const std::uint8_t> tag_bytes, std::uint32_t rate, MarkerList* markers) {
  *markers = MarkerList();
  Id3v2Tag tag;
  if (const Error rc = ParseId3v2Tag(tag_bytes, &tag)) return rc;
  return ChaptersOf(tag, rate, markers);
}

Error ReadMp3Tags(const std::string& path, std::uint32_t rate, TagSet* tags, MarkerList* markers) {
  *tags = TagSet();
  *markers = MarkerList();
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  FileInput input(file);
  Id3v2Tag tag;
  if (const Error rc = ReadId3v2Tag(input, length, 0, &tag)) return rc;
  if (tag.found()) {
    if (const Error rc = Id3v2TagToSet(tag, tags)) return rc;
    if (const Error rc = ChaptersOf(tag, rate, markers)) return rc;
  }
  if (length >= tag.size + kId3v1Size) {
    std::array<std::uint8_t, kId3v1Size> v1{};
    std::size_t done = 0;
    if (const Error rc = input.ReadAt(v1.data(), v1.size(), length - kId3v1Size, &done)) return rc;
    if (done == v1.size()) {
      TagSet older;
      ParseMp3Id3v1Tag(v1, &older);
      FillEmptySlots(*tags, older);
    }
  }
  return err::kOk;
}

}  // namespace tidemark
