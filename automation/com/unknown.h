// IUnknown: reference counting and QueryInterface by interface GUID.
//
// Counting idiom: one idiom for the whole layer. Interfaces declare
// AddRef/Release as COM does (virtual, answering the new count), objects
// count with an atomic count of their own (CBase in object_base.h), and
// holders are the project's IntrusiveRef (as ComRef) -- IntrusiveRef needs
// only AddRef()/Release(), so COM objects reuse it. RefCounted itself is not
// used: its Release is neither virtual nor COM-shaped, and the object list
// needs a "take a reference unless the object is already dying" step.
// As everywhere in the project, a new object starts with one reference held
// by whoever made it.
#pragma once

#include "automation/com/com_types.h"
#include "platform/intrusive_ref.h"

namespace tidemark::com {

class IUnknown {
 public:
  // Sets *out to the object as the interface `iid` with a reference added,
  // or to null with E_NOINTERFACE. A null `out` is E_POINTER.
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

template <typename T>
using ComRef = IntrusiveRef<T>;

// QueryInterface for a typed interface that names its IID as `T::IID`.
template <typename T>
ComRef<T> QueryAs(IUnknown* unknown) {
  void* p = nullptr;
  if (!unknown || FAILED(unknown->QueryInterface(T::IID, &p))) return {};
  return ComRef<T>::Adopt(static_cast<T*>(p));
}

// True when both name the same object: their IUnknown answers agree.
bool SameObject(IUnknown* a, IUnknown* b);

}  // namespace tidemark::com
