// BSTR, VARIANT coercions and SAFEARRAYs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/automation/com_test_support.h"

namespace tidemark::com {
namespace {
using testing::V;
using testing::VBool;

TEST(Bstr, NullAndEmptyDiffer) {
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(BstrToUtf8(nullptr), "");
  SysFreeString(empty);
}

TEST(Bstr, CountsUtf16UnitsAndKeepsEmbeddedZeros) {
  Bstr s("Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5");  // "Grüße " and one astral character
  EXPECT_EQ(s.size(), 8u);
  EXPECT_EQ(s.utf8(), "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5");
  const OLECHAR with_zero[] = {u'a', 0, u'b'};
  Bstr z = Bstr::Adopt(SysAllocStringLen(with_zero, 3));
  EXPECT_EQ(z.size(), 3u);
  EXPECT_EQ(z.get()[3], 0);
  // More than the 32-bit byte count can hold.
  EXPECT_EQ(SysAllocStringLen(nullptr, std::size_t{1} << 31), nullptr);
}

struct Coercion {
  const char* what;
  VARIANT (*make)();
  VARTYPE to;
  HRESULT hr;
  double number;      // the expected value of a numeric or BOOL result
  const char* text;   // the expected value of a string result
};

VARIANT Byref() {
  static VARIANT target = V(LONG{7});
  VARIANT v;
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = &target;
  return v;
}

const Coercion kCoercions[] = {
    {"digits", [] { return V("12"); }, VT_I4, S_OK, 12, nullptr},
    {"blanks around a real", [] { return V(" 3.5 "); }, VT_R8, S_OK, 3.5, nullptr},
    {"half to even, down", [] { return V("2.5"); }, VT_I4, S_OK, 2, nullptr},
    {"half to even, up", [] { return V(3.5); }, VT_I4, S_OK, 4, nullptr},
    {"negative text", [] { return V("-7"); }, VT_INT, S_OK, -7, nullptr},
    {"letters", [] { return V("abc"); }, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"trailing letters", [] { return V("12abc"); }, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"empty text", [] { return V(""); }, VT_R8, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"a named infinity", [] { return V("inf"); }, VT_R8, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"too large a real", [] { return V("1e400"); }, VT_R8, DISP_E_OVERFLOW, 0, nullptr},
    {"beyond long", [] { return V(3e9); }, VT_I4, DISP_E_OVERFLOW, 0, nullptr},
    {"NaN to long", [] { return V(std::nan("")); }, VT_I4, DISP_E_OVERFLOW, 0, nullptr},
    {"beyond short", [] { return V(LONG{40000}); }, VT_I2, DISP_E_OVERFLOW, 0, nullptr},
    {"true is -1", [] { return VBool(true); }, VT_I4, S_OK, -1, nullptr},
    {"non-zero is true", [] { return V(LONG{2}); }, VT_BOOL, S_OK, VARIANT_TRUE, nullptr},
    {"True in any case", [] { return V("tRUE"); }, VT_BOOL, S_OK, VARIANT_TRUE, nullptr},
    {"False", [] { return V("False"); }, VT_BOOL, S_OK, VARIANT_FALSE, nullptr},
    {"numeric text to bool", [] { return V("0"); }, VT_BOOL, S_OK, VARIANT_FALSE, nullptr},
    {"other words to bool", [] { return V("yes"); }, VT_BOOL, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"real to text", [] { return V(0.1); }, VT_BSTR, S_OK, 0, "0.1"},
    {"long to text", [] { return V(LONG{-42}); }, VT_BSTR, S_OK, 0, "-42"},
    {"bool to text", [] { return VBool(true); }, VT_BSTR, S_OK, 0, "True"},
    {"empty to number", [] { return VARIANT{}; }, VT_I4, S_OK, 0, nullptr},
    {"empty to text", [] { return VARIANT{}; }, VT_BSTR, S_OK, 0, ""},
    {"null to number", [] { VARIANT v; v.vt = VT_NULL; return v; }, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"missing to real", [] { return testing::VMissing(); }, VT_R8, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"missing to text", [] { return testing::VMissing(); }, VT_BSTR, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"a reference is followed", Byref, VT_R8, S_OK, 7, nullptr},
    {"text to an object", [] { return V("x"); }, VT_DISPATCH, DISP_E_TYPEMISMATCH, 0, nullptr},
};

class VariantCoercion : public ::testing::TestWithParam<Coercion> {};

TEST_P(VariantCoercion, ConvertsOrRefuses) {
  const Coercion& c = GetParam();
  Variant src;
  static_cast<VARIANT&>(src) = c.make();
  Variant dst;
  ASSERT_EQ(VariantChangeType(&dst, &src, 0, c.to), c.hr) << HResultName(VariantChangeType(&dst, &src, 0, c.to));
  if (FAILED(c.hr)) {
    EXPECT_EQ(dst.vt, VT_EMPTY);
    return;
  }
  ASSERT_EQ(dst.vt, c.to);
  switch (c.to) {
    case VT_I4:
    case VT_INT: EXPECT_EQ(dst.lVal, c.number); break;
    case VT_R8: EXPECT_EQ(dst.dblVal, c.number); break;
    case VT_BOOL: EXPECT_EQ(dst.boolVal, c.number); break;
    case VT_BSTR: EXPECT_EQ(BstrToUtf8(dst.bstrVal), c.text); break;
    default: FAIL();
  }
}

INSTANTIATE_TEST_SUITE_P(Table, VariantCoercion, ::testing::ValuesIn(kCoercions),
                         [](const auto& param_info) {
                           std::string name;
                           for (const char* p = param_info.param.what; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

TEST(Variant, ConvertsInPlaceAndCopiesDeeply) {
  Variant v;
  static_cast<VARIANT&>(v) = V("2.5e1");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_R8), S_OK);
  EXPECT_EQ(v.dblVal, 25.0);

  Variant s, copy;
  static_cast<VARIANT&>(s) = V("abc");
  ASSERT_EQ(VariantCopy(&copy, &s), S_OK);
  EXPECT_NE(copy.bstrVal, s.bstrVal);
  EXPECT_EQ(BstrToUtf8(copy.bstrVal), "abc");
}

TEST(SafeArray, HoldsVariantsWithBoundsAndCopiesThem) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 1, 3);
  ASSERT_NE(psa, nullptr);
  LONG lo = 0, hi = 0;
  ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lo), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(psa, 1, &hi), S_OK);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lo), DISP_E_BADINDEX);

  Variant item;
  static_cast<VARIANT&>(item) = V("two");
  const LONG two = 2, four = 4;
  ASSERT_EQ(SafeArrayPutElement(psa, &two, &item), S_OK);
  EXPECT_EQ(SafeArrayPutElement(psa, &four, &item), DISP_E_BADINDEX);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  ASSERT_EQ(SafeArrayDestroy(psa), S_OK);
  Variant back;
  ASSERT_EQ(SafeArrayGetElement(copy, &two, &back), S_OK);
  EXPECT_EQ(testing::Text(back), "two");
  const LONG one = 1;
  Variant first;
  ASSERT_EQ(SafeArrayGetElement(copy, &one, &first), S_OK);
  EXPECT_EQ(first.vt, VT_EMPTY);
  ASSERT_EQ(SafeArrayDestroy(copy), S_OK);

  const SAFEARRAYBOUND grid[2] = {{2, 0}, {3, 0}};
  SAFEARRAY* two_d = SafeArrayCreate(VT_VARIANT, 2, grid);
  ASSERT_NE(two_d, nullptr);
  EXPECT_EQ(SafeArrayGetDim(two_d), 2u);
  ASSERT_EQ(SafeArrayDestroy(two_d), S_OK);
}

TEST(Guid, ParsesAndFormatsBothWays) {
  GUID g;
  ASSERT_TRUE(ParseGuid("{7b0236cc-101c-44b3-880a-566c01dbb06e}", &g));
  EXPECT_EQ(FormatGuid(g), "{7B0236CC-101C-44B3-880A-566C01DBB06E}");
  EXPECT_EQ(g, MakeGuid("7B0236CC-101C-44B3-880A-566C01DBB06E"));
  for (const char* bad : {"", "7B0236CC-101C-44B3-880A-566C01DBB06", "{7B0236CC-101C-44B3-880A-566C01DBB06E",
                          "7B0236CC_101C-44B3-880A-566C01DBB06E", "7B0236CG-101C-44B3-880A-566C01DBB06E"})
    EXPECT_FALSE(ParseGuid(bad, &g)) << bad;
  EXPECT_EQ(HResultName(RPC_E_DISCONNECTED), "RPC_E_DISCONNECTED");
  EXPECT_EQ(HResultName(MakeHr(0x80001234)), "0x80001234");
}

}  // namespace
}  // namespace tidemark::com
