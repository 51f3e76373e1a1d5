// The property accessors of the writer and codec objects: a get copies the
// value out (E_INVALIDARG for a null pointer); a Boolean put stores whether
// the value is non-zero.
#pragma once

#include <cstddef>

#include "automation/model/model_objects.h"

namespace tidemark::NS_SCRIPT::writer_values {

template <typename T, typename V>
HRESULT GetValue(T* out, V value) {
  if (!out) return E_INVALIDARG;
  *out = static_cast<T>(value);
  return S_OK;
}
inline HRESULT GetBool(VARIANT_BOOL* out, bool value) { return GetValue(out, value ? VARIANT_TRUE : VARIANT_FALSE); }
inline HRESULT PutBool(bool* field, VARIANT_BOOL value) {
  *field = value != VARIANT_FALSE;
  return S_OK;
}

// A new SAFEARRAY of VARIANTs into *out, element i holding `make(i)` (a new
// object of ours, adopted); E_OUTOFMEMORY when it cannot be made.
template <typename Make>
HRESULT ReturnObjectArray(std::size_t count, Make make, SAFEARRAY** out) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
  if (!psa) return E_OUTOFMEMORY;
  for (std::size_t i = 0; i < count; ++i) {
    const auto made = make(i);
    Variant v;
    VariantSetDispatch(&v, made->dispatch());
    const LONG index = static_cast<LONG>(i);
    if (FAILED(SafeArrayPutElement(psa, &index, &v))) {
      SafeArrayDestroy(psa);
      return E_OUTOFMEMORY;
    }
  }
  *out = psa;
  return S_OK;
}

}  // namespace tidemark::NS_SCRIPT::writer_values
