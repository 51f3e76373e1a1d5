#include "automation/com/enum_variant.h"

#include <memory>
#include <new>

#include "automation/com/object_base.h"

namespace tidemark::com {
namespace {

// The items, shared by an enumerator and its clones.
struct Items {
  std::vector<VARIANT> v;
  ~Items() {
    for (VARIANT& x : v) (void)VariantClear(&x);
  }
};

class EnumVariant final : public IEnumVARIANT, public ObjectNode {
 public:
  EnumVariant(std::shared_ptr<const Items> items, std::size_t pos) : items_(std::move(items)), pos_(pos) {}

  HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
      *out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return AddRefCount(); }
  ULONG Release() override {
    const ULONG n = DropCount();
    if (n == 0) delete this;
    return n;
  }
  IUnknown* AsUnknown() override { return static_cast<IEnumVARIANT*>(this); }

  HRESULT Next(ULONG count, VARIANT* out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (count && !out) return E_INVALIDARG;
    ULONG got = 0;
    for (; got < count && pos_ < items_->v.size(); ++got, ++pos_) {
      VariantInit(&out[got]);
      const HRESULT hr = VariantCopy(&out[got], &items_->v[pos_]);
      if (FAILED(hr)) {
        for (ULONG i = 0; i < got; ++i) (void)VariantClear(&out[i]);
        return hr;
      }
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    const std::size_t left = items_->v.size() - pos_;
    pos_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** out) override {
    if (!out) return E_INVALIDARG;
    *out = new (std::nothrow) EnumVariant(items_, pos_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~EnumVariant() override = default;
  std::shared_ptr<const Items> items_;
  std::size_t pos_;
};

}  // namespace

HRESULT CreateEnumVariant(const VARIANT* items, std::size_t count, IEnumVARIANT** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  try {
    auto list = std::make_shared<Items>();
    list->v.resize(count);
    for (VARIANT& v : list->v) VariantInit(&v);
    for (std::size_t i = 0; i < count; ++i) {
      const HRESULT hr = VariantCopy(&list->v[i], &items[i]);
      if (FAILED(hr)) return hr;
    }
    *out = new EnumVariant(std::move(list), 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT CreateEnumVariant(const std::vector<IDispatch*>& objects, IEnumVARIANT** out) {
  std::vector<VARIANT> items(objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    items[i].vt = VT_DISPATCH;
    items[i].pdispVal = objects[i];  // borrowed: CreateEnumVariant copies
  }
  return CreateEnumVariant(items.data(), items.size(), out);
}

}  // namespace tidemark::com
