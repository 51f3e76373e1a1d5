// The property accessors of the writer and codec objects: a get copies the
// value out (E_INVALIDARG for a null pointer); a Boolean put stores whether
// the value is non-zero.
#pragma once

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

}  // namespace tidemark::NS_SCRIPT::writer_values
