// Calling automation objects as a script engine does: names resolved with
// GetIDsOfNames, arguments passed to Invoke as VARIANTs in reverse order.
#pragma once

#include <string>
#include <vector>

#include "automation/com/com.h"
#include "platform/utf.h"

namespace tidemark::com::testing {

inline VARIANT V(LONG x) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = x;
  return v;
}
inline VARIANT V(double x) {
  VARIANT v;
  v.vt = VT_R8;
  v.dblVal = x;
  return v;
}
inline VARIANT V(const char* utf8) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = BstrFromUtf8(utf8);
  return v;
}
inline VARIANT VBool(bool b) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
inline VARIANT VDisp(IDispatch* d) {
  VARIANT v;
  VariantSetDispatch(&v, d);
  return v;
}
inline VARIANT VMissing() {
  VARIANT v;
  VariantSetMissing(&v);
  return v;
}

struct CallResult {
  HRESULT hr = S_OK;
  Variant value;
  UINT arg_err = ~0u;
};

// Invokes `name` on `d` with `args` in declaration order; the arguments are
// cleared afterwards. A put passes its value as the DISPID_PROPERTYPUT
// named argument, as COM callers do.
inline void Call(IDispatch* d, const char* name, WORD flags, std::vector<VARIANT> args, CallResult* out) {
  const std::u16string wide = Utf8ToUtf16(name);
  const OLECHAR* names[] = {wide.c_str()};
  DISPID id = DISPID_UNKNOWN;
  out->hr = d->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
  if (FAILED(out->hr)) {
    for (VARIANT& a : args) (void)VariantClear(&a);
    return;
  }
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params;
  params.rgvarg = reversed.data();
  params.cArgs = static_cast<UINT>(reversed.size());
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put_id;
    params.cNamedArgs = 1;
  }
  out->hr = d->Invoke(id, IID_NULL, 0x409, flags, &params, &out->value, nullptr, &out->arg_err);
  for (VARIANT& a : reversed) (void)VariantClear(&a);
}

inline CallResult Get(IDispatch* d, const char* name, std::vector<VARIANT> args = {}) {
  CallResult r;
  Call(d, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(args), &r);
  return r;
}
inline CallResult Method(IDispatch* d, const char* name, std::vector<VARIANT> args = {}) {
  CallResult r;
  Call(d, name, DISPATCH_METHOD, std::move(args), &r);
  return r;
}
inline CallResult Put(IDispatch* d, const char* name, std::vector<VARIANT> args) {
  CallResult r;
  Call(d, name, DISPATCH_PROPERTYPUT, std::move(args), &r);
  return r;
}

inline std::string Text(const VARIANT& v) { return v.vt == VT_BSTR ? BstrToUtf8(v.bstrVal) : std::string("<not a string>"); }

}  // namespace tidemark::com::testing
