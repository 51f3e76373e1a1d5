#include "config/text_decode.h"

#include <algorithm>

#include "platform/code_page.h"
#include "platform/utf.h"

namespace tidemark {

TextFileEncoding DetectTextFileEncoding(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) return TextFileEncoding::kUtf16Le;
  if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) return TextFileEncoding::kUtf16Be;
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
    return TextFileEncoding::kUtf8;
  return TextFileEncoding::kNarrow;
}

namespace {

std::string DecodeUtf16(std::string_view bytes, bool big_endian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(big_endian ? static_cast<char16_t>(b0 << 8 | b1)
                               : static_cast<char16_t>(b1 << 8 | b0));
  }
  std::string out = Utf16ToUtf8(units);
  if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacementChar);  // a cut-off unit
  return out;
}

// UTF-8 with its invalid subparts replaced, so later stages see valid text.
std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[pos]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++pos;
      continue;
    }
    AppendUtf8(out, DecodeUtf8Step(bytes, &pos));
  }
  return out;
}

}  // namespace

std::string DecodeTextFile(std::string_view bytes, std::string_view narrow_codeset) {
  switch (DetectTextFileEncoding(bytes)) {
    case TextFileEncoding::kUtf16Le:
      return DecodeUtf16(bytes.substr(2), false);
    case TextFileEncoding::kUtf16Be:
      return DecodeUtf16(bytes.substr(2), true);
    case TextFileEncoding::kUtf8:
      return SanitizeUtf8(bytes.substr(3));
    case TextFileEncoding::kNarrow:
      break;
  }
  return NarrowToUtf8(bytes, narrow_codeset);
}

void NormalizeLineEnds(std::string& text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  if (text.empty() || text.back() != '\n') text.push_back('\n');
}

std::string EncodeUtf16LeWithBom(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(2 + units.size() * 2);
  out.push_back(static_cast<char>(0xFF));
  out.push_back(static_cast<char>(0xFE));
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

}  // namespace tidemark
