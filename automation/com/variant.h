// VARIANT, its coercions, and one-dimensional SAFEARRAYs.
//
// Types held: EMPTY, NULL, I2, I4, INT, I8, R4, R8, BOOL, BSTR, DISPATCH,
// UNKNOWN, ERROR (DISP_E_PARAMNOTFOUND marks a missing optional argument),
// ARRAY|VARIANT (a SAFEARRAY) and BYREF|VARIANT (a reference to another
// VARIANT, followed by every reader). A VARIANT owns what it holds: its
// string, its array, or one reference to its object.
//
// Coercions (VariantChangeType):
//   number <-> number  integers from reals round half to even; out of range
//                      or NaN is DISP_E_OVERFLOW
//   string -> number   the whole text (blanks around allowed) must be a
//                      number, else DISP_E_TYPEMISMATCH
//   number -> string   integers in decimal, reals in the shortest text that
//                      reads back exactly
//   BOOL   <-> number  true is -1, any non-zero number is true
//   BOOL   <-> string  "True"/"False" (case-insensitive in), or a number
//   EMPTY  -> 0, "", false or a null object; NULL and ERROR convert to
//                      nothing but themselves (DISP_E_TYPEMISMATCH)
//   DISPATCH -> value  the object's default member (DISPID_VALUE), read as a
//                      property, then converted
#pragma once

#include <cstddef>
#include <string_view>

#include "automation/com/bstr.h"
#include "automation/com/unknown.h"

namespace tidemark::com {

class IDispatch;
struct SAFEARRAY;

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I8 = 20,
  VT_INT = 22,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  WORD reserved[3] = {};
  union {
    LONGLONG llVal = 0;
    LONG lVal;
    INT intVal;
    SHORT iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    VARIANT* pvarVal;
  };
};

void VariantInit(VARIANT* v);
// Frees what the VARIANT holds and leaves it EMPTY.
HRESULT VariantClear(VARIANT* v);
// A deep copy (strings and arrays copied, objects shared); `dst` is cleared first.
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);
// As VariantCopy, following a BYREF VARIANT to what it references.
HRESULT VariantCopyInd(VARIANT* dst, const VARIANT* src);
// Converts `src` (followed if BYREF) to `vt` into `dst`; dst may be src.
HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, WORD flags, VARTYPE vt);

// The VARIANT a BYREF VARIANT references (itself otherwise).
const VARIANT* VariantDeref(const VARIANT* v);
VARIANT* VariantDeref(VARIANT* v);

// Setters: clear `v`, then hold the value (a string is copied, an object
// gains a reference).
void VariantSetI4(VARIANT* v, LONG x);
void VariantSetR8(VARIANT* v, double x);
void VariantSetBool(VARIANT* v, bool x);
// False when the string cannot be allocated (v is then EMPTY).
bool VariantSetString(VARIANT* v, std::string_view utf8);
void VariantSetDispatch(VARIANT* v, IDispatch* d);
void VariantSetMissing(VARIANT* v);
bool VariantIsMissing(const VARIANT* v);

// Owns one VARIANT.
class Variant : public VARIANT {
 public:
  Variant() = default;
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  // Moving hands the value over and leaves the source EMPTY.
  Variant(Variant&& o) noexcept : VARIANT(o) { VariantInit(&o); }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      (void)VariantClear(this);
      static_cast<VARIANT&>(*this) = o;
      VariantInit(&o);
    }
    return *this;
  }
  ~Variant() { (void)VariantClear(this); }
};

struct SAFEARRAYBOUND {
  ULONG cElements = 0;
  LONG lLbound = 0;
};

inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;

// The element type is held beside the OLE fields (vt); elements are VARIANT,
// BSTR, I4 or R8 and are owned by the array.
struct SAFEARRAY {
  USHORT cDims = 0;
  USHORT fFeatures = 0;
  ULONG cbElements = 0;
  ULONG cLocks = 0;
  void* pvData = nullptr;
  VARTYPE vt = VT_EMPTY;
  SAFEARRAYBOUND rgsabound[2];
};

// Null on out of memory, an unsupported type or more than two dimensions.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lbound, ULONG count);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** out);
UINT SafeArrayGetDim(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* out);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* out);
// One index per dimension. Get copies the element out (a VARIANT into *out
// as VARIANT*, a BSTR as BSTR*, ...); Put copies it in.
HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* indices, void* out);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* indices, const void* value);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

}  // namespace tidemark::com
