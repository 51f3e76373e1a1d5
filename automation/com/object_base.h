// The shared base of every automation object: its reference count, its
// place in the process-wide object list and live count, QueryInterface for
// its interface, IDispatch through the type-library table of that
// interface, and ISupportErrorInfo for it.
//
// A class implements one dual interface X (declared in
// automation/typelib/interfaces.h, or any interface that names its IID and
// table as `static constexpr com::IID IID` and `static const InterfaceInfo&
// Info()`):
//
//   class CLabel final : public com::CBase<CLabel, com::ILabel> {
//    public:
//     HRESULT get_Name(BSTR* out) override;   // ... every member of ILabel
//     void Detach() override;                 // optional, see below
//   };
//   ComRef<CLabel> label = ComRef<CLabel>::Adopt(new CLabel(...));
//
// and gets GetIDsOfNames/Invoke for free: Invoke converts the VARIANT
// arguments and calls get_Name and the rest.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "automation/com/dispatch_table.h"

namespace tidemark::com {

// Membership in the process-wide list of live automation objects, and the
// live count. Every CBase is one node: linked in on construction, out on
// destruction.
class ObjectNode {
 public:
  ObjectNode(const ObjectNode&) = delete;
  ObjectNode& operator=(const ObjectNode&) = delete;

  // Lets go of what the object refers to (a document, a label); afterwards
  // its members answer E_ACCESSDENIED. False when the object has no detach
  // operation, which makes the caller disconnect it instead.
  virtual bool Detach() { return false; }
  virtual IUnknown* AsUnknown() = 0;

 protected:
  ObjectNode();
  virtual ~ObjectNode();

  // The object's reference count lives here so that the list walk can
  // take a reference without a virtual call.
  ULONG AddRefCount() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  // The new count; the caller deletes at 0.
  ULONG DropCount() { return refs_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
  ULONG RefCount() const { return refs_.load(std::memory_order_relaxed); }

 private:
  friend void ForEachLiveObject(const std::function<void(ObjectNode&)>& fn);
  // Adds a reference unless the count already reached 0 (the object is
  // being destroyed).
  bool TryAddRef();

  std::atomic<ULONG> refs_{1};
  ObjectNode* prev_ = nullptr;
  ObjectNode* next_ = nullptr;
};

// Automation objects alive in the process.
long LiveObjectCount();
// Calls `fn` on each live object, holding a reference to it meanwhile; the
// list may change during the walk (objects made during it are not visited).
// The walk runs on the user-interface thread, where objects are made.
void ForEachLiveObject(const std::function<void(ObjectNode&)>& fn);
// The project-switch walk: every live object is detached, and those
// without a detach operation are disconnected (CoDisconnectObject).
void DetachAllLiveObjects();
// The application's teardown walk: every live object is disconnected.
void DisconnectAllLiveObjects();

// The program's own object of class C behind `p` (an interface pointer as a
// member received it; proxies are already undone on the UI thread), or null
// for a foreign object that merely answers the interface (E_UNEXPECTED to
// the caller).
template <typename C>
C* OwnObject(IUnknown* p) {
  return dynamic_cast<C*>(p);
}

template <typename Derived, typename Interface>
class CBase : public Interface, public ISupportErrorInfo, public ObjectNode {
 public:
  using InterfaceType = Interface;

  HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == Interface::IID) {
      *out = static_cast<Interface*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return AddRefCount(); }
  ULONG Release() override {
    const ULONG n = DropCount();
    if (n == 0) delete static_cast<Derived*>(this);
    return n;
  }
  ULONG ref_count() const { return RefCount(); }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(const com::IID&, const OLECHAR* const* names, UINT count, LCID, DISPID* ids) override {
    return DispatchGetIDsOfNames(Interface::Info(), names, count, ids);
  }
  HRESULT Invoke(DISPID id, const com::IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) override {
    return DispatchInvoke(Interface::Info(), static_cast<Interface*>(this), id, flags, params, result, excep,
                          arg_err);
  }
  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override {
    return iid == Interface::IID ? S_OK : S_FALSE;
  }

  IUnknown* AsUnknown() override { return static_cast<Interface*>(this); }
  // The object as its dispatch interface, without a reference of its own.
  Interface* dispatch() { return static_cast<Interface*>(this); }

 protected:
  CBase() = default;
  ~CBase() override = default;
};

}  // namespace tidemark::com
