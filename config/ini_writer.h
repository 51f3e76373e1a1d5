// Writing side of the program's INI engine. The whole file is built in memory
// and written by Close() through a temporary file that replaces the target
// only when complete, so a failed write never leaves a damaged file behind.
//
// A section header is emitted just before the first key written into it, so
// sections that receive no key do not appear. Lines end with CR LF.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

enum class IniEncoding {
  kUtf16Le,  // byte-order mark FF FE
  kNarrow,   // the narrow code page; with a UTF-8 byte-order mark when that is UTF-8
};

class IniWriter {
 public:
  IniWriter() = default;
  IniWriter(const IniWriter&) = delete;
  IniWriter& operator=(const IniWriter&) = delete;

  // Starts a new file for `path`; nothing touches the disk before Close().
  void Open(const std::string& path, IniEncoding encoding, std::string_view narrow_codeset = {});

  // Makes `name` the section of the keys that follow.
  void SetSection(std::string_view name);

  // Every Write function returns false, and writes nothing, for a key that
  // would not read back as itself: an empty key, one holding "=", a line
  // break, leading or trailing spaces or tabs, or starting with ";" or "["
  // (comment and section lines).
  //
  // Writes "key=value". The value is written unchanged unless it would not
  // read back the same: a value with leading or trailing spaces or tabs, or
  // one that is itself enclosed in double quotes, is put in double quotes
  // (always with `quote`). A value holding a line break cannot be stored and
  // is skipped (returns false), so it can never inject other lines.
  bool WriteText(std::string_view key, std::string_view value, bool quote = false);
  // Writes "key=value" exactly as given (no quoting); false, and nothing
  // written, for a value holding a line break.
  bool WriteRawText(std::string_view key, std::string_view value);
  bool WriteDecimal(std::string_view key, std::int32_t value);
  // Lower-case hexadecimal with `width` digits ("%08x", "%04x").
  bool WriteHex(std::string_view key, std::uint32_t value, int width);
  // The blob form (config/ini_blob.h); false for more than kMaxBlobBytes bytes.
  bool WriteBlob(std::string_view key, std::span<const std::byte> bytes);

  // Whether `key` can be written (see above).
  static bool IsWritableKey(std::string_view key);

  // The file's bytes as Close() would write them.
  std::string EncodedBytes() const;

  // Writes the file (see the top of this file). Errors of ReplaceFileContents.
  [[nodiscard]] Error Close();

 private:
  bool WriteLine(std::string_view key, std::string_view value);

  std::string path_;
  IniEncoding encoding_ = IniEncoding::kUtf16Le;
  std::string codeset_;
  std::string text_;  // UTF-8, CR LF line ends
  std::string section_;
  bool section_written_ = false;
};

}  // namespace tidemark
