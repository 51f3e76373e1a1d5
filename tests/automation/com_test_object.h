// A small dual interface with its own table, for the dispatch and proxy
// tests: every parameter kind, defaults, a [vararg] tail and a failure.
#pragma once

#include <thread>

#include "automation/com/com.h"

namespace tidemark::com::testing {

class ITestObject : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("0C8E1D52-7A64-4E0B-9D2F-5B3A61C7E480");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Value(LONG* out) = 0;
  virtual HRESULT put_Value(LONG value) = 0;
  virtual HRESULT Scale(double x, VARIANT_BOOL twice, double* out) = 0;
  virtual HRESULT Join(BSTR separator, SAFEARRAY* rest, BSTR* out) = 0;
  virtual HRESULT get_Item(LONG index, BSTR* out) = 0;
  virtual HRESULT Fail() = 0;
  virtual HRESULT get_Self(IDispatch** out) = 0;
  virtual HRESULT Same(ITestObject* other, VARIANT_BOOL* out) = 0;
  virtual HRESULT KindOf(VARIANT* value, LONG* out) = 0;
  virtual HRESULT Count(SAFEARRAY* psa, LONG* out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;

 protected:
  ~ITestObject() = default;
};

class TestObject final : public CBase<TestObject, ITestObject> {
 public:
  LONG value = 0;
  std::thread::id last_thread;

  HRESULT get_Value(LONG* out) override {
    last_thread = std::this_thread::get_id();
    if (!out) return E_INVALIDARG;
    *out = value;
    return S_OK;
  }
  HRESULT put_Value(LONG v) override {
    last_thread = std::this_thread::get_id();
    value = v;
    return S_OK;
  }
  HRESULT Scale(double x, VARIANT_BOOL twice, double* out) override {
    *out = twice ? 2 * x : x;
    return S_OK;
  }
  HRESULT Join(BSTR separator, SAFEARRAY* rest, BSTR* out) override {
    std::string text;
    auto* items = static_cast<VARIANT*>(rest->pvData);
    for (ULONG i = 0; i < rest->rgsabound[0].cElements; ++i) {
      Variant s;
      if (FAILED(VariantChangeType(&s, &items[i], 0, VT_BSTR))) return E_INVALIDARG;
      if (i) text += BstrToUtf8(separator);
      text += BstrToUtf8(s.bstrVal);
    }
    *out = BstrFromUtf8(text);
    return S_OK;
  }
  HRESULT get_Item(LONG index, BSTR* out) override {
    *out = BstrFromUtf8("item" + std::to_string(index));
    return S_OK;
  }
  HRESULT Fail() override { return ReportError(ITestObject::IID, "Tidemark.Application", "It failed.\n\nDetail"); }
  HRESULT get_Self(IDispatch** out) override {
    *out = dispatch();
    AddRef();
    return S_OK;
  }
  HRESULT Same(ITestObject* other, VARIANT_BOOL* out) override {
    *out = other == dispatch() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT KindOf(VARIANT* v, LONG* out) override {
    *out = v->vt;
    return S_OK;
  }
  HRESULT Count(SAFEARRAY* psa, LONG* out) override {
    VARTYPE vt = VT_EMPTY;
    if (SafeArrayGetDim(psa) != 1 || FAILED(SafeArrayGetVartype(psa, &vt)) || vt != VT_VARIANT) return E_INVALIDARG;
    *out = static_cast<LONG>(psa->rgsabound[0].cElements);
    return S_OK;
  }
  // Itself, twice.
  HRESULT get__NewEnum(IUnknown** out) override {
    IEnumVARIANT* e = nullptr;
    const HRESULT hr = CreateEnumVariant(std::vector<IDispatch*>{dispatch(), dispatch()}, &e);
    *out = e;
    return hr;
  }

 private:
  friend class CBase<TestObject, ITestObject>;
  ~TestObject() override = default;
};

inline const InterfaceInfo& ITestObject::Info() {
  using T = ParamType;
  static constexpr ParamInfo kValue[] = {{"", T::kLong}};
  static constexpr ParamInfo kScale[] = {{"x", T::kDouble}, {"twice", T::kBool, true, "0"}};
  static constexpr ParamInfo kJoin[] = {{"separator", T::kBstr}, {"rest", T::kSafeArray}};
  static constexpr ParamInfo kItem[] = {{"index", T::kLong}};
  static constexpr ParamInfo kSame[] = {{"other", T::kInterface, false, nullptr, "ITestObject"}};
  static constexpr ParamInfo kKind[] = {{"value", T::kVariantPtr, true}};
  static constexpr ParamInfo kCount[] = {{"psa", T::kSafeArray}};
  static constexpr MemberInfo kMembers[] = {
      {"Value", 0x60020000, MemberKind::kGet, {}, T::kLong, nullptr, false, &RetThunk<&ITestObject::get_Value>},
      {"Value", 0x60020000, MemberKind::kPut, kValue, T::kVoid, nullptr, false,
       &MethodThunk<&ITestObject::put_Value>},
      {"Scale", 0x60020002, MemberKind::kMethod, kScale, T::kDouble, nullptr, false,
       &RetThunk<&ITestObject::Scale>},
      {"Join", 0x60020003, MemberKind::kMethod, kJoin, T::kBstr, nullptr, true, &RetThunk<&ITestObject::Join>},
      {"Item", DISPID_VALUE, MemberKind::kGet, kItem, T::kBstr, nullptr, false,
       &RetThunk<&ITestObject::get_Item>},
      {"Fail", 0x60020005, MemberKind::kMethod, {}, T::kVoid, nullptr, false, &MethodThunk<&ITestObject::Fail>},
      {"Self", 0x60020006, MemberKind::kGet, {}, T::kDispatch, nullptr, false,
       &RetThunk<&ITestObject::get_Self>},
      {"Same", 0x60020007, MemberKind::kMethod, kSame, T::kBool, nullptr, false, &RetThunk<&ITestObject::Same>},
      {"KindOf", 0x60020008, MemberKind::kMethod, kKind, T::kLong, nullptr, false,
       &RetThunk<&ITestObject::KindOf>},
      {"Count", 0x60020009, MemberKind::kMethod, kCount, T::kLong, nullptr, false,
       &RetThunk<&ITestObject::Count>},
      {"_NewEnum", DISPID_NEWENUM, MemberKind::kGet, {}, T::kUnknown, nullptr, false,
       &RetThunk<&ITestObject::get__NewEnum>},
  };
  static constexpr InterfaceInfo kInfo{"ITestObject", IID, kMembers};
  return kInfo;
}

inline ComRef<TestObject> MakeTestObject() { return ComRef<TestObject>::Adopt(new TestObject); }

}  // namespace tidemark::com::testing
