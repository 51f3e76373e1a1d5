#include "automation/com/variant.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "automation/com/dispatch.h"
#include "platform/ascii_case.h"

namespace tidemark::com {
namespace {

constexpr int kMaxDefaultDepth = 4;

bool IsObject(VARTYPE vt) { return vt == VT_DISPATCH || vt == VT_UNKNOWN; }

// Reads an object's default member as a property.
HRESULT DefaultValue(const VARIANT* src, VARIANT* out) {
  IDispatch* d = nullptr;
  if (src->vt == VT_DISPATCH) {
    d = src->pdispVal;
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  if (!d) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none;
  VariantInit(out);
  const HRESULT hr = d->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

HRESULT ParseNumber(BSTR text, double* out) {
  const std::string utf8 = BstrToUtf8(text);
  std::string_view s = Trim(utf8);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Digits or a point must follow: no names of infinities or NaN.
  if (s.empty() || !((s.front() >= '0' && s.front() <= '9') || s.front() == '.')) return DISP_E_TYPEMISMATCH;
  double x = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), x);
  if (r.ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return DISP_E_TYPEMISMATCH;
  *out = negative ? -x : x;
  return S_OK;
}

HRESULT ToDouble(const VARIANT* v, double* out, int depth);

HRESULT ToInteger(const VARIANT* v, std::int64_t* out, int depth) {
  switch (v->vt) {
    case VT_EMPTY: *out = 0; return S_OK;
    case VT_I2: *out = v->iVal; return S_OK;
    case VT_I4:
    case VT_INT: *out = v->lVal; return S_OK;
    case VT_I8: *out = v->llVal; return S_OK;
    case VT_BOOL: *out = v->boolVal ? -1 : 0; return S_OK;
    default: break;
  }
  double x = 0;
  const HRESULT hr = ToDouble(v, &x, depth);
  if (FAILED(hr)) return hr;
  // Round half to even, as OLE does.
  const double r = std::nearbyint(x);
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return DISP_E_OVERFLOW;
  *out = static_cast<std::int64_t>(r);
  return S_OK;
}

HRESULT ToDouble(const VARIANT* v, double* out, int depth) {
  switch (v->vt) {
    case VT_EMPTY: *out = 0; return S_OK;
    case VT_I2: *out = v->iVal; return S_OK;
    case VT_I4:
    case VT_INT: *out = v->lVal; return S_OK;
    case VT_I8: *out = static_cast<double>(v->llVal); return S_OK;
    case VT_R4: *out = v->fltVal; return S_OK;
    case VT_R8: *out = v->dblVal; return S_OK;
    case VT_BOOL: *out = v->boolVal ? -1.0 : 0.0; return S_OK;
    case VT_BSTR: return ParseNumber(v->bstrVal, out);
    case VT_DISPATCH: {
      if (depth >= kMaxDefaultDepth) return DISP_E_TYPEMISMATCH;
      Variant value;
      const HRESULT hr = DefaultValue(v, &value);
      return FAILED(hr) ? hr : ToDouble(&value, out, depth + 1);
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToBool(const VARIANT* v, bool* out, int depth) {
  if (v->vt == VT_BSTR) {
    const std::string s(Trim(BstrToUtf8(v->bstrVal)));
    if (EqualsIgnoreAsciiCase(s, "true")) return *out = true, S_OK;
    if (EqualsIgnoreAsciiCase(s, "false")) return *out = false, S_OK;
  }
  double x = 0;
  const HRESULT hr = ToDouble(v, &x, depth);
  if (FAILED(hr)) return hr;
  *out = x != 0;
  return S_OK;
}

std::string FormatDouble(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Infinity" : "Infinity";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

HRESULT ToText(const VARIANT* v, std::string* out, int depth) {
  switch (v->vt) {
    case VT_EMPTY: out->clear(); return S_OK;
    case VT_I2: *out = std::to_string(v->iVal); return S_OK;
    case VT_I4:
    case VT_INT: *out = std::to_string(v->lVal); return S_OK;
    case VT_I8: *out = std::to_string(v->llVal); return S_OK;
    case VT_R4: *out = FormatDouble(v->fltVal); return S_OK;
    case VT_R8: *out = FormatDouble(v->dblVal); return S_OK;
    case VT_BOOL: *out = v->boolVal ? "True" : "False"; return S_OK;
    case VT_DISPATCH: {
      if (depth >= kMaxDefaultDepth) return DISP_E_TYPEMISMATCH;
      Variant value;
      const HRESULT hr = DefaultValue(v, &value);
      return FAILED(hr) ? hr : ToText(&value, out, depth + 1);
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

template <typename T>
bool InRange(std::int64_t x) {
  return x >= std::numeric_limits<T>::min() && x <= std::numeric_limits<T>::max();
}

HRESULT Convert(VARIANT* dst, const VARIANT* src, VARTYPE vt, int depth) {
  // dst starts EMPTY and is not src.
  if (vt == VT_VARIANT) return VariantCopy(dst, src);
  if (src->vt == vt && vt != VT_DISPATCH) return VariantCopy(dst, src);
  if (src->vt == VT_NULL || src->vt == VT_ERROR || (src->vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
  switch (vt) {
    case VT_EMPTY: return S_OK;
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_I8: {
      std::int64_t x = 0;
      const HRESULT hr = ToInteger(src, &x, depth);
      if (FAILED(hr)) return hr;
      if (vt == VT_I2) {
        if (!InRange<SHORT>(x)) return DISP_E_OVERFLOW;
        dst->iVal = static_cast<SHORT>(x);
      } else if (vt == VT_I8) {
        dst->llVal = x;
      } else {
        if (!InRange<LONG>(x)) return DISP_E_OVERFLOW;
        dst->lVal = static_cast<LONG>(x);
      }
      dst->vt = vt;
      return S_OK;
    }
    case VT_R4:
    case VT_R8: {
      double x = 0;
      const HRESULT hr = ToDouble(src, &x, depth);
      if (FAILED(hr)) return hr;
      if (vt == VT_R4) {
        if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
        dst->fltVal = static_cast<float>(x);
      } else {
        dst->dblVal = x;
      }
      dst->vt = vt;
      return S_OK;
    }
    case VT_BOOL: {
      bool b = false;
      const HRESULT hr = ToBool(src, &b, depth);
      if (FAILED(hr)) return hr;
      dst->vt = VT_BOOL;
      dst->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
    case VT_BSTR: {
      std::string text;
      const HRESULT hr = ToText(src, &text, depth);
      if (FAILED(hr)) return hr;
      return VariantSetString(dst, text) ? S_OK : E_OUTOFMEMORY;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      if (src->vt == VT_EMPTY) {
        dst->vt = vt;
        dst->punkVal = nullptr;
        return S_OK;
      }
      if (!IsObject(src->vt)) return DISP_E_TYPEMISMATCH;
      if (!src->punkVal) {
        dst->vt = vt;
        dst->punkVal = nullptr;
        return S_OK;
      }
      void* p = nullptr;
      if (FAILED(src->punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p)))
        return DISP_E_TYPEMISMATCH;
      dst->vt = vt;
      if (vt == VT_DISPATCH) dst->pdispVal = static_cast<IDispatch*>(p);
      else dst->punkVal = static_cast<IUnknown*>(p);
      return S_OK;
    }
    default: return DISP_E_BADVARTYPE;
  }
}

}  // namespace

void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    if (v->vt & VT_ARRAY) (void)SafeArrayDestroy(v->parray);
    else if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    else if (IsObject(v->vt) && v->punkVal) v->punkVal->Release();
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
  if (!dst || !src) return E_INVALIDARG;
  if (dst == src) return S_OK;
  VARIANT copy = *src;
  if (!(src->vt & VT_BYREF)) {
    if (src->vt & VT_ARRAY) {
      copy.parray = nullptr;
      if (src->parray) {
        const HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
        if (FAILED(hr)) return hr;
      }
    } else if (src->vt == VT_BSTR && src->bstrVal) {
      copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
      if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if (IsObject(src->vt) && src->punkVal) {
      src->punkVal->AddRef();
    }
  }
  (void)VariantClear(dst);
  *dst = copy;
  return S_OK;
}

const VARIANT* VariantDeref(const VARIANT* v) {
  for (int i = 0; i < 8 && v && v->vt == (VT_BYREF | VT_VARIANT); ++i) v = v->pvarVal;
  return v;
}
VARIANT* VariantDeref(VARIANT* v) { return const_cast<VARIANT*>(VariantDeref(static_cast<const VARIANT*>(v))); }

HRESULT VariantCopyInd(VARIANT* dst, const VARIANT* src) {
  const VARIANT* s = VariantDeref(src);
  if (!s || (s->vt & VT_BYREF)) return DISP_E_BADVARTYPE;
  return VariantCopy(dst, s);
}

HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, WORD, VARTYPE vt) {
  if (!dst || !src) return E_INVALIDARG;
  const VARIANT* s = VariantDeref(src);
  if (!s || (s->vt & VT_BYREF)) return DISP_E_BADVARTYPE;
  VARIANT out;
  VariantInit(&out);
  const HRESULT hr = Convert(&out, s, vt, 0);
  if (FAILED(hr)) {
    (void)VariantClear(&out);
    return hr;
  }
  (void)VariantClear(dst);
  *dst = out;
  return S_OK;
}

void VariantSetI4(VARIANT* v, LONG x) {
  (void)VariantClear(v);
  v->vt = VT_I4;
  v->lVal = x;
}
void VariantSetR8(VARIANT* v, double x) {
  (void)VariantClear(v);
  v->vt = VT_R8;
  v->dblVal = x;
}
void VariantSetBool(VARIANT* v, bool x) {
  (void)VariantClear(v);
  v->vt = VT_BOOL;
  v->boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
}
bool VariantSetString(VARIANT* v, std::string_view utf8) {
  (void)VariantClear(v);
  BSTR s = BstrFromUtf8(utf8);
  if (!s) return false;
  v->vt = VT_BSTR;
  v->bstrVal = s;
  return true;
}
void VariantSetDispatch(VARIANT* v, IDispatch* d) {
  (void)VariantClear(v);
  if (d) d->AddRef();
  v->vt = VT_DISPATCH;
  v->pdispVal = d;
}
void VariantSetMissing(VARIANT* v) {
  (void)VariantClear(v);
  v->vt = VT_ERROR;
  v->scode = DISP_E_PARAMNOTFOUND;
}
bool VariantIsMissing(const VARIANT* v) {
  v = VariantDeref(v);
  return !v || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

}  // namespace tidemark::com
