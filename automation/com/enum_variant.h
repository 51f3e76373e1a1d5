// IEnumVARIANT over a snapshot of VARIANTs: the `_NewEnum` of every
// collection.
#pragma once

#include <vector>

#include "automation/com/dispatch.h"

namespace tidemark::com {

// A new enumerator (one reference) over copies of `items`; out of memory
// gives E_OUTOFMEMORY.
HRESULT CreateEnumVariant(const VARIANT* items, std::size_t count, IEnumVARIANT** out);
// As above over objects (each held by the enumerator).
HRESULT CreateEnumVariant(const std::vector<IDispatch*>& objects, IEnumVARIANT** out);

}  // namespace tidemark::com
