#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/com/variant.h"

namespace tidemark::com {
namespace {

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_BSTR: return sizeof(BSTR);
    case VT_I4: return sizeof(LONG);
    case VT_R8: return sizeof(double);
    default: return 0;
  }
}

std::size_t ElementCount(const SAFEARRAY* psa) {
  std::size_t n = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) n *= psa->rgsabound[d].cElements;
  return n;
}

void ClearElements(SAFEARRAY* psa) {
  const std::size_t n = ElementCount(psa);
  if (psa->vt == VT_VARIANT) {
    auto* v = static_cast<VARIANT*>(psa->pvData);
    for (std::size_t i = 0; i < n; ++i) (void)VariantClear(&v[i]);
  } else if (psa->vt == VT_BSTR) {
    auto* s = static_cast<BSTR*>(psa->pvData);
    for (std::size_t i = 0; i < n; ++i) SysFreeString(std::exchange(s[i], nullptr));
  }
}

// The element's address, or null for an index out of bounds.
void* Element(SAFEARRAY* psa, const LONG* indices) {
  std::size_t offset = 0;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const std::int64_t i = static_cast<std::int64_t>(indices[d]) - psa->rgsabound[d].lLbound;
    if (i < 0 || i >= psa->rgsabound[d].cElements) return nullptr;
    offset = offset * psa->rgsabound[d].cElements + static_cast<std::size_t>(i);
  }
  return static_cast<char*>(psa->pvData) + offset * psa->cbElements;
}

HRESULT CopyElement(VARTYPE vt, void* dst, const void* src) {
  if (vt == VT_VARIANT) return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
  if (vt == VT_BSTR) {
    BSTR s = *static_cast<const BSTR*>(src);
    BSTR copy = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
    if (s && !copy) return E_OUTOFMEMORY;
    SysFreeString(*static_cast<BSTR*>(dst));
    *static_cast<BSTR*>(dst) = copy;
    return S_OK;
  }
  std::memcpy(dst, src, ElementSize(vt));
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
  const ULONG size = ElementSize(vt);
  if (size == 0 || dims < 1 || dims > 2 || !bounds) return nullptr;
  std::size_t n = 1;
  for (UINT d = 0; d < dims; ++d) {
    if (bounds[d].cElements && n > (std::size_t{1} << 40) / bounds[d].cElements) return nullptr;
    n *= bounds[d].cElements;
  }
  auto* psa = new (std::nothrow) SAFEARRAY;
  if (!psa) return nullptr;
  psa->cDims = static_cast<USHORT>(dims);
  psa->fFeatures = FADF_HAVEVARTYPE;
  psa->cbElements = size;
  psa->vt = vt;
  for (UINT d = 0; d < dims; ++d) psa->rgsabound[d] = bounds[d];
  // Zero bytes are EMPTY VARIANTs and null BSTRs.
  psa->pvData = std::calloc(n ? n : 1, size);
  if (!psa->pvData) {
    delete psa;
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lbound, ULONG count) {
  const SAFEARRAYBOUND bound{count, lbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return E_UNEXPECTED;
  ClearElements(psa);
  std::free(psa->pvData);
  delete psa;
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy = SafeArrayCreate(psa->vt, psa->cDims, psa->rgsabound);
  if (!copy) return E_OUTOFMEMORY;
  const std::size_t n = ElementCount(psa);
  for (std::size_t i = 0; i < n; ++i) {
    const HRESULT hr = CopyElement(psa->vt, static_cast<char*>(copy->pvData) + i * psa->cbElements,
                                   static_cast<char*>(psa->pvData) + i * psa->cbElements);
    if (FAILED(hr)) {
      (void)SafeArrayDestroy(copy);
      return hr;
    }
  }
  *out = copy;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt) {
  if (!psa || !vt) return E_INVALIDARG;
  *vt = psa->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* out) {
  if (!psa || !out) return E_INVALIDARG;
  if (dim < 1 || dim > psa->cDims) return DISP_E_BADINDEX;
  *out = psa->rgsabound[dim - 1].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* out) {
  if (!psa || !out) return E_INVALIDARG;
  if (dim < 1 || dim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[dim - 1];
  *out = static_cast<LONG>(static_cast<std::int64_t>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* indices, void* out) {
  if (!psa || !indices || !out) return E_INVALIDARG;
  void* e = Element(psa, indices);
  if (!e) return DISP_E_BADINDEX;
  if (psa->vt == VT_VARIANT) VariantInit(static_cast<VARIANT*>(out));
  if (psa->vt == VT_BSTR) *static_cast<BSTR*>(out) = nullptr;
  return CopyElement(psa->vt, out, e);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* indices, const void* value) {
  if (!psa || !indices || !value) return E_INVALIDARG;
  void* e = Element(psa, indices);
  if (!e) return DISP_E_BADINDEX;
  return CopyElement(psa->vt, e, value);
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) {
  if (!psa || !data) return E_INVALIDARG;
  ++psa->cLocks;
  *data = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  if (!psa || psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

}  // namespace tidemark::com
