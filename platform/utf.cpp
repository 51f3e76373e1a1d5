#include "platform/utf.h"

namespace tidemark {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

std::size_t Utf16Units(char32_t cp) { return cp >= 0x10000 ? 2 : 1; }

}  // namespace

char32_t DecodeUtf8Step(std::string_view utf8, std::size_t* pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  std::size_t i = *pos;
  const unsigned char lead = byte(i++);
  if (lead < 0x80) {
    *pos = i;
    return lead;
  }
  // The range allowed for the second byte excludes overlong forms (E0, F0),
  // encoded surrogates (ED) and values above U+10FFFF (F4).
  std::size_t trail = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    *pos = i;
    return kReplacementChar;
  }
  for (std::size_t k = 0; k < trail; ++k) {
    if (i >= utf8.size()) {
      *pos = i;
      return kReplacementChar;
    }
    const unsigned char b = byte(i);
    const bool ok = k == 0 ? (b >= low && b <= high) : IsContinuation(b);
    if (!ok) {
      // The offending byte starts the next step.
      *pos = i;
      return kReplacementChar;
    }
    cp = (cp << 6) | (b & 0x3F);
    ++i;
  }
  *pos = i;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacementChar;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeUtf8Step(utf8, &pos);
    if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, cp);  // a lone surrogate becomes U+FFFD there
  }
  return out;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) units += Utf16Units(DecodeUtf8Step(utf8, &pos));
  return units;
}

std::string_view TruncateUtf8ToUtf16Units(std::string_view utf8, std::size_t max_units) {
  std::size_t units = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::size_t next = pos;
    const std::size_t add = Utf16Units(DecodeUtf8Step(utf8, &next));
    if (units + add > max_units) break;
    units += add;
    pos = next;
  }
  return utf8.substr(0, pos);
}

}  // namespace tidemark
