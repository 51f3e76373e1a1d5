#include "formats/one_bit/internal/dsdiff_writer.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/chunk_padding.h"
#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/chunk_text.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint64_t kLargestData = std::uint64_t{1} << 60;
constexpr std::uint32_t kFormSizeOffset = 4;
constexpr std::uint32_t kFormHeader = 12;
constexpr std::uint8_t kIdle = 0xAA;

// Big-endian chunk bytes.
class Chunks {
 public:
  Chunks& Id(std::string_view id) { return Raw(id); }
  Chunks& U8(std::uint8_t v) {
    *Grow(1) = v;
    return *this;
  }
  Chunks& U16(std::uint16_t v) {
    StoreBe16(Grow(2), v);
    return *this;
  }
  Chunks& U32(std::uint32_t v) {
    StoreBe32(Grow(4), v);
    return *this;
  }
  Chunks& U64(std::uint64_t v) {
    std::uint8_t* p = Grow(8);
    StoreBe32(p, static_cast<std::uint32_t>(v >> 32));
    StoreBe32(p + 4, static_cast<std::uint32_t>(v));
    return *this;
  }
  Chunks& Raw(std::string_view text) {
    if (!text.empty()) std::memcpy(Grow(text.size()), text.data(), text.size());
    return *this;
  }
  Chunks& Append(const Chunks& other) {
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    return *this;
  }
  // A chunk around `body`, with a pad byte after an odd body.
  Chunks& Chunk(std::string_view id, const Chunks& body) {
    Id(id).U64(body.size()).Append(body);
    if (PaddedSize(body.size()) != body.size()) U8(0);
    return *this;
  }
  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::uint8_t* Grow(std::size_t n) {
    bytes_.resize(bytes_.size() + n);
    return bytes_.data() + bytes_.size() - n;
  }

  std::vector<std::uint8_t> bytes_;
};

Chunks Header(std::uint32_t rate, std::uint16_t channels, std::uint64_t data_bytes) {
  Chunks ids;
  if (channels == 1)
    ids.Id("C000");
  else
    ids.Id("SLFT").Id("SRGT");
  Chunks chnl;
  chnl.U16(channels).Append(ids);
  Chunks cmpr;
  cmpr.Id("DSD ").U8(14).Raw("not compressed");
  Chunks fs;
  fs.U32(rate);
  Chunks prop;
  prop.Id("SND ").Chunk("FS  ", fs).Chunk("CHNL", chnl).Chunk("CMPR", cmpr);
  Chunks fver;
  fver.U32(0x01050000);

  Chunks form;
  form.Id("DSD ").Chunk("FVER", fver).Chunk("PROP", prop).Id("DSD ").U64(data_bytes);
  Chunks out;
  out.Id("FRM8").U64(form.size() + PaddedSize(data_bytes)).Append(form);
  return out;
}

// A text in the narrow code page with its 32-bit length; 20 when it is too
// long for it.
Error StoredText(std::string_view utf8, std::string* out) {
  *out = StoredNarrowText(utf8);
  return out->size() > 0xFFFFFFF0u ? err::kMetadataTooLarge : err::kOk;
}

// One comment: zero time stamp, type, reference, counted text, pad to even.
void AddComment(Chunks& body, std::uint16_t type, std::uint16_t reference, const std::string& text) {
  body.U16(0).U8(0).U8(0).U8(0).U8(0).U16(type).U16(reference).U32(static_cast<std::uint32_t>(text.size()));
  body.Raw(text);
  if (PaddedSize(text.size()) != text.size()) body.U8(0);
}

Error MetadataChunks(std::uint32_t rate, const TagSet& tags, Chunks* out) {
  std::string comments;
  std::string name;
  std::string artist;
  if (Error rc = StoredText(TagText(tags, InfoText::Comments), &comments)) return rc;
  if (Error rc = StoredText(TagText(tags, InfoText::Name), &name)) return rc;
  if (Error rc = StoredText(TagText(tags, InfoText::Artist), &artist)) return rc;

  char rate_text[48];
  std::snprintf(rate_text, sizeof rate_text, "sampling rate = %u Hz", rate);
  Chunks comt;
  comt.U16(comments.empty() ? 2 : 3);
  AddComment(comt, 2, 2, rate_text);
  AddComment(comt, 3, 2, std::string(kSoftwareStamp));
  if (!comments.empty()) AddComment(comt, 0, 0, comments);
  out->Chunk("COMT", comt);

  if (name.empty() && artist.empty()) return err::kOk;
  Chunks diin;
  for (const auto& [id, text] : {std::pair<std::string_view, const std::string&>{"DITI", name}, {"DIAR", artist}}) {
    if (text.empty()) continue;
    Chunks body;
    body.U32(static_cast<std::uint32_t>(text.size())).Raw(text);
    diin.Chunk(id, body);
  }
  out->Chunk("DIIN", diin);
  return err::kOk;
}

}  // namespace

CDsdIffWriter::CDsdIffWriter() : COneBitWriter(false) {}

CDsdIffWriter::~CDsdIffWriter() = default;

Error CDsdIffWriter::Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) {
  if (const Error rc = Check(Stage::kOpen)) return rc;
  if (channels != 1 && channels != 2) return err::kSizeLimit;
  if (one_bit_rate == 0) return err::kUnsupportedFormat;
  if (data_bytes > kLargestData) return err::kTooManyFramesForTarget;
  return TryAlloc([&] {
    const Chunks header = Header(one_bit_rate, channels, data_bytes);
    if (const Error rc = SizeFile(header.size() + PaddedSize(data_bytes))) return rc;
    if (const Error rc = WriteAt(0, header.bytes().data(), header.size())) return rc;
    StartData(one_bit_rate, channels, header.size(), data_bytes);
    return err::kOk;
  });
}

Error CDsdIffWriter::WritePlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                                 std::uint16_t channels) {
  if (const Error rc = CheckPlanar(channel_bytes, bytes_per_channel, channels)) return rc;
  return WriteInterleaved(channel_bytes, bytes_per_channel, channels);
}

Error CDsdIffWriter::WriteRaw(const void* bytes, std::uint32_t count) { return AppendData(bytes, count); }

Error CDsdIffWriter::Finish() {
  if (const Error rc = Check(Stage::kBegun)) return rc;
  if (const Error rc = FillRestOfData(kIdle)) return rc;
  if (PaddedSize(data_capacity_) != data_capacity_) {
    const std::uint8_t pad = 0;
    if (const Error rc = WriteAt(data_end(), &pad, 1)) return rc;
  }
  stage_ = Stage::kFinished;
  return err::kOk;
}

Error CDsdIffWriter::WriteMetadata(std::uint32_t one_bit_rate, const TagSet& tags) {
  if (const Error rc = Check(Stage::kFinished)) return rc;
  return TryAlloc([&] {
    Chunks chunks;
    if (const Error rc = MetadataChunks(one_bit_rate, tags, &chunks)) return rc;
    const std::uint64_t at = data_offset_ + PaddedSize(data_capacity_);
    const std::uint64_t file_size = at + chunks.size();
    if (const Error rc = WriteAt(at, chunks.bytes().data(), chunks.size())) return rc;
    if (const Error rc = Note(file_.SetLogicalEnd(static_cast<std::int64_t>(file_size)))) return rc;
    std::uint8_t form_size[8];
    StoreBe32(form_size, static_cast<std::uint32_t>((file_size - kFormHeader) >> 32));
    StoreBe32(form_size + 4, static_cast<std::uint32_t>(file_size - kFormHeader));
    if (const Error rc = WriteAt(kFormSizeOffset, form_size, sizeof form_size)) return rc;
    stage_ = Stage::kMetadataWritten;
    return err::kOk;
  });
}

std::uint32_t CDsdIffWriter::HeaderSize() const { return channels_ == 0 ? 0 : 122u + 4u * channels_; }

}  // namespace tidemark::NS_1BIT
