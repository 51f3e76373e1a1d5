#include "automation/com/dispatch_table.h"

#include <array>

namespace tidemark::com {
namespace {

// The most parameters a member of any table may declare.
constexpr std::size_t kMaxParams = 16;

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool NameEquals(const OLECHAR* name, const char* table_name) {
  if (!name) return false;
  std::size_t i = 0;
  for (; table_name[i]; ++i)
    if (FoldAscii(name[i]) != FoldAscii(static_cast<char16_t>(static_cast<unsigned char>(table_name[i]))))
      return false;
  return name[i] == 0;
}

bool Wants(MemberKind kind, WORD flags) {
  switch (kind) {
    case MemberKind::kPut: return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    case MemberKind::kGet: return (flags & DISPATCH_PROPERTYGET) != 0;
    case MemberKind::kMethod: return (flags & DISPATCH_METHOD) != 0;
  }
  return false;
}

// Fills `arg` with parameter `p`'s value from `src` (null: missing).
HRESULT PrepareArgument(const ParamInfo& p, const VARIANT* src, VARIANT* arg) {
  if (!src || VariantIsMissing(src)) {
    if (p.default_value) {
      Variant text;
      if (!VariantSetString(&text, p.default_value)) return E_OUTOFMEMORY;
      return VariantChangeType(arg, &text, 0, VarTypeOf(p.type));
    }
    VariantSetMissing(arg);
    return S_OK;
  }
  switch (p.type) {
    case ParamType::kVariantPtr: return VariantCopyInd(arg, src);
    case ParamType::kSafeArray: {
      const VARIANT* v = VariantDeref(src);
      if (!(v->vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
      return VariantCopy(arg, v);
    }
    default: return VariantChangeType(arg, src, 0, VarTypeOf(p.type));
  }
}

void FillException(HRESULT hr, EXCEPINFO* excep) {
  if (!excep) return;
  *excep = EXCEPINFO{};
  excep->scode = hr;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return;
  (void)info->GetSource(&excep->bstrSource);
  (void)info->GetDescription(&excep->bstrDescription);
  // The caller may still ask the thread for it.
  (void)SetErrorInfo(0, info);
  info->Release();
}

}  // namespace

VARTYPE VarTypeOf(ParamType t) {
  switch (t) {
    case ParamType::kVoid: return VT_EMPTY;
    case ParamType::kBool: return VT_BOOL;
    case ParamType::kInt: return VT_INT;
    case ParamType::kLong: return VT_I4;
    case ParamType::kDouble: return VT_R8;
    case ParamType::kBstr: return VT_BSTR;
    case ParamType::kVariantPtr: return VT_VARIANT;
    case ParamType::kDispatch:
    case ParamType::kInterface: return VT_DISPATCH;
    case ParamType::kUnknown: return VT_UNKNOWN;
    case ParamType::kSafeArray: return VT_ARRAY | VT_VARIANT;
  }
  return VT_EMPTY;
}

const MemberInfo* FindMember(const InterfaceInfo& info, DISPID id, WORD flags) {
  const MemberInfo* found[3] = {};
  for (const MemberInfo& m : info.members)
    if (m.id == id) found[static_cast<int>(m.kind)] = &m;
  const MemberInfo* put = found[static_cast<int>(MemberKind::kPut)];
  const MemberInfo* get = found[static_cast<int>(MemberKind::kGet)];
  const MemberInfo* method = found[static_cast<int>(MemberKind::kMethod)];
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return put;
  if (get && Wants(MemberKind::kGet, flags)) return get;
  if (method && Wants(MemberKind::kMethod, flags)) return method;
  return nullptr;
}

HRESULT DispatchGetIDsOfNames(const InterfaceInfo& info, const OLECHAR* const* names, UINT count, DISPID* ids) {
  if (count == 0) return S_OK;
  if (!names || !ids) return E_INVALIDARG;
  const MemberInfo* member = nullptr;
  for (const MemberInfo& m : info.members)
    if (NameEquals(names[0], m.name)) {
      member = &m;
      break;
    }
  if (!member) {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  ids[0] = member->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (std::size_t k = 0; k < member->params.size(); ++k)
      if (member->params[k].name[0] && NameEquals(names[i], member->params[k].name)) ids[i] = static_cast<DISPID>(k);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchInvoke(const InterfaceInfo& info, IDispatch* self, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  DISPPARAMS none;
  if (!params) params = &none;
  if (params->cNamedArgs > params->cArgs || (params->cArgs && !params->rgvarg) ||
      (params->cNamedArgs && !params->rgdispidNamedArgs))
    return E_INVALIDARG;
  const MemberInfo* m = FindMember(info, id, flags);
  if (!m) return DISP_E_MEMBERNOTFOUND;
  const std::size_t n = m->params.size();
  if (n > kMaxParams) return E_FAIL;

  // Which caller VARIANT feeds which parameter; rgvarg holds the named
  // arguments first, then the positional ones last to first.
  std::array<const VARIANT*, kMaxParams> from{};
  std::array<UINT, kMaxParams> from_index{};
  const UINT positional = params->cArgs - params->cNamedArgs;
  const std::size_t fixed = m->vararg ? n - 1 : n;
  for (UINT j = 0; j < params->cNamedArgs; ++j) {
    const DISPID named = params->rgdispidNamedArgs[j];
    std::size_t k;
    if (named == DISPID_PROPERTYPUT && m->kind == MemberKind::kPut && n > 0) k = n - 1;
    else if (named >= 0 && static_cast<std::size_t>(named) < fixed) k = static_cast<std::size_t>(named);
    else return named == DISPID_PROPERTYPUT ? DISP_E_PARAMNOTFOUND : DISP_E_NONAMEDARGS;
    if (from[k]) return DISP_E_BADPARAMCOUNT;
    from[k] = &params->rgvarg[j];
    from_index[k] = j;
  }
  if (!m->vararg && positional > n) return DISP_E_BADPARAMCOUNT;
  const UINT take = static_cast<UINT>(positional < fixed ? positional : fixed);
  for (UINT i = 0; i < take; ++i) {
    if (from[i]) return DISP_E_BADPARAMCOUNT;
    from_index[i] = params->cArgs - 1 - i;
    from[i] = &params->rgvarg[from_index[i]];
  }

  std::array<VARIANT, kMaxParams> args{};
  struct ClearArgs {
    std::array<VARIANT, kMaxParams>& a;
    ~ClearArgs() {
      for (VARIANT& v : a) (void)VariantClear(&v);
    }
  } clear_args{args};

  for (std::size_t k = 0; k < fixed; ++k) {
    const ParamInfo& p = m->params[k];
    if ((!from[k] || VariantIsMissing(from[k])) && !p.optional)
      return from[k] || k < positional ? DISP_E_PARAMNOTFOUND : DISP_E_BADPARAMCOUNT;
    const HRESULT hr = PrepareArgument(p, from[k], &args[k]);
    if (FAILED(hr)) {
      if (arg_err && from[k]) *arg_err = from_index[k];
      return hr;
    }
  }
  if (m->vararg) {
    // The remaining positional arguments, first to last, as one array.
    const ULONG rest = positional > fixed ? static_cast<ULONG>(positional - fixed) : 0;
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, rest);
    if (!psa) return E_OUTOFMEMORY;
    args[n - 1].vt = VT_ARRAY | VT_VARIANT;
    args[n - 1].parray = psa;
    auto* items = static_cast<VARIANT*>(psa->pvData);
    for (ULONG i = 0; i < rest; ++i) {
      const HRESULT hr = VariantCopyInd(&items[i], &params->rgvarg[params->cArgs - 1 - fixed - i]);
      if (FAILED(hr)) return hr;
    }
  }

  if (result) VariantInit(result);
  const HRESULT hr = m->invoke(self, args.data(), result);
  if (FAILED(hr)) FillException(hr, excep);
  return hr;
}

}  // namespace tidemark::com
