#include "formats/tags/internal/id3v2_reader.h"

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/input_file.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::size_t kHeaderSize = 10;

// Header flags.
constexpr std::uint8_t kTagUnsynchronised = 0x80;
constexpr std::uint8_t kTagExtendedHeader = 0x40;
constexpr std::uint8_t kTagExperimental = 0x20;
constexpr std::uint8_t kTagFooter = 0x10;  // version 4

// Second frame flag byte (format flags).
constexpr std::uint8_t kV3Ignored = 0x80 | 0x40 | 0x20;  // compression, encryption, grouping
constexpr std::uint8_t kV4Ignored = 0x40 | 0x08 | 0x04;  // grouping, compression, encryption
constexpr std::uint8_t kV4Unsynchronised = 0x02;
constexpr std::uint8_t kV4DataLength = 0x01;

// A 28-bit number stored 7 bits a byte; false when a byte has its top bit.
bool LoadSyncSafe(const std::uint8_t* p, std::uint32_t* value) {
  if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return false;
  *value = std::uint32_t{p[0]} << 21 | std::uint32_t{p[1]} << 14 | std::uint32_t{p[2]} << 7 | p[3];
  return true;
}

struct Header {
  std::uint8_t version = 0;
  std::uint8_t flags = 0;
  std::uint32_t size = 0;  // after the header
};

bool ParseHeader(const std::uint8_t* h, Header* header) {
  if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') return false;
  if ((h[3] != 3 && h[3] != 4) || h[4] != 0) return false;
  if (h[5] & kTagExperimental) return false;
  if (!LoadSyncSafe(h + 6, &header->size)) return false;
  header->version = h[3];
  header->flags = h[5];
  return true;
}

bool IsFrameIdChar(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Where the frames start in `body` (the tag after its header, in version 3
// with unsynchronisation already undone); body.size() when an extended
// header does not fit. Version 3 stores the size after the size field,
// version 4 the size of the whole extended header (at least 6 bytes).
std::size_t FramesStart(std::span<const std::uint8_t> body, const Header& header) {
  if (!(header.flags & kTagExtendedHeader)) return 0;
  if (body.size() < 4) return body.size();
  std::uint64_t skip = 0;
  if (header.version == 3) {
    skip = std::uint64_t{LoadBe32(body.data())} + 4;
  } else {
    std::uint32_t size = 0;
    if (!LoadSyncSafe(body.data(), &size) || size < 6) return body.size();
    skip = size;
  }
  return skip <= body.size() ? static_cast<std::size_t>(skip) : body.size();
}

void ParseFrames(std::span<const std::uint8_t> body, const Header& header, std::vector<Id3v2Frame>* frames) {
  const bool v4 = header.version == 4;
  std::size_t pos = FramesStart(body, header);
  while (body.size() - pos >= kHeaderSize) {
    const std::uint8_t* h = body.data() + pos;
    if (!IsFrameIdChar(h[0]) || !IsFrameIdChar(h[1]) || !IsFrameIdChar(h[2]) || !IsFrameIdChar(h[3])) break;
    std::uint32_t size = 0;
    if (v4) {
      if (!LoadSyncSafe(h + 4, &size)) break;
    } else {
      size = LoadBe32(h + 4);
    }
    if (size > body.size() - pos - kHeaderSize) break;
    const std::uint8_t format = h[9];
    std::span<const std::uint8_t> data = body.subspan(pos + kHeaderSize, size);
    pos += kHeaderSize + size;
    if (format & (v4 ? kV4Ignored : kV3Ignored)) continue;

    Id3v2Frame frame;
    for (int i = 0; i < 4; ++i) frame.id[static_cast<std::size_t>(i)] = static_cast<char>(h[i]);
    if (v4 && (format & kV4DataLength)) {
      if (data.size() < 4) continue;
      data = data.subspan(4);
    }
    if (v4 && ((format & kV4Unsynchronised) || (header.flags & kTagUnsynchronised)))
      frame.body = RemoveUnsynchronisation(data);
    else
      frame.body.assign(data.begin(), data.end());
    frames->push_back(std::move(frame));
  }
}

}  // namespace

const Id3v2Frame* Id3v2Tag::Find(std::string_view id) const {
  for (const Id3v2Frame& frame : frames)
    if (frame.Id() == id) return &frame;
  return nullptr;
}

std::vector<std::uint8_t> RemoveUnsynchronisation(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
  }
  return out;
}

Error ParseId3v2Tag(std::span<const std::uint8_t> bytes, Id3v2Tag* tag) {
  *tag = Id3v2Tag{};
  Header header;
  if (bytes.size() < kHeaderSize || !ParseHeader(bytes.data(), &header)) return err::kOk;
  if (header.size > bytes.size() - kHeaderSize) return err::kOk;
  return TryAlloc([&] {
    Id3v2Tag result;
    result.version = header.version;
    result.size = kHeaderSize + std::uint64_t{header.size} +
                  (header.version == 4 && (header.flags & kTagFooter) ? kHeaderSize : 0);
    std::span<const std::uint8_t> body = bytes.subspan(kHeaderSize, header.size);
    std::vector<std::uint8_t> decoded;
    if (header.version == 3 && (header.flags & kTagUnsynchronised)) {
      decoded = RemoveUnsynchronisation(body);
      body = decoded;
    }
    ParseFrames(body, header, &result.frames);
    *tag = std::move(result);
    return err::kOk;
  });
}

Error ReadId3v2Tag(RandomAccessInput& input, std::uint64_t length, std::uint64_t offset, Id3v2Tag* tag) {
  *tag = Id3v2Tag{};
  if (offset > length || length - offset < kHeaderSize) return err::kOk;
  std::uint8_t h[kHeaderSize];
  if (const Error rc = input.ReadExact(h, sizeof h, offset); rc != err::kOk) return rc;
  Header header;
  if (!ParseHeader(h, &header) || header.size > length - offset - kHeaderSize) return err::kOk;
  return TryAlloc([&] {
    std::vector<std::uint8_t> bytes(kHeaderSize + std::size_t{header.size});
    if (const Error rc = input.ReadExact(bytes.data(), bytes.size(), offset); rc != err::kOk) return rc;
    return ParseId3v2Tag(bytes, tag);
  });
}

Error ReadId3v2TagFile(const std::string& path, Id3v2Tag* tag) {
  *tag = Id3v2Tag{};
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length); rc != err::kOk) return rc;
  FileInput input(file);
  return ReadId3v2Tag(input, length, 0, tag);
}

}  // namespace tidemark
