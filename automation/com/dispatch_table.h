// Type-library tables and the dispatch driven by them.
//
// An interface is described once, as an InterfaceInfo: its GUID and its
// members in declaration order, each with dispatch id, kind, parameters
// (name, type, optional flag and default) and result type, and an invoker
// that calls the member's C++ method. DispatchGetIDsOfNames and
// DispatchInvoke work from that description alone: they resolve names
// without regard to ASCII case, put the arguments into declaration order,
// fill defaults, pack a [vararg] tail into a SAFEARRAY, convert each
// argument to its parameter's type and hand the result back.
//
// Invokers are made with MethodThunk<&I::Method> (no result) and
// RetThunk<&I::get_X> (the last C++ parameter is the [out, retval]).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <tuple>
#include <type_traits>

#include "automation/com/dispatch.h"

namespace tidemark::com {

enum class MemberKind : std::uint8_t { kMethod, kGet, kPut };

// Parameter and result types of the library. kInterface is an object typed
// by an interface of the library (its name in `type_name`).
enum class ParamType : std::uint8_t {
  kVoid,
  kBool,       // VARIANT_BOOL
  kInt,        // int (32 bits)
  kLong,       // long (32 bits)
  kDouble,
  kBstr,
  kVariantPtr, // VARIANT*, passed as it came
  kDispatch,   // IDispatch*
  kInterface,  // a typed interface pointer
  kUnknown,    // IUnknown* (the _NewEnum result)
  kSafeArray,  // SAFEARRAY* of VARIANT
};

VARTYPE VarTypeOf(ParamType t);

struct ParamInfo {
  const char* name;       // "" for a put's value
  ParamType type;
  bool optional = false;
  // The default of an optional parameter as text, converted to the
  // parameter's type; null for none (a missing VARIANT* arrives as VT_ERROR
  // DISP_E_PARAMNOTFOUND).
  const char* default_value = nullptr;
  const char* type_name = nullptr;  // kInterface: "IDocument", ...
};

// Arguments in declaration order, each already of its parameter's VARTYPE
// (VARIANT* parameters: the caller's VARIANT, BYREF followed).
using Invoker = HRESULT (*)(IDispatch* self, VARIANT* args, VARIANT* result);

struct MemberInfo {
  const char* name;
  DISPID id;
  MemberKind kind;
  std::span<const ParamInfo> params;
  ParamType result = ParamType::kVoid;  // the [out, retval], if any
  const char* result_name = nullptr;    // kInterface: its interface name
  bool vararg = false;                  // the last parameter takes the rest
  Invoker invoke = nullptr;
};

struct InterfaceInfo {
  const char* name;
  IID iid;
  std::span<const MemberInfo> members;
};

// The member of `info` for `id` and `flags`, or null. A put matches
// PROPERTYPUT or PROPERTYPUTREF; a get matches PROPERTYGET (also combined
// with METHOD); a method matches METHOD.
const MemberInfo* FindMember(const InterfaceInfo& info, DISPID id, WORD flags);

HRESULT DispatchGetIDsOfNames(const InterfaceInfo& info, const OLECHAR* const* names, UINT count, DISPID* ids);
HRESULT DispatchInvoke(const InterfaceInfo& info, IDispatch* self, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* arg_err);

// ---- Invokers --------------------------------------------------------------

namespace thunk {

template <typename T>
struct Arg;
template <>
struct Arg<double> {
  static double Get(VARIANT* v) { return v->dblVal; }
};
template <>
struct Arg<std::int32_t> {
  static std::int32_t Get(VARIANT* v) { return v->lVal; }
};
template <>
struct Arg<VARIANT_BOOL> {
  static VARIANT_BOOL Get(VARIANT* v) { return v->boolVal; }
};
template <>
struct Arg<BSTR> {
  static BSTR Get(VARIANT* v) { return v->bstrVal; }
};
template <>
struct Arg<VARIANT*> {
  static VARIANT* Get(VARIANT* v) { return v; }
};
template <>
struct Arg<SAFEARRAY*> {
  static SAFEARRAY* Get(VARIANT* v) { return v->parray; }
};
template <>
struct Arg<IDispatch*> {
  static IDispatch* Get(VARIANT* v) { return v->pdispVal; }
};

// A typed interface argument: the object is asked for that interface; an
// object that lacks it (or a foreign one) arrives as null.
template <typename I>
struct InterfaceArg {
  ComRef<I> held;
  explicit InterfaceArg(VARIANT* v) : held(QueryAs<I>(v->pdispVal)) {}
  I* get() const { return held.get(); }
};

template <typename T>
decltype(auto) Convert(VARIANT* v) {
  if constexpr (std::is_pointer_v<T> && std::is_base_of_v<IDispatch, std::remove_pointer_t<T>> &&
                !std::is_same_v<T, IDispatch*>)
    return InterfaceArg<std::remove_pointer_t<T>>(v);
  else
    return Arg<T>::Get(v);
}
template <typename H>
decltype(auto) Unwrap(H& h) {
  if constexpr (requires { h.held; }) return h.get();
  else return h;
}

// Stores an out-value into the result VARIANT (taking over its ownership).
inline void Store(VARIANT* r, double x) { r->vt = VT_R8, r->dblVal = x; }
inline void Store(VARIANT* r, std::int32_t x) { r->vt = VT_I4, r->lVal = x; }
inline void Store(VARIANT* r, VARIANT_BOOL x) { r->vt = VT_BOOL, r->boolVal = x; }
inline void Store(VARIANT* r, BSTR x) { r->vt = VT_BSTR, r->bstrVal = x; }
inline void Store(VARIANT* r, SAFEARRAY* x) { r->vt = VT_ARRAY | VT_VARIANT, r->parray = x; }
inline void Store(VARIANT* r, IUnknown* x) { r->vt = VT_UNKNOWN, r->punkVal = x; }
inline void Store(VARIANT* r, IDispatch* x) { r->vt = VT_DISPATCH, r->pdispVal = x; }

template <typename F>
struct Traits;
template <typename I, typename... A>
struct Traits<HRESULT (I::*)(A...)> {
  using Interface = I;
  using Args = std::tuple<A...>;
  static constexpr std::size_t kCount = sizeof...(A);
};

template <auto Fn, std::size_t... K>
HRESULT CallIn(IDispatch* self, VARIANT* args, std::index_sequence<K...>) {
  using Tr = Traits<decltype(Fn)>;
  auto held = std::tuple<decltype(Convert<std::tuple_element_t<K, typename Tr::Args>>(args + K))...>(
      Convert<std::tuple_element_t<K, typename Tr::Args>>(args + K)...);
  (void)held;
  return (static_cast<typename Tr::Interface*>(self)->*Fn)(Unwrap(std::get<K>(held))...);
}

template <auto Fn, std::size_t... K>
HRESULT CallOut(IDispatch* self, VARIANT* args, VARIANT* result, std::index_sequence<K...>) {
  using Tr = Traits<decltype(Fn)>;
  using OutPtr = std::tuple_element_t<Tr::kCount - 1, typename Tr::Args>;
  using Out = std::remove_pointer_t<OutPtr>;
  Out out{};
  auto held = std::tuple<decltype(Convert<std::tuple_element_t<K, typename Tr::Args>>(args + K))...>(
      Convert<std::tuple_element_t<K, typename Tr::Args>>(args + K)...);
  (void)held;
  const HRESULT hr = (static_cast<typename Tr::Interface*>(self)->*Fn)(Unwrap(std::get<K>(held))..., &out);
  VARIANT sink;
  VARIANT* r = result ? result : &sink;
  r->vt = VT_EMPTY;
  if constexpr (std::is_pointer_v<Out> && std::is_base_of_v<IDispatch, std::remove_pointer_t<Out>>)
    Store(r, static_cast<IDispatch*>(out));
  else
    Store(r, out);
  if (FAILED(hr) || !result) (void)VariantClear(r);
  return hr;
}

}  // namespace thunk

template <auto Fn>
HRESULT MethodThunk(IDispatch* self, VARIANT* args, VARIANT*) {
  return thunk::CallIn<Fn>(self, args, std::make_index_sequence<thunk::Traits<decltype(Fn)>::kCount>());
}

template <auto Fn>
HRESULT RetThunk(IDispatch* self, VARIANT* args, VARIANT* result) {
  return thunk::CallOut<Fn>(self, args, result, std::make_index_sequence<thunk::Traits<decltype(Fn)>::kCount - 1>());
}

}  // namespace tidemark::com
