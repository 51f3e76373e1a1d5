// The basic types of the automation layer: HRESULT values, the Windows-sized
// integer names, GUIDs. Integer widths follow the Windows ABI (LONG is 32
// bits even where C++'s long is 64), so the interface declarations read as
// their type library says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tidemark::com {

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using LONGLONG = std::int64_t;
using DISPID = std::int32_t;
using LCID = std::uint32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
// A counted UTF-16 string; see bstr.h.
using BSTR = OLECHAR*;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT MakeHr(std::uint32_t v) { return static_cast<HRESULT>(v); }
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHr(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHr(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHr(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057);
inline constexpr HRESULT RPC_E_DISCONNECTED = MakeHr(0x80010108);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHr(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHr(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHr(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHr(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHr(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHr(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHr(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHr(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHr(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHr(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHr(0x8002000E);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHr(0x8002802B);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// "E_INVALIDARG" for the values above, else "0x8XXXXXXX".
std::string HResultName(HRESULT hr);

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
using IID = GUID;
using CLSID = GUID;

namespace guid_detail {
constexpr int Hex(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}
// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", braces optional.
constexpr bool Parse(std::string_view s, GUID* out) {
  if (s.size() == 38) {
    if (s.front() != '{' || s.back() != '}') return false;
    s = s.substr(1, 36);
  }
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
  std::uint8_t bytes[16] = {};
  int n = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) continue;
    const int hi = Hex(s[i]);
    const int lo = i + 1 < s.size() ? Hex(s[i + 1]) : -1;
    if (hi < 0 || lo < 0) return false;
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    ++i;
  }
  GUID g;
  g.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
            static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  g.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  g.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  *out = g;
  return true;
}
}  // namespace guid_detail

// A GUID from its text form, checked at compile time.
consteval GUID MakeGuid(std::string_view text) {
  GUID g;
  if (!guid_detail::Parse(text, &g)) throw "malformed GUID";
  return g;
}

// False, and *out untouched, when `text` is not a GUID (braces optional).
bool ParseGuid(std::string_view text, GUID* out);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string FormatGuid(const GUID& guid);

inline constexpr IID IID_IUnknown = MakeGuid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = MakeGuid("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_IEnumVARIANT = MakeGuid("00020404-0000-0000-C000-000000000046");
inline constexpr IID IID_IErrorInfo = MakeGuid("1CF2B120-547D-101B-8E65-08002B2BD119");
inline constexpr IID IID_ISupportErrorInfo = MakeGuid("DF0B3D60-548F-101B-8E65-08002B2BD119");
inline constexpr IID IID_NULL = GUID{};

}  // namespace tidemark::com
