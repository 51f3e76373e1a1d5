#include "formats/one_bit/internal/dsdiff_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/io/chunk_padding.h"
#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/narrow_cut.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint32_t kMajorVersionMask = 0xFF000000u;
constexpr std::uint32_t kMajorVersion1 = 0x01000000u;
constexpr std::uint64_t kLargestDataOffset = 0xFFFFFFFFu;
constexpr std::int64_t kLastFrame = 0xFFFF0000;

// "MARK": hours u16, minutes u8, seconds u8, samples u32, offset s32, mark
// type u16, mark channel u16, track flags u16, text length u32, text.
constexpr std::uint64_t kMarkHeaderBytes = 22;
constexpr std::size_t kMarkNameBytes = 255;
// "COMT": a count u16, then comments of a 14-byte header (time stamp of 6
// bytes, comment type u16, comment reference u16, text length u32) and the
// text padded to even.
constexpr std::uint64_t kCommentsMinBody = 16;
constexpr std::uint64_t kCommentHeaderBytes = 14;

constexpr std::size_t kTextPiece = 4096;

std::uint64_t BodyOf(const Iff8Entry& chunk) { return chunk.offset + kIff8HeaderBytes; }

// Up to `length` bytes at `offset`, as stored, ending early at a zero byte.
// Read in pieces, so a long run of zeros costs no memory.
Error ReadStoredText(RandomAccessInput& input, std::uint64_t offset, std::uint64_t length, std::string* text) {
  text->clear();
  char piece[kTextPiece];
  while (length > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof piece));
    if (const Error rc = input.ReadExact(piece, n, offset)) return rc;
    if (const void* zero = std::memchr(piece, 0, n)) {
      text->append(piece, static_cast<std::size_t>(static_cast<const char*>(zero) - piece));
      break;
    }
    text->append(piece, n);
    offset += n;
    length -= n;
  }
  return err::kOk;
}

// The comment a mark of `type` gets; empty for the types that make no marker.
std::string_view MarkComment(std::uint16_t type) {
  switch (type) {
    case 0: return "TrackStart marker";
    case 1: return "TrackStop marker";
    case 2: return "ProgramStart marker";
    case 4: return "Index marker";
    default: return {};
  }
}

// A "DITI" or "DIAR" body: a u32 length and the text. Empty when the length
// does not fit the chunk.
Error ReadCountedText(RandomAccessInput& input, const Iff8Entry& chunk, std::string* text) {
  text->clear();
  if (chunk.size < 4) return err::kOk;
  std::uint8_t n[4];
  if (const Error rc = input.ReadExact(n, sizeof n, BodyOf(chunk))) return rc;
  const std::uint32_t length = LoadBe32(n);
  if (length > chunk.size - 4) return err::kOk;
  std::string stored;
  if (const Error rc = ReadStoredText(input, BodyOf(chunk) + 4, length, &stored)) return rc;
  *text = NarrowToUtf8(stored);
  return err::kOk;
}

}  // namespace

CDsdIff::~CDsdIff() = default;

bool CDsdIff::IsContainerChunk(std::uint32_t id) const { return id == FourCc("PROP") || id == FourCc("LIST"); }

Error CDsdIff::Open(const std::string& path) {
  if (const Error rc = OpenFile(path)) return rc;
  const Error rc = ReadHeader();
  if (rc != err::kOk) Close();
  return rc;
}

void CDsdIff::Close() {
  CloseFile();
  chunks_.clear();
  diin_.clear();
  diin_listed_ = false;
  rate_ = 0;
  channels_ = 0;
  data_offset_ = 0;
  data_size_ = 0;
}

Error CDsdIff::ReadHeader() {
  RandomAccessInput& in = input();
  if (const Error rc = ReadContainer(in, 0, file_length(), FourCc("FRM8"), FourCc("DSD "), &chunks_))
    return rc;

  const Iff8Entry* version = chunks_.Find(FourCc("FVER"));
  if (!version || version->size < 4) return err::kMalformed;
  std::uint8_t b[4];
  if (const Error rc = in.ReadExact(b, 4, BodyOf(*version))) return rc;
  if ((LoadBe32(b) & kMajorVersionMask) != kMajorVersion1) return err::kMalformed;

  const Iff8Entry* prop = chunks_.Find(FourCc("PROP"), FourCc("SND "));
  if (!prop) return err::kMalformed;
  Iff8Table props;
  if (const Error rc =
          ReadContainer(in, prop->offset, prop->size + kIff8HeaderBytes, FourCc("PROP"), FourCc("SND "), &props))
    return rc;

  const Iff8Entry* fs = props.Find(FourCc("FS  "));
  if (!fs || fs->size < 4) return err::kMalformed;
  if (const Error rc = in.ReadExact(b, 4, BodyOf(*fs))) return rc;
  rate_ = LoadBe32(b);
  const Iff8Entry* chnl = props.Find(FourCc("CHNL"));
  if (!chnl || chnl->size < 2) return err::kMalformed;
  if (const Error rc = in.ReadExact(b, 2, BodyOf(*chnl))) return rc;
  channels_ = LoadBe16(b);
  if (rate_ == 0 || channels_ == 0) return err::kMalformed;
  const Iff8Entry* cmpr = props.Find(FourCc("CMPR"));
  if (!cmpr || cmpr->size < 4) return err::kMalformed;
  if (const Error rc = in.ReadExact(b, 4, BodyOf(*cmpr))) return rc;
  if (LoadLe32(b) != FourCc("DSD ")) return err::kUnsupportedFormat;

  const Iff8Entry* data = chunks_.Find(FourCc("DSD "));
  if (!data) return err::kUnsupportedFormat;
  if (BodyOf(*data) > kLargestDataOffset) return err::kMalformed;
  data_offset_ = BodyOf(*data);
  data_size_ = data->size;
  set_layout(OneBitLayout::kByteInterleaved);
  return err::kOk;
}

Error CDsdIff::ListDiin(const Iff8Table** chunks) {
  *chunks = &diin_;
  if (diin_listed_) return err::kOk;
  const Iff8Entry* diin = chunks_.Find(FourCc("DIIN"));
  if (diin && diin->size >= 1)
    if (const Error rc = ReadChunkList(input(), BodyOf(*diin), BodyOf(*diin) + diin->size, &diin_)) return rc;
  diin_listed_ = true;
  return err::kOk;
}

Error CDsdIff::ReadMarkers(MarkerList& markers, std::uint32_t pcm_rate) {
  if (!is_open()) return err::kSizeLimit;
  if (pcm_rate == 0 || rate_ / pcm_rate == 0) return err::kUnsupportedFormat;
  const std::int64_t ratio = rate_ / pcm_rate;
  return TryAlloc([&] {
    const Iff8Table* diin = nullptr;
    if (const Error rc = ListDiin(&diin)) return rc;
    const std::string codeset = NarrowCodeset();
    MarkerList read;
    Marker* tail = nullptr;
    std::string name;
    for (const Iff8Entry& chunk : diin->entries()) {
      if (chunk.id != FourCc("MARK") || chunk.size < kMarkHeaderBytes) continue;
      std::uint8_t h[kMarkHeaderBytes];
      if (const Error rc = input().ReadExact(h, sizeof h, BodyOf(chunk))) return rc;
      const std::uint16_t type = LoadBe16(h + 12);
      const std::uint16_t channel = LoadBe16(h + 14);
      const std::string_view comment = MarkComment(type);
      if (channel != 0 || comment.empty()) continue;

      const std::int64_t samples = std::int64_t{LoadBe32(h + 4)} + static_cast<std::int32_t>(LoadBe32(h + 8));
      const std::int64_t seconds = std::int64_t{LoadBe16(h)} * 3600 + std::int64_t{h[2]} * 60 + h[3];
      std::int64_t position = samples / ratio + seconds * pcm_rate;
      if (position < 0) position = 0;
      if (position > kLastFrame) continue;

      // One byte more than the limit tells the cut whether it splits a character.
      const std::uint64_t text_length =
          std::min<std::uint64_t>({LoadBe32(h + 18), chunk.size - kMarkHeaderBytes, kMarkNameBytes + 1});
      if (const Error rc = ReadStoredText(input(), BodyOf(chunk) + kMarkHeaderBytes, text_length, &name))
        return rc;
      name.resize(NarrowCutLength(name, kMarkNameBytes, codeset));
      Marker* marker = NewMarker(NarrowToUtf8(name, codeset), comment, static_cast<std::uint32_t>(position));
      if (!marker) return err::kOutOfMemory;
      read.InsertAfterAdopt(tail, marker);
      tail = marker;
    }
    AppendMarkers(markers, std::move(read));
    return err::kOk;
  });
}

Error CDsdIff::ReadTags(TagSet& tags) {
  if (!is_open()) return err::kSizeLimit;
  return TryAlloc([&] {
    RandomAccessInput& in = input();
    TagSet read;
    std::string text;
    const Iff8Entry* comt = chunks_.Find(FourCc("COMT"));
    if (comt && comt->size >= kCommentsMinBody) {
      std::uint8_t n[2];
      if (const Error rc = in.ReadExact(n, sizeof n, BodyOf(*comt))) return rc;
      std::uint32_t count = LoadBe16(n);
      bool have_comments = false;
      bool have_software = false;
      std::uint64_t pos = 2;  // within the body
      while (count-- > 0 && comt->size - pos >= kCommentHeaderBytes) {
        std::uint8_t h[kCommentHeaderBytes];
        if (const Error rc = in.ReadExact(h, sizeof h, BodyOf(*comt) + pos)) return rc;
        const std::uint16_t type = LoadBe16(h + 6);
        const std::uint16_t reference = LoadBe16(h + 8);
        const std::uint32_t length = LoadBe32(h + 10);
        pos += kCommentHeaderBytes;
        if (length > comt->size - pos) break;  // the rest of the chunk is damaged
        std::optional<std::string>* slot = nullptr;
        if (type == 0 && reference == 0 && !have_comments) {
          have_comments = true;
          slot = &read[InfoText::Comments];
        } else if (type == 3 && reference == 2 && !have_software) {
          have_software = true;
          slot = &read[InfoText::Software];
        }
        if (slot) {
          if (const Error rc = ReadStoredText(in, BodyOf(*comt) + pos, length, &text)) return rc;
          if (!text.empty()) *slot = NarrowToUtf8(text);
        }
        pos += PaddedSize(length);
        if (pos > comt->size) break;
      }
    }

    const Iff8Table* diin = nullptr;
    if (const Error rc = ListDiin(&diin)) return rc;
    if (const Iff8Entry* title = diin->Find(FourCc("DITI"))) {
      if (const Error rc = ReadCountedText(in, *title, &text)) return rc;
      SetTagText(read, InfoText::Name, text);
    }
    if (const Iff8Entry* artist = diin->Find(FourCc("DIAR"))) {
      if (const Error rc = ReadCountedText(in, *artist, &text)) return rc;
      SetTagText(read, InfoText::Artist, text);
    }
    return MergeTags(tags, read);
  });
}

}  // namespace tidemark::NS_1BIT
