// Reading label files: the encoding from the byte-order mark, lines split
// in the file's own code units, each line decoded and parsed on its own.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "core/undo/marker_commands.h"
#include "core/markers/marker_list.h"
#include "core/markers/marker_text.h"
#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

enum class TextEncoding { kNarrow, kUtf8, kUtf16Le, kUtf16Be };

TextEncoding DetectEncoding(std::string_view head, std::size_t* mark_length) {
  const auto byte = [&head](std::size_t i) { return static_cast<unsigned char>(head[i]); };
  if (head.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    *mark_length = 2;
    return TextEncoding::kUtf16Le;
  }
  if (head.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    *mark_length = 2;
    return TextEncoding::kUtf16Be;
  }
  if (head.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    *mark_length = 3;
    return TextEncoding::kUtf8;
  }
  *mark_length = 0;
  return TextEncoding::kNarrow;
}

void ValidateUtf8(std::string& text) {
  if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    text = Utf16ToUtf8(Utf8ToUtf16(text));
}

// Splits the text into lines and turns each good one into a marker at the
// end of the list.
class LabelLineReader {
 public:
  LabelLineReader(TextEncoding encoding, std::uint32_t rate, MarkerList& out)
      : encoding_(encoding), unit_(IsUtf16() ? 2 : 1), rate_(rate), out_(out) {}

  Error Start() {
    if (encoding_ != TextEncoding::kNarrow) return err::kOk;
    if (const Error rc = TryAlloc([&] { codeset_ = NarrowCodeset(); })) return rc;
    if (IsUtf8Codeset(codeset_) || IsCLocaleCodeset(codeset_)) encoding_ = TextEncoding::kUtf8;
    return err::kOk;
  }

  // The next bytes of the text, after any byte-order mark; every piece but
  // the last holds whole code units.
  Error Feed(std::string_view bytes) {
    return TryAlloc([&] {
      // Pieces hold whole units: only the text's end can cut one, and half
      // a unit is no character.
      if (bytes.size() % unit_) bytes.remove_suffix(bytes.size() % unit_);
      while (!bytes.empty()) {
        const std::size_t end = FindLineEnd(bytes);
        if (end == std::string_view::npos) {
          Keep(bytes);
          break;
        }
        const std::string_view piece = bytes.substr(0, end);
        bytes.remove_prefix(end + unit_);
        Error rc = err::kOk;
        if (pending_.empty() && !overlong_) {
          rc = TakeLine(piece);
        } else {
          Keep(piece);
          if (!overlong_) rc = TakeLine(pending_);
        }
        pending_.clear();
        overlong_ = false;
        if (rc) return rc;
      }
      return err::kOk;
    });
  }

  // The last line, which needs no line end.
  Error Finish() {
    Error rc = err::kOk;
    if (!pending_.empty() && !overlong_) rc = TakeLine(pending_);
    pending_.clear();
    overlong_ = false;
    return rc;
  }

 private:
  bool IsUtf16() const { return encoding_ == TextEncoding::kUtf16Le || encoding_ == TextEncoding::kUtf16Be; }

  char16_t Unit(std::string_view bytes, std::size_t i) const {
    const auto lo = static_cast<unsigned char>(bytes[i]), hi = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(encoding_ == TextEncoding::kUtf16Le ? lo | hi << 8 : hi | lo << 8);
  }

  // Offset of the first LF unit, or npos. An LF byte is never part of
  // another character in any of the encodings, nor 0x000A of a surrogate.
  std::size_t FindLineEnd(std::string_view bytes) const {
    if (unit_ == 1) {
      const void* lf = std::memchr(bytes.data(), '\n', bytes.size());
      return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data()) : std::string_view::npos;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      if (Unit(bytes, i) == u'\n') return i;
    return std::string_view::npos;
  }

  // Holds part of a line until its end comes; a line that grows too long is
  // dropped whole.
  void Keep(std::string_view piece) {
    if (overlong_) return;
    if (pending_.size() + piece.size() > kMaxLabelLineBytes) {
      overlong_ = true;
      pending_.clear();
      pending_.shrink_to_fit();
      return;
    }
    pending_.append(piece);
  }

  // Whether the line can hold a marker at all: after blanks and CRs it must
  // start with a digit. Blanks, CR and digits are ASCII, and in every
  // encoding read here a unit below 0x80 at a character start is that ASCII
  // character, so this looks at the raw units and most junk costs nothing.
  bool MayHoldMarker(std::string_view raw) const {
    for (std::size_t i = 0; i + unit_ <= raw.size(); i += unit_) {
      const char32_t c = unit_ == 1 ? static_cast<unsigned char>(raw[i]) : Unit(raw, i);
      if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r') continue;
      return c >= '0' && c <= '9';
    }
    return false;
  }

  Error TakeLine(std::string_view raw) {
    if (raw.size() > kMaxLabelLineBytes || !MayHoldMarker(raw)) return err::kOk;
    const Error rc = TryAlloc([&] {
      switch (encoding_) {
        case TextEncoding::kUtf16Le:
        case TextEncoding::kUtf16Be:
          units_.clear();
          for (std::size_t i = 0; i + 1 < raw.size(); i += 2) units_ += Unit(raw, i);
          text_ = Utf16ToUtf8(units_);
          break;
        case TextEncoding::kUtf8:
          text_.assign(raw);  // checked after parsing, see below
          break;
        case TextEncoding::kNarrow:
          text_ = NarrowToUtf8(raw, codeset_);
          break;
      }
      std::erase(text_, '\r');
    });
    if (rc) return rc;
    switch (ParseMarkerLine(text_, &line_)) {
      case LineParse::kNoMarker:
        return err::kOk;
      case LineParse::kOutOfMemory:
        return err::kOutOfMemory;
      case LineParse::kMarker:
        break;
    }
    // Invalid UTF-8 becomes U+FFFD. Replacing it only ever touches bytes
    // above 0x7F, none of which the grammar looks at, so only the names of
    // lines that parsed need the check.
    if (encoding_ == TextEncoding::kUtf8) {
      const Error valid = TryAlloc([&] {
        ValidateUtf8(line_.name);
        ValidateUtf8(line_.comment);
      });
      if (valid) return valid;
    }
    Marker* m = NewMarker(line_.name, line_.comment, SecondsToFrames(line_.seconds, rate_));
    if (!m) return err::kOutOfMemory;
    out_.InsertAfterAdopt(tail_, m);
    tail_ = m;
    return err::kOk;
  }

  TextEncoding encoding_;
  const std::size_t unit_;
  const std::uint32_t rate_;
  MarkerList& out_;
  Marker* tail_ = nullptr;
  std::string codeset_;
  std::string pending_;
  bool overlong_ = false;
  // Reused for every line.
  std::u16string units_;
  std::string text_;
  MarkerTextLine line_;
};

}  // namespace

Error ParseMarkerText(std::string_view bytes, std::uint32_t rate, MarkerList* out) {
  MarkerList list;
  std::size_t mark = 0;
  LabelLineReader reader(DetectEncoding(bytes, &mark), rate, list);
  Error rc = reader.Start();
  if (!rc) rc = reader.Feed(bytes.substr(mark));
  if (!rc) rc = reader.Finish();
  *out = rc ? MarkerList() : std::move(list);
  return rc;
}

Error ReadMarkerTextFile(const std::string& path, std::uint32_t rate, MarkerList* out) {
  *out = MarkerList();
  constexpr std::size_t kPiece = std::size_t{1} << 20;  // even, so UTF-16 units stay whole
  std::unique_ptr<char[]> buffer;
  if (const Error rc = MakeNew(&buffer, kPiece)) return rc;
  PosixFile file;
  if (const Error rc = file.Open(path, FileOpenOptions{})) return rc;

  MarkerList list;
  std::optional<LabelLineReader> reader;
  for (std::uint64_t offset = 0;;) {
    std::size_t done = 0;
    if (const Error rc = file.ReadAt(buffer.get(), kPiece, offset, &done)) return rc;
    std::string_view piece(buffer.get(), done);
    if (!reader) {  // the first piece is whole unless the file is shorter
      std::size_t mark = 0;
      reader.emplace(DetectEncoding(piece, &mark), rate, list);
      if (const Error rc = reader->Start()) return rc;
      piece.remove_prefix(mark);
    }
    if (const Error rc = reader->Feed(piece)) return rc;
    if (done < kPiece) break;
    offset += done;
  }
  if (const Error rc = reader->Finish()) return rc;
  *out = std::move(list);
  return err::kOk;
}

Error ImportMarkerText(SoundDocument& document, const std::string& path) {
  MarkerList list;
  if (const Error rc = ReadMarkerTextFile(path, document.rate, &list)) return rc;
  list = MergeSorted(std::move(list), document.length);
  if (list.empty()) return err::kOk;
  return AddMarkers(document, std::move(list));
}

}  // namespace tidemark
