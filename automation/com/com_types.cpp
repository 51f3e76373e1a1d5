#include "automation/com/com_types.h"

#include <cstdio>

#include "automation/com/unknown.h"

namespace tidemark::com {

std::string HResultName(HRESULT hr) {
  struct Named {
    HRESULT hr;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {S_OK, "S_OK"},
      {S_FALSE, "S_FALSE"},
      {E_NOTIMPL, "E_NOTIMPL"},
      {E_NOINTERFACE, "E_NOINTERFACE"},
      {E_POINTER, "E_POINTER"},
      {E_FAIL, "E_FAIL"},
      {E_UNEXPECTED, "E_UNEXPECTED"},
      {E_ACCESSDENIED, "E_ACCESSDENIED"},
      {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
      {E_INVALIDARG, "E_INVALIDARG"},
      {RPC_E_DISCONNECTED, "RPC_E_DISCONNECTED"},
      {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE"},
      {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
      {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND"},
      {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
      {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME"},
      {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS"},
      {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE"},
      {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
      {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
      {DISP_E_BADINDEX, "DISP_E_BADINDEX"},
      {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
      {TYPE_E_ELEMENTNOTFOUND, "TYPE_E_ELEMENTNOTFOUND"},
  };
  for (const Named& n : kNames)
    if (n.hr == hr) return n.name;
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

bool ParseGuid(std::string_view text, GUID* out) { return guid_detail::Parse(text, out); }

std::string FormatGuid(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return a == b;
  void* ua = nullptr;
  void* ub = nullptr;
  if (FAILED(a->QueryInterface(IID_IUnknown, &ua))) return false;
  if (FAILED(b->QueryInterface(IID_IUnknown, &ub))) {
    static_cast<IUnknown*>(ua)->Release();
    return false;
  }
  static_cast<IUnknown*>(ua)->Release();
  static_cast<IUnknown*>(ub)->Release();
  return ua == ub;
}

}  // namespace tidemark::com
