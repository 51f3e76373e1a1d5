#include "automation/com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/utf.h"

namespace tidemark::com {
namespace {
// The byte count in front of the characters.
std::uint32_t* Header(BSTR s) { return reinterpret_cast<std::uint32_t*>(s) - 1; }
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, std::size_t len) {
  if (len > (std::numeric_limits<std::uint32_t>::max() - 8) / sizeof(OLECHAR)) return nullptr;
  auto* block = static_cast<std::uint32_t*>(std::malloc(sizeof(std::uint32_t) + (len + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  block[0] = static_cast<std::uint32_t>(len * sizeof(OLECHAR));
  auto* s = reinterpret_cast<BSTR>(block + 1);
  if (text && len) std::memcpy(s, text, len * sizeof(OLECHAR));
  else if (len) std::memset(s, 0, len * sizeof(OLECHAR));
  s[len] = 0;
  return s;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, std::char_traits<OLECHAR>::length(text));
}

void SysFreeString(BSTR s) {
  if (s) std::free(Header(s));
}

UINT SysStringLen(BSTR s) { return s ? Header(s)[0] / static_cast<UINT>(sizeof(OLECHAR)) : 0; }

BSTR BstrFromUtf8(std::string_view utf8) {
  try {
    const std::u16string wide = Utf8ToUtf16(utf8);
    return SysAllocStringLen(wide.data(), wide.size());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::string BstrToUtf8(BSTR s) { return Utf16ToUtf8(BstrView(s)); }

}  // namespace tidemark::com
