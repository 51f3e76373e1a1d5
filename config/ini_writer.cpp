#include "config/ini_writer.h"

#include "config/config_file_io.h"
#include "config/ini_blob.h"
#include "config/ini_values.h"
#include "config/text_decode.h"
#include "platform/code_page.h"

namespace tidemark {

void IniWriter::Open(const std::string& path, IniEncoding encoding,
                     std::string_view narrow_codeset) {
  path_ = path;
  encoding_ = encoding;
  codeset_ = narrow_codeset.empty() ? NarrowCodeset() : std::string(narrow_codeset);
  text_.clear();
  section_.clear();
  section_written_ = false;
}

void IniWriter::SetSection(std::string_view name) {
  section_ = std::string(name);
  section_written_ = false;
}

bool IniWriter::IsWritableKey(std::string_view key) {
  if (key.empty() || key.find_first_of("=\r\n") != std::string_view::npos) return false;
  if (key.front() == ';' || key.front() == '[') return false;
  return TrimSpacesAndTabs(key).size() == key.size();
}

bool IniWriter::WriteLine(std::string_view key, std::string_view value) {
  if (!IsWritableKey(key) || value.find_first_of("\r\n") != std::string_view::npos) return false;
  if (!section_written_) {
    text_ += '[';
    text_ += section_;
    text_ += "]\r\n";
    section_written_ = true;
  }
  text_ += key;
  text_ += '=';
  text_ += value;
  text_ += "\r\n";
  return true;
}

bool IniWriter::WriteText(std::string_view key, std::string_view value, bool quote) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return false;
  const bool padded = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                         value.back() == ' ' || value.back() == '\t');
  const bool enclosed = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (quote || padded || enclosed) {
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted.push_back('"');
    quoted.append(value);
    quoted.push_back('"');
    return WriteLine(key, quoted);
  }
  return WriteLine(key, value);
}

bool IniWriter::WriteRawText(std::string_view key, std::string_view value) {
  return WriteLine(key, value);
}

bool IniWriter::WriteDecimal(std::string_view key, std::int32_t value) {
  return WriteLine(key, std::to_string(value));
}

bool IniWriter::WriteHex(std::string_view key, std::uint32_t value, int width) {
  return WriteLine(key, FormatHex(value, width));
}

bool IniWriter::WriteBlob(std::string_view key, std::span<const std::byte> bytes) {
  if (bytes.size() > kMaxBlobBytes) return false;
  return WriteLine(key, PackBlob(bytes));
}

std::string IniWriter::EncodedBytes() const {
  if (encoding_ == IniEncoding::kUtf16Le) return EncodeUtf16LeWithBom(text_);
  std::string narrow = Utf8ToNarrow(text_, codeset_);
  if (IsUtf8Codeset(codeset_)) narrow.insert(0, "\xEF\xBB\xBF");
  return narrow;
}

Error IniWriter::Close() { return ReplaceFileContents(path_, EncodedBytes()); }

}  // namespace tidemark
