// Label text files: a document's markers as lines of time, quoted name and
// quoted comment. Export writes UTF-16 little-endian with a byte-order mark
// and CR LF line ends; import reads any text encoding and skips every line
// that does not parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/markers/marker.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Writes the document's markers to `path`: the source-file header when the
// document has a path, then one line per marker. The file is written aside
// and renamed over `path` when complete. Errors: 5 when the file cannot be
// created, the writer's error when writing fails, 2 out of memory.
[[nodiscard]] Error ExportMarkerText(const SoundDocument& document, const std::string& path);

// Reads the label lines of `path`, merges them (clamped to the document's
// length) and adds them as one undoable step; a file without a single good
// line adds nothing. Errors: the reader's (25 cannot open, 8 read), 2 out
// of memory, or AddMarkers's.
[[nodiscard]] Error ImportMarkerText(SoundDocument& document, const std::string& path);

// "MM:SS.TTTT" for a position: whole minutes (as many digits as needed),
// seconds and rounded ten-thousandths; a fraction that rounds up to a whole
// second carries into the seconds and minutes.
std::string FormatMarkerTime(std::uint32_t position, std::uint32_t rate);

// Appends one export line without its line end: time, tab, quoted name and,
// when the comment is not empty, a space and the quoted comment. Inside
// quotes '"' and '\' get a backslash; CR and LF, which no line can hold,
// become spaces. 2 when memory runs out.
[[nodiscard]] Error AppendMarkerLine(const Marker& marker, std::uint32_t rate, std::string* out);

// What one label line holds.
struct MarkerTextLine {
  double seconds = 0;
  std::string name;
  std::string comment;
};

enum class LineParse { kMarker, kNoMarker, kOutOfMemory };

// Parses one line (UTF-8, without CR or LF). Time: up to three fields of at
// most 8 digits joined by ':' (each ':' multiplies what came before by 60),
// then optionally '.' and fraction digits (those after the eighth ignored),
// ended by white space or the line's end. Then the name and the comment:
// a token in double quotes (escapes \" and \\; an unclosed one runs to the
// line's end) or an unquoted one, which runs to the line's end.
LineParse ParseMarkerLine(std::string_view line, MarkerTextLine* out);

// floor(seconds * rate + 0.5), limited to 0 ... kMaxFrames before it
// becomes an integer.
std::uint32_t SecondsToFrames(double seconds, std::uint32_t rate);

// The markers of a label file's lines in file order, not yet merged. The
// text may start with a byte-order mark (UTF-16 LE or BE, UTF-8); without
// one it is in the narrow code page. CR characters are dropped and the last
// line needs no LF. Lines longer than kMaxLabelLineBytes are skipped.
// ReadMarkerTextFile reads the file in pieces, so memory stays bounded by
// the longest line and the markers found. On error `out` is empty.
inline constexpr std::size_t kMaxLabelLineBytes = std::size_t{1} << 20;
[[nodiscard]] Error ParseMarkerText(std::string_view bytes, std::uint32_t rate, MarkerList* out);
[[nodiscard]] Error ReadMarkerTextFile(const std::string& path, std::uint32_t rate, MarkerList* out);

}  // namespace tidemark
