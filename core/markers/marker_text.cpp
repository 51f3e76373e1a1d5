// Label lines: formatting and parsing one line, and writing the export file.
#include "core/markers/marker_text.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "core/samples/sample_format.h"
#include "core/document/sound_document.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendQuoted(std::string_view text, std::string& out) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += (c == '\r' || c == '\n') ? ' ' : c;
  }
  out += '"';
}

// A token at `*i`: quoted (to the closing quote, with \" and \\; an unclosed
// one takes the rest of the line) or unquoted (the rest of the line).
void ReadToken(std::string_view s, std::size_t* i, std::string* token) {
  std::size_t p = *i;
  if (s[p] != '"') {
    token->assign(s.substr(p));
    *i = s.size();
    return;
  }
  for (++p; p < s.size(); ++p) {
    const char c = s[p];
    if (c == '\\' && p + 1 < s.size() && (s[p + 1] == '"' || s[p + 1] == '\\')) {
      *token += s[++p];
    } else if (c == '"') {
      ++p;
      break;
    } else {
      *token += c;
    }
  }
  *i = p;
}

// The export is written to a file of its own beside the target and renamed
// over it once complete; until then this removes it again.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!path_.empty()) {
      (void)file_.Close();
      (void)UnlinkFile(path_);
    }
  }

  // Creates a new file named after `target` in its folder.
  Error Create(const std::string& target) {
    FileOpenOptions options;
    options.access = FileAccess::kWrite;
    options.disposition = FileDisposition::kCreateNew;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      std::string candidate =
          folder + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
      if (file_.Open(candidate, options) == err::kOk) {
        path_ = std::move(candidate);
        return err::kOk;
      }
      if (file_.last_errno() != EEXIST) break;
    }
    return err::kCreateFailed;
  }

  Error Write(std::string_view bytes) {
    std::size_t done = 0;
    const Error rc = file_.WriteAt(bytes.data(), bytes.size(), offset_, &done);
    offset_ += done;
    return rc;
  }

  // Flushes, closes and renames over `target`.
  Error Commit(const std::string& target) {
    if (const Error rc = file_.Sync()) return rc;
    if (const Error rc = file_.Close()) return rc;
    if (RenameFile(path_, target, false) != err::kOk) return err::kCreateFailed;
    path_.clear();
    return err::kOk;
  }

 private:
  PosixFile file_;
  std::string path_;
  std::uint64_t offset_ = 0;
};

// Collects UTF-16LE text and hands it to the file in large pieces.
class Utf16Writer {
 public:
  explicit Utf16Writer(TempFile& file) : file_(file) {}

  Error Line(std::string_view utf8) {
    for (const char16_t u : Utf8ToUtf16(utf8)) Unit(u);
    Unit(u'\r');
    Unit(u'\n');
    return bytes_.size() >= kFlushBytes ? Flush() : err::kOk;
  }
  void Unit(char16_t u) {
    bytes_ += static_cast<char>(u & 0xFF);
    bytes_ += static_cast<char>(u >> 8);
  }
  Error Flush() {
    const Error rc = file_.Write(bytes_);
    bytes_.clear();
    return rc;
  }

 private:
  static constexpr std::size_t kFlushBytes = 64 * 1024;
  TempFile& file_;
  std::string bytes_;
};

// Where the export lands: through a symbolic link to the file it names.
std::string ResolveTarget(const std::string& path) {
  std::unique_ptr<char, decltype(&::free)> real(::realpath(path.c_str(), nullptr), &::free);
  return real ? std::string(real.get()) : path;
}

Error WriteMarkers(const SoundDocument& document, Utf16Writer& out) {
  out.Unit(0xFEFF);
  const std::optional<std::string>& source = document.path ? document.path : document.second_path;
  if (source) {
    if (const Error rc = out.Line("# source file:")) return rc;
    if (const Error rc = out.Line("# " + *source)) return rc;
    if (const Error rc = out.Line("#")) return rc;
  }
  std::string line;
  for (const Marker* m = document.markers.first(); m; m = m->next) {
    line.clear();
    if (const Error rc = AppendMarkerLine(*m, document.rate, &line)) return rc;
    if (const Error rc = out.Line(line)) return rc;
  }
  return out.Flush();
}

}  // namespace

std::string FormatMarkerTime(std::uint32_t position, std::uint32_t rate) {
  unsigned long long minutes = 0, seconds = 0, fraction = 0;
  if (rate > 0) {
    const std::uint64_t per_minute = std::uint64_t{rate} * 60;
    minutes = position / per_minute;
    seconds = (position % per_minute) / rate;
    fraction = (std::uint64_t{position % rate} * 20000 + rate) / (std::uint64_t{rate} * 2);
    if (fraction >= 10000) {  // within half a ten-thousandth of the next second
      fraction -= 10000;
      if (++seconds == 60) {
        seconds = 0;
        ++minutes;
      }
    }
  }
  char text[48];
  std::snprintf(text, sizeof text, "%02llu:%02llu.%04llu", minutes, seconds, fraction);
  return text;  // short enough for the string's own buffer
}

Error AppendMarkerLine(const Marker& marker, std::uint32_t rate, std::string* out) {
  return TryAlloc([&] {
    *out += FormatMarkerTime(marker.position, rate);
    *out += '\t';
    AppendQuoted(marker.name, *out);
    if (marker.comment && !marker.comment->empty()) {
      *out += ' ';
      AppendQuoted(*marker.comment, *out);
    }
  });
}

LineParse ParseMarkerLine(std::string_view s, MarkerTextLine* out) {
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n && IsBlank(s[i])) ++i;
  if (i == n || !IsDigit(s[i])) return LineParse::kNoMarker;

  constexpr std::size_t kMaxFieldDigits = 8;
  std::uint64_t whole = 0;
  for (int field = 0;; ++field) {
    std::uint64_t value = 0;
    for (std::size_t digits = 0; i < n && IsDigit(s[i]); ++i) {
      if (++digits > kMaxFieldDigits) return LineParse::kNoMarker;
      value = value * 10 + static_cast<unsigned>(s[i] - '0');
    }
    whole = whole * 60 + value;
    if (i == n || s[i] != ':') break;
    if (field == 2) return LineParse::kNoMarker;  // a third ':'
    if (++i == n || !IsDigit(s[i])) return LineParse::kNoMarker;
  }
  double fraction = 0;
  if (i < n && s[i] == '.') {
    std::uint32_t digits_value = 0, scale = 1;
    for (std::size_t digits = 0; ++i < n && IsDigit(s[i]); ++digits) {
      if (digits >= kMaxFieldDigits) continue;
      digits_value = digits_value * 10 + static_cast<unsigned>(s[i] - '0');
      scale *= 10;
    }
    fraction = static_cast<double>(digits_value) / scale;
  }
  if (i < n && !IsBlank(s[i])) return LineParse::kNoMarker;
  out->seconds = static_cast<double>(whole) + fraction;

  const Error rc = TryAlloc([&] {
    out->name.clear();
    out->comment.clear();
    while (i < n && IsBlank(s[i])) ++i;
    if (i < n) ReadToken(s, &i, &out->name);
    while (i < n && IsBlank(s[i])) ++i;
    if (i < n) ReadToken(s, &i, &out->comment);
  });
  return rc ? LineParse::kOutOfMemory : LineParse::kMarker;
}

std::uint32_t SecondsToFrames(double seconds, std::uint32_t rate) {
  const double frames = seconds * rate + 0.5;
  if (!(frames > 0)) return 0;  // negative, or not a number
  if (frames >= static_cast<double>(kMaxFrames)) return kMaxFrames;
  return static_cast<std::uint32_t>(frames);
}

Error ExportMarkerText(const SoundDocument& document, const std::string& path) {
  return TryAlloc([&] {
    const std::string target = ResolveTarget(path);
    TempFile file;
    if (const Error rc = file.Create(target)) return rc;
    Utf16Writer writer(file);
    if (const Error rc = WriteMarkers(document, writer)) return rc;
    return file.Commit(target);
  });
}

}  // namespace tidemark
