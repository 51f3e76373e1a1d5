#include "automation/com/apartment.h"

#include <atomic>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/window.h"

namespace tidemark::com {
namespace {

// Asked of any IUnknown to learn whether it is one of our proxies.
constexpr IID kIidProxyTag = MakeGuid("5B1D6E0A-3C4F-4E8B-9A51-7D2C0B6F1E93");
constexpr std::uint32_t kRunCall = kWmApp + 0x300;

// A call carried to the UI thread: a function and its context on the
// caller's stack.
struct Call {
  void (*run)(void* ctx);
  void* ctx;
};

class BridgeWindow final : public Window {
 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam) override {
    if (msg != kRunCall) return 0;
    const Call* call = reinterpret_cast<const Call*>(wparam);
    call->run(call->ctx);
    return 1;
  }
};

class ProxyBase;

}  // namespace

struct ApartmentBridge::State {
  std::thread::id ui_thread = std::this_thread::get_id();
  BridgeWindow window;
  std::atomic<bool> closed{false};
  std::mutex mutex;
  // Identity: the object's IUnknown to its dispatch proxy.
  std::unordered_map<IUnknown*, ProxyBase*> by_object;
  std::unordered_set<ProxyBase*> all;

  // Runs `fn` on the UI thread and waits; false when the bridge is gone.
  template <typename F>
  bool Run(F& fn) {
    if (closed.load(std::memory_order_acquire)) return false;
    if (std::this_thread::get_id() == ui_thread) {
      fn();
      return true;
    }
    Call call{[](void* ctx) { (*static_cast<F*>(ctx))(); }, &fn};
    return window.Send(kRunCall, reinterpret_cast<MsgParam>(&call), 0) == 1;
  }

  ComRef<IDispatch> WrapDispatch(IDispatch* object, const std::shared_ptr<State>& self);
  HRESULT WrapVariant(VARIANT* v, const std::shared_ptr<State>& self);
  void Disconnect(ProxyBase* proxy);
};

namespace {

using State = ApartmentBridge::State;

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::weak_ptr<State>>& Registry() {
  static std::vector<std::weak_ptr<State>> r;
  return r;
}

// What every proxy shares: its bridge, its object (null once disconnected)
// and its count.
class ProxyBase {
 public:
  ProxyBase(std::shared_ptr<State> state, IUnknown* key, IUnknown* target)
      : state_(std::move(state)), key_(key), target_(target) {}
  virtual ~ProxyBase() = default;

  IUnknown* key() const { return key_; }
  // Takes the object away (under the bridge's lock); the caller releases it.
  IUnknown* TakeTarget() { return std::exchange(target_, nullptr); }
  // The object with a reference, or null once disconnected.
  ComRef<IUnknown> Target() {
    std::lock_guard lock(state_->mutex);
    return ComRef<IUnknown>::Share(target_);
  }
  bool TryAddRef() {
    ULONG n = refs_.load(std::memory_order_relaxed);
    while (n != 0)
      if (refs_.compare_exchange_weak(n, n + 1, std::memory_order_acquire, std::memory_order_relaxed)) return true;
    return false;
  }

 protected:
  ULONG AddRefProxy() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG ReleaseProxy() {
    const ULONG n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) Destroy();
    return n;
  }
  HRESULT QueryTag(const IID& iid, void** out) {
    if (iid != kIidProxyTag) return E_NOINTERFACE;
    *out = this;  // no reference: a tag, not an interface
    return S_OK;
  }

  std::shared_ptr<State> state_;

 private:
  void Destroy() {
    IUnknown* target = nullptr;
    {
      std::lock_guard lock(state_->mutex);
      auto it = state_->by_object.find(key_);
      if (it != state_->by_object.end() && it->second == this) state_->by_object.erase(it);
      state_->all.erase(this);
      target = TakeTarget();
    }
    if (target) {
      auto release = [target] { target->Release(); };
      // The object goes on its own thread; without a bridge, here.
      if (!state_->Run(release)) target->Release();
    }
    delete this;
  }

  std::atomic<ULONG> refs_{1};
  IUnknown* key_;
  IUnknown* target_;
};

ProxyBase* AsProxy(IUnknown* unknown) {
  void* p = nullptr;
  if (!unknown || FAILED(unknown->QueryInterface(kIidProxyTag, &p))) return nullptr;
  return static_cast<ProxyBase*>(p);
}

// Replaces proxies in an argument by their objects (on the UI thread).
void UnwrapVariant(VARIANT* v) {
  if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal) {
    if (ProxyBase* proxy = AsProxy(v->punkVal)) {
      ComRef<IUnknown> target = proxy->Target();
      void* p = nullptr;
      if (target) (void)target->QueryInterface(v->vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
      v->punkVal->Release();
      v->punkVal = static_cast<IUnknown*>(p);
    }
  } else if (v->vt == (VT_ARRAY | VT_VARIANT) && v->parray && v->parray->vt == VT_VARIANT) {
    std::size_t n = 1;
    for (USHORT d = 0; d < v->parray->cDims; ++d) n *= v->parray->rgsabound[d].cElements;
    auto* items = static_cast<VARIANT*>(v->parray->pvData);
    for (std::size_t i = 0; i < n; ++i) UnwrapVariant(&items[i]);
  }
}

class DispatchProxy final : public IDispatch, public ProxyBase {
 public:
  using ProxyBase::ProxyBase;

  HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return QueryTag(iid, out);
  }
  ULONG AddRef() override { return AddRefProxy(); }
  ULONG Release() override { return ReleaseProxy(); }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(const com::IID& riid, const OLECHAR* const* names, UINT count, LCID lcid,
                        DISPID* ids) override {
    HRESULT hr = RPC_E_DISCONNECTED;
    auto call = [&] {
      ComRef<IDispatch> d = Object();
      if (d) hr = d->GetIDsOfNames(riid, names, count, lcid, ids);
    };
    if (!state_->Run(call)) return RPC_E_DISCONNECTED;
    return hr;
  }
  HRESULT Invoke(DISPID id, const com::IID& riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) override;

 private:
  ComRef<IDispatch> Object() {
    ComRef<IUnknown> t = Target();
    return ComRef<IDispatch>::Adopt(t ? static_cast<IDispatch*>(t.release()) : nullptr);
  }
};

class EnumProxy final : public IEnumVARIANT, public ProxyBase {
 public:
  using ProxyBase::ProxyBase;

  HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
      *out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return QueryTag(iid, out);
  }
  ULONG AddRef() override { return AddRefProxy(); }
  ULONG Release() override { return ReleaseProxy(); }

  HRESULT Next(ULONG count, VARIANT* items, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    ULONG got = 0;
    HRESULT hr = RPC_E_DISCONNECTED;
    auto call = [&] {
      ComRef<IEnumVARIANT> e = Object();
      if (e) hr = e->Next(count, items, &got);
    };
    if (!state_->Run(call)) return RPC_E_DISCONNECTED;
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < got; ++i) {
      const HRESULT wrapped = state_->WrapVariant(&items[i], state_);
      if (FAILED(wrapped)) {
        for (ULONG k = 0; k < got; ++k) (void)VariantClear(&items[k]);
        return wrapped;
      }
    }
    if (fetched) *fetched = got;
    return hr;
  }
  HRESULT Skip(ULONG count) override {
    return Forward([&](IEnumVARIANT* e) { return e->Skip(count); });
  }
  HRESULT Reset() override {
    return Forward([](IEnumVARIANT* e) { return e->Reset(); });
  }
  HRESULT Clone(IEnumVARIANT** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    IEnumVARIANT* clone = nullptr;
    const HRESULT hr = Forward([&](IEnumVARIANT* e) { return e->Clone(&clone); });
    if (FAILED(hr) || !clone) return hr;
    VARIANT v;
    v.vt = VT_UNKNOWN;
    v.punkVal = clone;
    const HRESULT wrapped = state_->WrapVariant(&v, state_);
    if (FAILED(wrapped)) return wrapped;
    *out = static_cast<IEnumVARIANT*>(v.punkVal);
    return S_OK;
  }

 private:
  ComRef<IEnumVARIANT> Object() {
    ComRef<IUnknown> t = Target();
    return ComRef<IEnumVARIANT>::Adopt(t ? static_cast<IEnumVARIANT*>(t.release()) : nullptr);
  }
  template <typename F>
  HRESULT Forward(F f) {
    HRESULT hr = RPC_E_DISCONNECTED;
    auto call = [&] {
      ComRef<IEnumVARIANT> e = Object();
      if (e) hr = f(e.get());
    };
    if (!state_->Run(call)) return RPC_E_DISCONNECTED;
    return hr;
  }
};

HRESULT DispatchProxy::Invoke(DISPID id, const com::IID& riid, LCID lcid, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  HRESULT hr = RPC_E_DISCONNECTED;
  ComRef<IErrorInfo> error;
  VARIANT out;
  VariantInit(&out);
  auto call = [&] {
    ComRef<IDispatch> d = Object();
    if (!d) return;
    // The arguments as the object's own thread sees them: proxies become
    // their objects again.
    DISPPARAMS local;
    VARIANT small[8];
    std::vector<VARIANT> large;
    if (params) {
      local = *params;
      VARIANT* copies = small;
      if (params->cArgs > 8) {
        large.resize(params->cArgs);
        copies = large.data();
      }
      for (UINT i = 0; i < params->cArgs; ++i) {
        VariantInit(&copies[i]);
        (void)VariantCopy(&copies[i], &params->rgvarg[i]);
        UnwrapVariant(&copies[i]);
      }
      local.rgvarg = copies;
    }
    (void)SetErrorInfo(0, nullptr);
    hr = d->Invoke(id, riid, lcid, flags, params ? &local : nullptr, result ? &out : nullptr, excep, arg_err);
    if (params)
      for (UINT i = 0; i < params->cArgs; ++i) (void)VariantClear(&local.rgvarg[i]);
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK) error = ComRef<IErrorInfo>::Adopt(info);
  };
  if (!state_->Run(call)) return RPC_E_DISCONNECTED;
  (void)SetErrorInfo(0, error.get());
  if (result) {
    const HRESULT wrapped = state_->WrapVariant(&out, state_);
    if (FAILED(wrapped)) {
      (void)VariantClear(&out);
      return wrapped;
    }
    *result = out;
  }
  return hr;
}

}  // namespace

ComRef<IDispatch> State::WrapDispatch(IDispatch* object, const std::shared_ptr<State>& self) {
  if (!object) return {};
  if (AsProxy(object)) return ComRef<IDispatch>::Share(object);
  void* key = nullptr;
  if (FAILED(object->QueryInterface(IID_IUnknown, &key))) return {};
  static_cast<IUnknown*>(key)->Release();  // identity only; the object stays held by the caller
  std::lock_guard lock(mutex);
  if (closed.load(std::memory_order_acquire)) return {};
  auto it = by_object.find(static_cast<IUnknown*>(key));
  if (it != by_object.end() && it->second->TryAddRef())
    return ComRef<IDispatch>::Adopt(static_cast<DispatchProxy*>(it->second));
  object->AddRef();
  auto* proxy = new (std::nothrow) DispatchProxy(self, static_cast<IUnknown*>(key), object);
  if (!proxy) {
    object->Release();
    return {};
  }
  try {
    by_object[static_cast<IUnknown*>(key)] = proxy;
    all.insert(proxy);
  } catch (const std::bad_alloc&) {
    by_object.erase(static_cast<IUnknown*>(key));
    // The proxy's destruction takes the lock: hand it back unlocked.
    proxy->TakeTarget();
    object->Release();
    delete proxy;
    return {};
  }
  return ComRef<IDispatch>::Adopt(proxy);
}

HRESULT State::WrapVariant(VARIANT* v, const std::shared_ptr<State>& self) {
  if (v->vt == VT_DISPATCH && v->pdispVal) {
    ComRef<IDispatch> proxy = WrapDispatch(v->pdispVal, self);
    if (!proxy) return closed ? RPC_E_DISCONNECTED : E_OUTOFMEMORY;
    v->pdispVal->Release();
    v->pdispVal = proxy.release();
  } else if (v->vt == VT_UNKNOWN && v->punkVal && !AsProxy(v->punkVal)) {
    void* p = nullptr;
    if (SUCCEEDED(v->punkVal->QueryInterface(IID_IEnumVARIANT, &p))) {
      auto* proxy = new (std::nothrow) EnumProxy(self, static_cast<IUnknown*>(p), static_cast<IUnknown*>(p));
      if (!proxy) {
        static_cast<IUnknown*>(p)->Release();
        return E_OUTOFMEMORY;
      }
      {
        std::lock_guard lock(mutex);
        all.insert(proxy);
      }
      v->punkVal->Release();
      v->punkVal = static_cast<IEnumVARIANT*>(proxy);
    } else if (SUCCEEDED(v->punkVal->QueryInterface(IID_IDispatch, &p))) {
      ComRef<IDispatch> d = ComRef<IDispatch>::Adopt(static_cast<IDispatch*>(p));
      ComRef<IDispatch> proxy = WrapDispatch(d.get(), self);
      if (!proxy) return E_OUTOFMEMORY;
      v->punkVal->Release();
      v->punkVal = proxy.release();
    } else {
      // Nothing this bridge can carry.
      v->punkVal->Release();
      v->punkVal = nullptr;
      return E_NOINTERFACE;
    }
  } else if (v->vt == (VT_ARRAY | VT_VARIANT) && v->parray && v->parray->vt == VT_VARIANT) {
    std::size_t n = 1;
    for (USHORT d = 0; d < v->parray->cDims; ++d) n *= v->parray->rgsabound[d].cElements;
    auto* items = static_cast<VARIANT*>(v->parray->pvData);
    for (std::size_t i = 0; i < n; ++i) {
      const HRESULT hr = WrapVariant(&items[i], self);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

void State::Disconnect(ProxyBase* proxy) {
  // Under `mutex`, by the caller.
  auto it = by_object.find(proxy->key());
  if (it != by_object.end() && it->second == proxy) by_object.erase(it);
}

ApartmentBridge::ApartmentBridge() : state_(std::make_shared<State>()) {
  std::lock_guard lock(RegistryMutex());
  auto& r = Registry();
  std::erase_if(r, [](const std::weak_ptr<State>& w) { return w.expired(); });
  r.push_back(state_);
}

ApartmentBridge::~ApartmentBridge() {
  DisconnectAll();
  std::lock_guard lock(RegistryMutex());
  std::erase_if(Registry(), [this](const std::weak_ptr<State>& w) {
    auto s = w.lock();
    return !s || s == state_;
  });
}

ComRef<IDispatch> ApartmentBridge::Wrap(IDispatch* object) { return state_->WrapDispatch(object, state_); }

void ApartmentBridge::DisconnectAll() {
  std::vector<IUnknown*> targets;
  {
    std::lock_guard lock(state_->mutex);
    state_->closed.store(true, std::memory_order_release);
    for (ProxyBase* p : state_->all)
      if (IUnknown* t = p->TakeTarget()) targets.push_back(t);
    state_->by_object.clear();
  }
  for (IUnknown* t : targets) t->Release();
}

std::size_t ApartmentBridge::ProxyCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->all.size();
}

HRESULT CoDisconnectObject(IUnknown* object, ULONG) {
  if (!object) return E_INVALIDARG;
  void* key = nullptr;
  if (FAILED(object->QueryInterface(IID_IUnknown, &key))) return E_INVALIDARG;
  static_cast<IUnknown*>(key)->Release();
  std::vector<std::shared_ptr<State>> states;
  {
    std::lock_guard lock(RegistryMutex());
    for (const auto& w : Registry())
      if (auto s = w.lock()) states.push_back(std::move(s));
  }
  for (const auto& s : states) {
    std::vector<IUnknown*> targets;
    {
      std::lock_guard lock(s->mutex);
      for (ProxyBase* p : s->all) {
        if (p->key() != key) continue;
        s->Disconnect(p);
        if (IUnknown* t = p->TakeTarget()) targets.push_back(t);
      }
    }
    for (IUnknown* t : targets) t->Release();
  }
  return S_OK;
}

ComRef<IUnknown> UnwrapProxy(IUnknown* maybe_proxy) {
  if (ProxyBase* proxy = AsProxy(maybe_proxy)) return proxy->Target();
  return ComRef<IUnknown>::Share(maybe_proxy);
}

}  // namespace tidemark::com
