// BSTR: a counted UTF-16 string. The count (bytes, 32 bits) sits in front of
// the characters and a terminating 0 follows them, as in OLE, so a BSTR is
// also a C string of char16_t. A null BSTR and an empty one are different
// values; everything here reads a null BSTR as empty text, while members
// that require a string refuse both.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "automation/com/com_types.h"

namespace tidemark::com {

// Null when out of memory or when `len` exceeds the 32-bit byte count.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, std::size_t len);
void SysFreeString(BSTR s);
// Characters, not counting the terminator; 0 for null.
UINT SysStringLen(BSTR s);

// Conversions to and from UTF-8 (malformed input becomes U+FFFD).
BSTR BstrFromUtf8(std::string_view utf8);
std::string BstrToUtf8(BSTR s);
inline std::u16string_view BstrView(BSTR s) { return s ? std::u16string_view(s, SysStringLen(s)) : std::u16string_view(); }

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) : s_(BstrFromUtf8(utf8)) {}
  static Bstr Adopt(BSTR s) {
    Bstr b;
    b.s_ = s;
    return b;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept {
    std::swap(s_, o.s_);
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }

  BSTR get() const { return s_; }
  // For out-parameters: frees the old value first.
  BSTR* out() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  [[nodiscard]] BSTR release() { return std::exchange(s_, nullptr); }
  std::string utf8() const { return BstrToUtf8(s_); }
  UINT size() const { return SysStringLen(s_); }
  bool is_null() const { return s_ == nullptr; }

 private:
  BSTR s_ = nullptr;
};

}  // namespace tidemark::com
