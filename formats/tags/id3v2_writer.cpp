#include "formats/tags/internal/id3v2_writer.h"

#include <cstdio>
#include <string>

#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/id3_genres.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kFrameHeader = 10;
constexpr std::size_t kPadding = 128;
constexpr std::uint32_t kSyncSafeLimit = 1u << 28;
constexpr std::uint8_t kTagUnsynchronised = 0x80;
constexpr std::uint8_t kFrameUnsynchronised = 0x02;  // version 4 format flag

void StoreSyncSafe(std::uint8_t* p, std::uint32_t v) {
  for (int i = 3; i >= 0; --i, v >>= 7) p[i] = static_cast<std::uint8_t>(v & 0x7F);
}

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

void Append(Bytes& out, std::string_view bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// Appends the byte-order mark FF FE and the UTF-16 little-endian form of
// `utf8`.
void AppendUtf16(Bytes& out, std::string_view utf8) {
  out.push_back(0xFF);
  out.push_back(0xFE);
  for (const char16_t unit : Utf8ToUtf16(utf8)) {
    out.push_back(static_cast<std::uint8_t>(unit));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

bool UsesUtf16(std::string_view text, const Id3v2WriteOptions& options) { return options.unicode && !IsAscii(text); }

// `text` in the frame encoding chosen for it (without terminator).
void AppendText(Bytes& out, std::string_view text, bool utf16) {
  if (utf16)
    AppendUtf16(out, text);
  else if (IsAscii(text))
    Append(out, text);
  else
    Append(out, Utf8ToNarrow(text));
}

Error AddTextFrame(Bytes& out, int version, std::string_view id, std::string_view text,
                   const Id3v2WriteOptions& options) {
  if (text.empty()) return err::kOk;
  const bool utf16 = UsesUtf16(text, options);
  Bytes body{static_cast<std::uint8_t>(utf16 ? 1 : 0)};
  AppendText(body, text, utf16);
  return AppendId3v2Frame(version, id, body, &out);
}

bool NeedsUnsynchronisation(std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == 0xFF && (i + 1 == bytes.size() || bytes[i + 1] == 0 || bytes[i + 1] >= 0xE0)) return true;
  return false;
}

Bytes Unsynchronise(std::span<const std::uint8_t> bytes) {
  Bytes out;
  out.reserve(bytes.size() + bytes.size() / 8 + 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && (i + 1 == bytes.size() || bytes[i + 1] == 0 || bytes[i + 1] >= 0xE0)) out.push_back(0);
  }
  return out;
}

// Version 4: unsynchronises each frame of `frames` that needs it. Frames
// are walked by their headers; a stretch that does not parse as a frame (a
// caller's malformed extra frame) is kept as it is and counts as not
// unsynchronised. True when every frame ended up unsynchronised.
bool UnsynchroniseFrames(Bytes& frames) {
  Bytes out;
  out.reserve(frames.size() + frames.size() / 8 + 16);
  bool all = true;
  std::size_t pos = 0;
  while (pos < frames.size()) {
    const std::uint8_t* h = frames.data() + pos;
    const std::size_t left = frames.size() - pos;
    const bool header_ok = left >= kFrameHeader && !((h[4] | h[5] | h[6] | h[7]) & 0x80);
    const std::uint32_t size =
        header_ok ? std::uint32_t{h[4]} << 21 | std::uint32_t{h[5]} << 14 | std::uint32_t{h[6]} << 7 | h[7] : 0;
    if (!header_ok || size > left - kFrameHeader) {
      out.insert(out.end(), frames.begin() + static_cast<std::ptrdiff_t>(pos), frames.end());
      all = false;
      break;
    }
    const std::span<const std::uint8_t> data(h + kFrameHeader, size);
    if (!(h[9] & kFrameUnsynchronised) && NeedsUnsynchronisation(data)) {
      const Bytes stored = Unsynchronise(data);
      const std::size_t at = out.size();
      out.insert(out.end(), h, h + kFrameHeader);
      // A frame that grows past the size field makes the whole tag too
      // large, which the caller reports.
      StoreSyncSafe(&out[at + 4], static_cast<std::uint32_t>(stored.size()));
      out[at + 9] |= kFrameUnsynchronised;
      out.insert(out.end(), stored.begin(), stored.end());
    } else {
      if (!(h[9] & kFrameUnsynchronised)) all = false;
      out.insert(out.end(), h, h + kFrameHeader + size);
    }
    pos += kFrameHeader + size;
  }
  frames = std::move(out);
  return all;
}

}  // namespace

Error AppendId3v2Frame(int version, std::string_view id, std::span<const std::uint8_t> body,
                       std::vector<std::uint8_t>* out) {
  if (version == 4 ? body.size() >= kSyncSafeLimit : body.size() > 0xFFFFFFFFu) return err::kMetadataTooLarge;
  std::uint8_t h[kFrameHeader] = {};
  for (std::size_t i = 0; i < 4 && i < id.size(); ++i) h[i] = static_cast<std::uint8_t>(id[i]);
  if (version == 4)
    StoreSyncSafe(h + 4, static_cast<std::uint32_t>(body.size()));
  else
    StoreBe32(h + 4, static_cast<std::uint32_t>(body.size()));
  out->insert(out->end(), h, h + kFrameHeader);
  out->insert(out->end(), body.begin(), body.end());
  return err::kOk;
}

Error BuildId3v2Tag(const Id3Fields& fields, const Id3v2WriteOptions& options,
                    std::span<const std::uint8_t> extra_frame, bool no_padding,
                    std::vector<std::uint8_t>* tag) {
  tag->clear();
  const int version = options.version == 4 ? 4 : 3;
  return TryAlloc([&] {
    Bytes frames;
    Error rc = err::kOk;
    auto text = [&](std::string_view id, std::string_view value) {
      if (rc == err::kOk) rc = AddTextFrame(frames, version, id, value, options);
    };
    text("TIT2", fields.title);
    text("TPE1", fields.artist);
    text("TALB", fields.album);
    if (const std::string_view name = Id3GenreName(fields.genre); !name.empty()) {
      char index[16];
      std::snprintf(index, sizeof index, "(%d)", fields.genre);
      text("TCON", version == 4 ? name : std::string_view(index));
    }
    text("TCOP", fields.copyright);
    if (fields.track != 0) text("TRCK", std::to_string(fields.track % 100));
    if (Utf16Length(fields.isrc) == 12) text("TSRC", fields.isrc);
    if (fields.year != 0) {
      char year[16];
      std::snprintf(year, sizeof year, "%04d", fields.year % 10000);
      text(version == 4 ? "TDRC" : "TYER", year);
    }
    if (!fields.web_url.empty() && rc == err::kOk) {
      Bytes body{0, 0};  // encoding 0, empty description
      Append(body, IsAscii(fields.web_url) ? fields.web_url : Utf8ToNarrow(fields.web_url));
      rc = AppendId3v2Frame(version, "WXXX", body, &frames);
    }
    if (!fields.comment.empty() && rc == err::kOk) {
      const bool utf16 = UsesUtf16(fields.comment, options);
      Bytes body{static_cast<std::uint8_t>(utf16 ? 1 : 0), 'X', 'X', 'X'};
      if (utf16) {
        AppendUtf16(body, "");  // the empty description: its mark and a zero unit
        body.push_back(0);
        body.push_back(0);
      } else {
        body.push_back(0);
      }
      AppendText(body, fields.comment, utf16);
      rc = AppendId3v2Frame(version, "COMM", body, &frames);
    }
    if (rc != err::kOk) return rc;
    frames.insert(frames.end(), extra_frame.begin(), extra_frame.end());

    std::uint8_t flags = 0;
    const bool unsynchronise = options.unsynchronise && !no_padding;
    if (unsynchronise && version == 4 && !frames.empty() && UnsynchroniseFrames(frames)) flags |= kTagUnsynchronised;
    if (!no_padding) frames.insert(frames.end(), kPadding, 0);
    if (unsynchronise && version == 3 && NeedsUnsynchronisation(frames)) {
      frames = Unsynchronise(frames);
      flags |= kTagUnsynchronised;
    }
    if (frames.size() >= kSyncSafeLimit) return err::kMetadataTooLarge;

    Bytes out{'I', 'D', '3', static_cast<std::uint8_t>(version), 0, flags, 0, 0, 0, 0};
    StoreSyncSafe(&out[6], static_cast<std::uint32_t>(frames.size()));
    out.insert(out.end(), frames.begin(), frames.end());
    *tag = std::move(out);
    return err::kOk;
  });
}

}  // namespace tidemark
