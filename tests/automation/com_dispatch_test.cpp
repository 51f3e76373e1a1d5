// Table-driven IDispatch, error information and the object list, through a
// small test interface as a script engine calls it.
#include <gtest/gtest.h>

#include "tests/automation/com_test_object.h"
#include "tests/automation/com_test_support.h"

namespace tidemark::com {
namespace {
using namespace testing;

class Dispatch : public ::testing::Test {
 protected:
  void TearDown() override {
    object_.reset();
    other_.reset();
    EXPECT_EQ(LiveObjectCount(), live_before_);
  }
  IDispatch* d() { return object_->dispatch(); }

  // First: counted before the fixture's own objects exist.
  const long live_before_ = LiveObjectCount();
  ComRef<TestObject> object_ = MakeTestObject();
  ComRef<TestObject> other_ = MakeTestObject();
};

TEST_F(Dispatch, NamesResolveWithoutRegardToCase) {
  for (const char16_t* name : {u"value", u"VALUE", u"Value"}) {
    const OLECHAR* names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(d()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0x60020000);
  }
  const OLECHAR* with_param[] = {u"scale", u"TWICE", u"nosuch"};
  DISPID ids[3] = {};
  EXPECT_EQ(d()->GetIDsOfNames(IID_NULL, with_param, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 0x60020002);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
  const OLECHAR* unknown[] = {u"Valu"};
  EXPECT_EQ(d()->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

TEST_F(Dispatch, PropertiesGetAndPutWithCoercion) {
  EXPECT_EQ(Put(d(), "Value", {V("41")}).hr, S_OK);
  CallResult r = Get(d(), "Value");
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.value.vt, VT_I4);
  EXPECT_EQ(r.value.lVal, 41);

  r = Put(d(), "Value", {V("forty")});
  EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(r.arg_err, 0u);
  EXPECT_EQ(object_->value, 41);
}

struct ArgCase {
  const char* what;
  const char* member;
  WORD flags;
  std::vector<VARIANT> (*args)();
  HRESULT hr;
  double result;  // of a successful Scale, KindOf or Count
};

std::vector<VARIANT> None() { return {}; }

const ArgCase kArgCases[] = {
    {"optional takes its default", "Scale", DISPATCH_METHOD, [] { return std::vector{V(3.0)}; }, S_OK, 3},
    {"optional given", "Scale", DISPATCH_METHOD, [] { return std::vector{V(3.0), VBool(true)}; }, S_OK, 6},
    {"optional given as missing", "Scale", DISPATCH_METHOD, [] { return std::vector{V(3.0), VMissing()}; },
     S_OK, 3},
    {"text converts to double", "Scale", DISPATCH_METHOD, [] { return std::vector{V("1.5"), V("true")}; }, S_OK,
     3},
    {"too few", "Scale", DISPATCH_METHOD, None, DISP_E_BADPARAMCOUNT, 0},
    {"too many", "Scale", DISPATCH_METHOD, [] { return std::vector{V(1.0), VBool(true), V(LONG{1})}; },
     DISP_E_BADPARAMCOUNT, 0},
    {"required passed as missing", "Scale", DISPATCH_METHOD, [] { return std::vector{VMissing()}; },
     DISP_E_PARAMNOTFOUND, 0},
    {"wrong type for double", "Scale", DISPATCH_METHOD, [] { return std::vector{V("x")}; }, DISP_E_TYPEMISMATCH,
     0},
    {"wrong type for bool", "Scale", DISPATCH_METHOD, [] { return std::vector{V(1.0), V("maybe")}; },
     DISP_E_TYPEMISMATCH, 0},
    {"a method is no property", "Scale", DISPATCH_PROPERTYGET, [] { return std::vector{V(1.0)}; },
     DISP_E_MEMBERNOTFOUND, 0},
    {"a method cannot be put", "Scale", DISPATCH_PROPERTYPUT, [] { return std::vector{V(1.0)}; },
     DISP_E_MEMBERNOTFOUND, 0},
    {"missing VARIANT* arrives as VT_ERROR", "KindOf", DISPATCH_METHOD, None, S_OK, VT_ERROR},
    {"VARIANT* passes its type", "KindOf", DISPATCH_METHOD, [] { return std::vector{V("s")}; }, S_OK, VT_BSTR},
    {"array parameter", "Count", DISPATCH_METHOD,
     [] {
       VARIANT a;
       a.vt = VT_ARRAY | VT_VARIANT;
       a.parray = SafeArrayCreateVector(VT_VARIANT, 0, 4);
       return std::vector{a};
     },
     S_OK, 4},
    {"array of the wrong element type", "Count", DISPATCH_METHOD,
     [] {
       VARIANT a;
       a.vt = VT_ARRAY | VT_I4;
       a.parray = SafeArrayCreateVector(VT_I4, 0, 4);
       return std::vector{a};
     },
     E_INVALIDARG, 0},
    {"array of two dimensions", "Count", DISPATCH_METHOD,
     [] {
       const SAFEARRAYBOUND b[2] = {{2, 0}, {2, 0}};
       VARIANT a;
       a.vt = VT_ARRAY | VT_VARIANT;
       a.parray = SafeArrayCreate(VT_VARIANT, 2, b);
       return std::vector{a};
     },
     E_INVALIDARG, 0},
    {"no array at all", "Count", DISPATCH_METHOD, [] { return std::vector{V(LONG{4})}; }, DISP_E_TYPEMISMATCH, 0},
};

class DispatchArgs : public Dispatch, public ::testing::WithParamInterface<ArgCase> {};

TEST_P(DispatchArgs, AnswerAsCOMDoes) {
  const ArgCase& c = GetParam();
  CallResult r;
  Call(d(), c.member, c.flags, c.args(), &r);
  ASSERT_EQ(r.hr, c.hr) << HResultName(r.hr);
  if (FAILED(c.hr)) return;
  Variant number;
  ASSERT_EQ(VariantChangeType(&number, &r.value, 0, VT_R8), S_OK);
  EXPECT_EQ(number.dblVal, c.result);
}

INSTANTIATE_TEST_SUITE_P(Table, DispatchArgs, ::testing::ValuesIn(kArgCases), [](const auto& param_info) {
  std::string name;
  for (const char* p = param_info.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
});

TEST_F(Dispatch, ParameterizedGetNeedsTheGetFlag) {
  CallResult r = Get(d(), "Item", {V(LONG{3})});  // METHOD|PROPERTYGET, as a script calls obj(3)
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(Text(r.value), "item3");
  EXPECT_EQ(Method(d(), "Item", {V(LONG{3})}).hr, DISP_E_MEMBERNOTFOUND);
  DISPPARAMS none;
  Variant out;
  EXPECT_EQ(d()->Invoke(0x60020042, IID_NULL, 0, DISPATCH_METHOD, &none, &out, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(Dispatch, NamedArgumentsReachTheirParameter) {
  // Scale(3, twice:=True): named arguments first in rgvarg, by the ids
  // GetIDsOfNames gave for the parameter names.
  VARIANT args[2] = {VBool(true), V(3.0)};
  DISPID named[1] = {1};
  DISPPARAMS params{args, named, 2, 1};
  Variant out;
  ASSERT_EQ(d()->Invoke(0x60020002, IID_NULL, 0, DISPATCH_METHOD, &params, &out, nullptr, nullptr), S_OK);
  EXPECT_EQ(out.dblVal, 6.0);
  named[0] = 7;
  EXPECT_EQ(d()->Invoke(0x60020002, IID_NULL, 0, DISPATCH_METHOD, &params, &out, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
}

TEST_F(Dispatch, VarargTailArrivesAsOneArray) {
  CallResult r = Method(d(), "Join", {V("-"), V("a"), V(LONG{2}), V(3.5)});
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(Text(r.value), "a-2-3.5");
  r = Method(d(), "Join", {V("-")});
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(Text(r.value), "");
  EXPECT_EQ(Method(d(), "Join").hr, DISP_E_BADPARAMCOUNT);
}

TEST_F(Dispatch, InterfaceArgumentsAreAskedForTheirInterface) {
  CallResult r = Method(d(), "Same", {VDisp(d())});
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.value.boolVal, VARIANT_TRUE);
  r = Method(d(), "Same", {VDisp(other_->dispatch())});
  EXPECT_EQ(r.value.boolVal, VARIANT_FALSE);
  EXPECT_EQ(Method(d(), "Same", {V("x")}).hr, DISP_E_TYPEMISMATCH);
}

TEST_F(Dispatch, ApplicationErrorsCarryErrorInfo) {
  DISPPARAMS none;
  EXCEPINFO excep;
  const OLECHAR* names[] = {u"Fail"};
  DISPID id = 0;
  ASSERT_EQ(d()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  ASSERT_EQ(d()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &excep, nullptr), E_FAIL);
  EXPECT_EQ(BstrToUtf8(excep.bstrDescription), "It failed.\n\nDetail");
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);

  ComRef<ISupportErrorInfo> support = QueryAs<ISupportErrorInfo>(d());
  ASSERT_TRUE(support);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(ITestObject::IID), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEnumVARIANT), S_FALSE);

  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  Bstr source, description;
  GUID guid;
  EXPECT_EQ(info->GetSource(source.out()), S_OK);
  EXPECT_EQ(info->GetDescription(description.out()), S_OK);
  EXPECT_EQ(info->GetGUID(&guid), S_OK);
  info->Release();
  EXPECT_EQ(source.utf8(), "Tidemark.Application");
  EXPECT_EQ(description.utf8(), "It failed.\n\nDetail");
  EXPECT_EQ(guid, ITestObject::IID);
  // Taken once: the thread's error info is now clear.
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  EXPECT_EQ(info, nullptr);
}

TEST_F(Dispatch, QueryInterfaceKeepsIdentity) {
  void* p = nullptr;
  EXPECT_EQ(d()->QueryInterface(IID_IEnumVARIANT, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_TRUE(SameObject(d(), QueryAs<ISupportErrorInfo>(d()).get()));
  EXPECT_FALSE(SameObject(d(), other_->dispatch()));
  EXPECT_EQ(d()->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  EXPECT_EQ(OwnObject<TestObject>(d()), object_.get());
  IEnumVARIANT* foreign = nullptr;
  ASSERT_EQ(CreateEnumVariant(nullptr, 0, &foreign), S_OK);
  EXPECT_EQ(OwnObject<TestObject>(foreign), nullptr);
  foreign->Release();
}

// Detaches the first object it meets; the walk disconnects the others.
class Detachable final : public CBase<Detachable, ITestObject> {
 public:
  bool detached = false;
  bool Detach() override { return detached = true; }
  HRESULT get_Value(LONG*) override { return detached ? E_ACCESSDENIED : S_OK; }
  HRESULT put_Value(LONG) override { return E_NOTIMPL; }
  HRESULT Scale(double, VARIANT_BOOL, double*) override { return E_NOTIMPL; }
  HRESULT Join(BSTR, SAFEARRAY*, BSTR*) override { return E_NOTIMPL; }
  HRESULT get_Item(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT Fail() override { return E_NOTIMPL; }
  HRESULT get_Self(IDispatch**) override { return E_NOTIMPL; }
  HRESULT Same(ITestObject*, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT KindOf(VARIANT*, LONG*) override { return E_NOTIMPL; }
  HRESULT Count(SAFEARRAY*, LONG*) override { return E_NOTIMPL; }
  HRESULT get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
};

TEST_F(Dispatch, TheObjectListCountsAndDetachesEveryLiveObject) {
  const long before = LiveObjectCount();
  auto a = ComRef<Detachable>::Adopt(new Detachable);
  auto b = ComRef<Detachable>::Adopt(new Detachable);
  EXPECT_EQ(LiveObjectCount(), before + 2);
  DetachAllLiveObjects();
  EXPECT_TRUE(a->detached);
  EXPECT_TRUE(b->detached);
  EXPECT_EQ(Get(a->dispatch(), "Value").hr, E_ACCESSDENIED);
  // The walk's references are gone again.
  EXPECT_EQ(a->ref_count(), 1u);
  b.reset();
  EXPECT_EQ(LiveObjectCount(), before + 1);
}

TEST_F(Dispatch, EnumeratorCopiesItsItems) {
  std::vector<IDispatch*> items = {d(), other_->dispatch()};
  IEnumVARIANT* e = nullptr;
  ASSERT_EQ(CreateEnumVariant(items, &e), S_OK);
  VARIANT got[3];
  ULONG n = 0;
  EXPECT_EQ(e->Next(3, got, &n), S_FALSE);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(got[0].pdispVal, d());
  EXPECT_EQ(got[1].pdispVal, other_->dispatch());
  for (ULONG i = 0; i < n; ++i) (void)VariantClear(&got[i]);
  IEnumVARIANT* clone = nullptr;
  ASSERT_EQ(e->Reset(), S_OK);
  ASSERT_EQ(e->Skip(1), S_OK);
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(clone->Next(1, got, &n), S_OK);
  EXPECT_EQ(got[0].pdispVal, other_->dispatch());
  (void)VariantClear(&got[0]);
  EXPECT_EQ(e->Skip(5), S_FALSE);
  clone->Release();
  e->Release();
}

}  // namespace
}  // namespace tidemark::com
