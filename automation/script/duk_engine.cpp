// The JavaScript engine on Duktape, and the bridge between JavaScript
// values and automation objects.
//
// Automation objects appear as Proxy objects over a native function: the
// function makes a call of the object itself invoke its default member
// (Application.Documents(0)); the "get" trap reads a property by name, and
// when the name is a method, or a property get that needs arguments, hands
// back a function that invokes it (Documents.Item(0)). One wrapper exists
// per object (keyed by its IUnknown in the heap stash), so === compares
// objects; wrappers and the references they hold live as long as the
// engine.
//
// Duktape reports errors by longjmp, which skips C++ destructors: every
// native function does its C++ work in a helper that returns, and only then
// throws, with nothing but plain data alive.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/script/script_engine.h"
#include "duktape.h"

extern "C" duk_bool_t tidemark_duk_exec_timeout(void* udata) {
  const auto* flag = static_cast<const std::atomic<bool>*>(udata);
  return flag && flag->load(std::memory_order_relaxed) ? 1 : 0;
}

namespace tidemark::NS_SCRIPT {
namespace {

constexpr const char* kPtrKey = DUK_HIDDEN_SYMBOL("disp");
constexpr const char* kIdKey = DUK_HIDDEN_SYMBOL("dispid");
constexpr const char* kArrayKey = DUK_HIDDEN_SYMBOL("safearray");
constexpr const char* kEnumKey = DUK_HIDDEN_SYMBOL("enum");
constexpr const char* kWrappersKey = DUK_HIDDEN_SYMBOL("wrappers");
constexpr const char* kEngineKey = DUK_HIDDEN_SYMBOL("engine");
constexpr const char* kMainKey = DUK_HIDDEN_SYMBOL("main");
constexpr std::size_t kMaxArgs = 32;

// A failure to throw once the C++ work is over: plain data only.
struct Failure {
  HRESULT hr = S_OK;
  char text[1024] = {};
};

void SetFailure(Failure* f, HRESULT hr, std::string_view text) {
  f->hr = hr;
  const std::size_t n = text.size() < sizeof f->text - 1 ? text.size() : sizeof f->text - 1;
  std::memcpy(f->text, text.data(), n);
  f->text[n] = 0;
}

// A JScript-like Error: number is the HRESULT as a signed 32-bit integer,
// description and message its text.
duk_ret_t ThrowFailure(duk_context* ctx, const Failure& f) {
  // The line is the calling script's, not this file's.
  duk_int_t line = 0;
  for (duk_int_t level = -1; line <= 0; --level) {
    duk_inspect_callstack_entry(ctx, level);
    if (duk_is_undefined(ctx, -1)) {
      duk_pop(ctx);
      break;
    }
    duk_get_prop_string(ctx, -1, "lineNumber");
    line = duk_get_int(ctx, -1);
    duk_pop_2(ctx);
  }
  duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", f.text);
  if (line > 0) {
    duk_push_string(ctx, "lineNumber");
    duk_push_int(ctx, line);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE | DUK_DEFPROP_FORCE);
  }
  duk_push_int(ctx, f.hr);
  duk_put_prop_string(ctx, -2, "number");
  duk_push_string(ctx, f.text);
  duk_put_prop_string(ctx, -2, "description");
  return duk_throw(ctx);
}

// The error text of a failed Invoke: the error information's description,
// else the HRESULT's name.
void FailureFromInvoke(HRESULT hr, EXCEPINFO& ex, Failure* f) {
  std::string text;
  if (ex.bstrDescription && SysStringLen(ex.bstrDescription) > 0) text = BstrToUtf8(ex.bstrDescription);
  else text = HResultName(hr);
  const HRESULT code = hr == DISP_E_EXCEPTION && ex.scode ? ex.scode : hr;
  SysFreeString(ex.bstrDescription);
  SysFreeString(ex.bstrSource);
  ex = EXCEPINFO{};
  SetFailure(f, code, text);
}

class DukEngine;
DukEngine* EngineOf(duk_context* ctx);

// The script's global functions as IDispatch (LoadScript's result).
class ScriptDispatch final : public IDispatch {
 public:
  explicit ScriptDispatch(DukEngine* engine) : engine_(engine) {}
  HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.fetch_add(1) + 1; }
  ULONG Release() override {
    const ULONG n = refs_.fetch_sub(1) - 1;
    if (n == 0) delete this;
    return n;
  }
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(const com::IID&, const OLECHAR* const* names, UINT count, LCID, DISPID* ids) override;
  HRESULT Invoke(DISPID id, const com::IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) override;
  void EngineGone() { engine_ = nullptr; }

 private:
  ~ScriptDispatch() = default;
  std::atomic<ULONG> refs_{1};
  DukEngine* engine_;
  std::vector<std::string> names_;
};

class DukEngine final : public ScriptEngine {
 public:
  DukEngine() {
    ctx_ = duk_create_heap(nullptr, nullptr, nullptr, &interrupted_, &Fatal);
    if (!ctx_) return;
    duk_push_heap_stash(ctx_);
    duk_push_bare_object(ctx_);
    duk_put_prop_string(ctx_, -2, kWrappersKey);
    duk_push_pointer(ctx_, this);
    duk_put_prop_string(ctx_, -2, kEngineKey);
    duk_pop(ctx_);
    InstallGlobals();
  }
  ~DukEngine() override {
    if (dispatch_) {
      dispatch_->EngineGone();
      dispatch_->Release();
    }
    if (ctx_) duk_destroy_heap(ctx_);  // finalizers release arrays and enumerators
    for (auto& [key, object] : held_) object->Release();
  }
  bool ok() const { return ctx_ != nullptr; }

  HRESULT SetSite(ScriptSite* site) override {
    site_ = site;
    return S_OK;
  }
  HRESULT AddNamedItem(std::string_view name) override;
  HRESULT ParseScriptText(std::string_view text, std::string_view file_name) override;
  HRESULT Connect() override;
  void InterruptAll() override { interrupted_.store(true, std::memory_order_relaxed); }
  HRESULT GetScriptDispatch(IDispatch** out) override {
    if (!out) return E_POINTER;
    if (!dispatch_) dispatch_ = new ScriptDispatch(this);
    dispatch_->AddRef();
    *out = dispatch_;
    return S_OK;
  }

  duk_context* ctx() { return ctx_; }
  bool interrupted() const { return interrupted_.load(std::memory_order_relaxed); }

  // Pushes the wrapper of `object` (null: JavaScript null).
  void PushObject(IDispatch* object);
  // Pushes the JavaScript value of `v`.
  void PushVariant(const VARIANT& v);
  // The VARIANT of the value at `idx`; false with *f set when it has none.
  bool ToVariant(duk_idx_t idx, VARIANT* out, Failure* f);
  // Calls the function on the stack top with the arguments below it
  // (already pushed), reporting an uncaught error; leaves the result.
  HRESULT CallReported(duk_idx_t nargs);

 private:
  static void Fatal(void*, const char* msg) {
    std::fprintf(stderr, "script engine: fatal error: %s\n", msg ? msg : "");
    std::abort();
  }
  void InstallGlobals();
  void Report(duk_idx_t error_idx);

  duk_context* ctx_ = nullptr;
  std::atomic<bool> interrupted_{false};
  ScriptSite* site_ = nullptr;
  std::string source_;
  std::string file_name_;
  bool parsed_ = false;
  ScriptDispatch* dispatch_ = nullptr;
  std::unordered_map<IUnknown*, IDispatch*> held_;
};

DukEngine* EngineOf(duk_context* ctx) {
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, kEngineKey);
  auto* e = static_cast<DukEngine*>(duk_get_pointer(ctx, -1));
  duk_pop_2(ctx);
  return e;
}

IDispatch* DispatchOf(duk_context* ctx, duk_idx_t idx) {
  if (!duk_is_object(ctx, idx)) return nullptr;
  duk_get_prop_string(ctx, idx, kPtrKey);
  auto* d = static_cast<IDispatch*>(duk_get_pointer(ctx, -1));
  duk_pop(ctx);
  return d;
}

// ---- Invoking -------------------------------------------------------------

struct Args {
  VARIANT v[kMaxArgs];
  UINT n = 0;
  ~Args() {
    for (UINT i = 0; i < n; ++i) (void)VariantClear(&v[i]);
  }
};

// Converts the arguments at stack indices [first, first+count) into COM's
// reverse order. Trailing undefined values count as missing.
bool CollectArgs(DukEngine* e, duk_idx_t first, duk_idx_t count, Args* args, Failure* f) {
  duk_context* ctx = e->ctx();
  while (count > 0 && duk_is_undefined(ctx, first + count - 1)) --count;
  if (static_cast<std::size_t>(count) > kMaxArgs) {
    SetFailure(f, DISP_E_BADPARAMCOUNT, "Too many arguments.");
    return false;
  }
  args->n = static_cast<UINT>(count);
  for (duk_idx_t i = 0; i < count; ++i)
    if (!e->ToVariant(first + i, &args->v[count - 1 - i], f)) return false;
  return true;
}

// False once Quit or a break has stopped the run: a stopped script makes no
// more calls. Its error is thrown again at every later call, so a catch in
// the script cannot carry on working, and the engine's own interrupt check
// ends plain statements soon after.
bool StillRunning(const DukEngine* e, Failure* f) {
  if (!e->interrupted()) return true;
  SetFailure(f, SCRIPT_E_INTERRUPTED, "The script was stopped.");
  return false;
}

// Invokes `id` on `target` with the arguments on the stack from `first`,
// then pushes the result. False with *f set on failure.
bool InvokeAndPush(DukEngine* e, IDispatch* target, DISPID id, WORD flags, duk_idx_t first, Failure* f) {
  if (!StillRunning(e, f)) return false;
  duk_context* ctx = e->ctx();
  Args args;
  if (!CollectArgs(e, first, duk_get_top(ctx) - first, &args, f)) return false;
  DISPPARAMS params;
  params.rgvarg = args.n ? args.v : nullptr;
  params.cArgs = args.n;
  Variant result;
  EXCEPINFO ex;
  UINT arg_err = 0;
  const HRESULT hr = target->Invoke(id, IID_NULL, 0, flags, &params, &result, &ex, &arg_err);
  if (FAILED(hr)) {
    FailureFromInvoke(hr, ex, f);
    return false;
  }
  e->PushVariant(result);
  return true;
}

bool PutProperty(DukEngine* e, IDispatch* target, DISPID id, duk_idx_t value_idx, Failure* f) {
  if (!StillRunning(e, f)) return false;
  Variant value;
  if (!e->ToVariant(value_idx, &value, f)) return false;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  EXCEPINFO ex;
  const WORD flags = value.vt == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF | DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUT;
  const HRESULT hr = target->Invoke(id, IID_NULL, 0, flags, &params, nullptr, &ex, nullptr);
  if (FAILED(hr)) {
    FailureFromInvoke(hr, ex, f);
    return false;
  }
  return true;
}

bool IdOfName(IDispatch* target, const char* name, DISPID* id) {
  const Bstr wide(name);
  const OLECHAR* names[] = {wide.get()};
  return SUCCEEDED(target->GetIDsOfNames(IID_NULL, names, 1, 0, id));
}

// A member function: `this` is irrelevant, the function knows its object.
bool MemberCallImpl(duk_context* ctx, Failure* f) {
  DukEngine* e = EngineOf(ctx);
  duk_push_current_function(ctx);
  IDispatch* target = DispatchOf(ctx, -1);
  duk_get_prop_string(ctx, -1, kIdKey);
  const DISPID id = duk_get_int(ctx, -1);
  duk_pop_2(ctx);
  if (!target) {
    SetFailure(f, E_UNEXPECTED, "The object is no longer available.");
    return false;
  }
  return InvokeAndPush(e, target, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, 0, f);
}
duk_ret_t MemberCall(duk_context* ctx) {
  Failure f;
  if (!MemberCallImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 1;
}

// Calling the object itself: its default member.
bool DefaultCallImpl(duk_context* ctx, Failure* f) {
  DukEngine* e = EngineOf(ctx);
  duk_push_current_function(ctx);
  IDispatch* target = DispatchOf(ctx, -1);
  duk_pop(ctx);
  if (!target) {
    SetFailure(f, E_UNEXPECTED, "The object is no longer available.");
    return false;
  }
  return InvokeAndPush(e, target, DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, 0, f);
}
duk_ret_t DefaultCall(duk_context* ctx) {
  Failure f;
  if (!DefaultCallImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 1;
}

// "[object Name]" for String(obj): its default value when it has one.
bool ToStringImpl(duk_context* ctx, Failure* f) {
  duk_push_current_function(ctx);
  IDispatch* target = DispatchOf(ctx, -1);
  duk_pop(ctx);
  if (target) {
    Variant value;
    DISPPARAMS none;
    if (SUCCEEDED(target->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr))) {
      std::string text;
      Variant as_text;
      if (SUCCEEDED(VariantChangeType(&as_text, &value, 0, VT_BSTR))) {
        text = BstrToUtf8(as_text.bstrVal);
        duk_push_lstring(ctx, text.data(), text.size());
        return true;
      }
    }
  }
  (void)f;
  duk_push_string(ctx, "[object]");
  return true;
}
duk_ret_t ToStringCall(duk_context* ctx) {
  Failure f;
  if (!ToStringImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 1;
}

// get trap (target, key, receiver).
enum class GetOutcome { kValue, kUndefined, kFailure };
GetOutcome GetTrapImpl(duk_context* ctx, Failure* f) {
  DukEngine* e = EngineOf(ctx);
  IDispatch* target = DispatchOf(ctx, 0);
  if (!target || !duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) return GetOutcome::kUndefined;
  const char* name = duk_get_string(ctx, 1);
  if (std::strcmp(name, "toString") == 0 || std::strcmp(name, "valueOf") == 0) {
    duk_push_c_function(ctx, &ToStringCall, 0);
    duk_push_pointer(ctx, target);
    duk_put_prop_string(ctx, -2, kPtrKey);
    return GetOutcome::kValue;
  }
  if (!StillRunning(e, f)) return GetOutcome::kFailure;
  DISPID id = DISPID_UNKNOWN;
  if (!IdOfName(target, name, &id)) return GetOutcome::kUndefined;
  const duk_idx_t top = duk_get_top(ctx);
  Variant value;
  DISPPARAMS none;
  EXCEPINFO ex;
  const HRESULT hr = target->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, &ex, nullptr);
  if (SUCCEEDED(hr)) {
    e->PushVariant(value);
    return GetOutcome::kValue;
  }
  if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND) {
    // A method, or a get that takes arguments: a function that invokes it.
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    duk_set_top(ctx, top);
    duk_push_c_function(ctx, &MemberCall, DUK_VARARGS);
    duk_push_pointer(ctx, target);
    duk_put_prop_string(ctx, -2, kPtrKey);
    duk_push_int(ctx, id);
    duk_put_prop_string(ctx, -2, kIdKey);
    return GetOutcome::kValue;
  }
  FailureFromInvoke(hr, ex, f);
  return GetOutcome::kFailure;
}
duk_ret_t GetTrap(duk_context* ctx) {
  Failure f;
  switch (GetTrapImpl(ctx, &f)) {
    case GetOutcome::kValue: return 1;
    case GetOutcome::kUndefined: return 0;
    case GetOutcome::kFailure: break;
  }
  return ThrowFailure(ctx, f);
}

// set trap (target, key, value, receiver).
bool SetTrapImpl(duk_context* ctx, Failure* f) {
  DukEngine* e = EngineOf(ctx);
  IDispatch* target = DispatchOf(ctx, 0);
  if (!target || !duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
    SetFailure(f, DISP_E_MEMBERNOTFOUND, "Object doesn't support this property or method.");
    return false;
  }
  DISPID id = DISPID_UNKNOWN;
  if (!IdOfName(target, duk_get_string(ctx, 1), &id)) {
    SetFailure(f, DISP_E_UNKNOWNNAME, std::string("Object doesn't support this property or method: ") +
                                          duk_get_string(ctx, 1));
    return false;
  }
  return PutProperty(e, target, id, 2, f);
}
duk_ret_t SetTrap(duk_context* ctx) {
  Failure f;
  if (!SetTrapImpl(ctx, &f)) return ThrowFailure(ctx, f);
  duk_push_true(ctx);
  return 1;
}

duk_ret_t HasTrap(duk_context* ctx) {
  IDispatch* target = DispatchOf(ctx, 0);
  DISPID id = DISPID_UNKNOWN;
  const bool has = target && duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1) &&
                   IdOfName(target, duk_get_string(ctx, 1), &id);
  duk_push_boolean(ctx, has);
  return 1;
}

// ---- SAFEARRAY values and VBArray ----------------------------------------

duk_ret_t ArrayFinalizer(duk_context* ctx) {
  duk_get_prop_string(ctx, 0, kArrayKey);
  auto* psa = static_cast<SAFEARRAY*>(duk_get_pointer(ctx, -1));
  if (psa) (void)SafeArrayDestroy(psa);
  duk_pop(ctx);
  duk_push_pointer(ctx, nullptr);
  duk_put_prop_string(ctx, 0, kArrayKey);
  return 0;
}

// Pushes an opaque holder of a copy of `psa` (what `new VBArray` takes).
void PushSafeArray(duk_context* ctx, SAFEARRAY* psa) {
  SAFEARRAY* copy = nullptr;
  if (!psa || FAILED(SafeArrayCopy(psa, &copy))) {
    duk_push_null(ctx);
    return;
  }
  duk_push_object(ctx);
  duk_push_pointer(ctx, copy);
  duk_put_prop_string(ctx, -2, kArrayKey);
  duk_push_c_function(ctx, &ArrayFinalizer, 1);
  duk_set_finalizer(ctx, -2);
}

SAFEARRAY* SafeArrayOf(duk_context* ctx, duk_idx_t idx) {
  if (!duk_is_object(ctx, idx)) return nullptr;
  duk_get_prop_string(ctx, idx, kArrayKey);
  auto* psa = static_cast<SAFEARRAY*>(duk_get_pointer(ctx, -1));
  duk_pop(ctx);
  return psa;
}

bool ArrayElement(SAFEARRAY* psa, LONG index, VARIANT* out, Failure* f) {
  VARTYPE vt = VT_EMPTY;
  (void)SafeArrayGetVartype(psa, &vt);
  HRESULT hr;
  if (vt == VT_VARIANT) {
    hr = SafeArrayGetElement(psa, &index, out);
  } else if (vt == VT_BSTR) {
    BSTR s = nullptr;
    hr = SafeArrayGetElement(psa, &index, &s);
    if (SUCCEEDED(hr)) out->vt = VT_BSTR, out->bstrVal = s;
  } else if (vt == VT_I4) {
    LONG x = 0;
    hr = SafeArrayGetElement(psa, &index, &x);
    if (SUCCEEDED(hr)) VariantSetI4(out, x);
  } else if (vt == VT_R8) {
    double x = 0;
    hr = SafeArrayGetElement(psa, &index, &x);
    if (SUCCEEDED(hr)) VariantSetR8(out, x);
  } else {
    hr = DISP_E_BADVARTYPE;
  }
  if (FAILED(hr)) SetFailure(f, hr, hr == DISP_E_BADINDEX ? "Subscript out of range." : HResultName(hr));
  return SUCCEEDED(hr);
}

// new VBArray(safearray)
bool VBArrayCtorImpl(duk_context* ctx, Failure* f) {
  SAFEARRAY* psa = SafeArrayOf(ctx, 0);
  if (!psa || SafeArrayGetDim(psa) != 1) {
    SetFailure(f, DISP_E_TYPEMISMATCH, "VBArray expected.");
    return false;
  }
  SAFEARRAY* copy = nullptr;
  if (FAILED(SafeArrayCopy(psa, &copy))) {
    SetFailure(f, E_OUTOFMEMORY, "Out of memory.");
    return false;
  }
  duk_push_this(ctx);
  duk_push_pointer(ctx, copy);
  duk_put_prop_string(ctx, -2, kArrayKey);
  duk_push_c_function(ctx, &ArrayFinalizer, 1);
  duk_set_finalizer(ctx, -2);
  duk_pop(ctx);
  return true;
}
duk_ret_t VBArrayCtor(duk_context* ctx) {
  if (!duk_is_constructor_call(ctx)) return DUK_RET_TYPE_ERROR;
  Failure f;
  if (!VBArrayCtorImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 0;
}

enum class VBOp { kToArray, kLBound, kUBound, kGetItem, kDimensions };
bool VBArrayOpImpl(duk_context* ctx, VBOp op, Failure* f) {
  DukEngine* e = EngineOf(ctx);
  duk_push_this(ctx);
  SAFEARRAY* psa = SafeArrayOf(ctx, -1);
  duk_pop(ctx);
  if (!psa) {
    SetFailure(f, DISP_E_TYPEMISMATCH, "VBArray expected.");
    return false;
  }
  LONG lo = 0, hi = -1;
  (void)SafeArrayGetLBound(psa, 1, &lo);
  (void)SafeArrayGetUBound(psa, 1, &hi);
  switch (op) {
    case VBOp::kDimensions: duk_push_int(ctx, static_cast<duk_int_t>(SafeArrayGetDim(psa))); return true;
    case VBOp::kLBound: duk_push_int(ctx, lo); return true;
    case VBOp::kUBound: duk_push_int(ctx, hi); return true;
    case VBOp::kGetItem: {
      const LONG index = duk_get_int(ctx, 0);
      Variant item;
      if (!ArrayElement(psa, index, &item, f)) return false;
      e->PushVariant(item);
      return true;
    }
    case VBOp::kToArray: {
      duk_push_array(ctx);
      duk_uarridx_t k = 0;
      for (LONG i = lo; i <= hi; ++i) {
        Variant item;
        if (!ArrayElement(psa, i, &item, f)) return false;
        e->PushVariant(item);
        duk_put_prop_index(ctx, -2, k++);
      }
      return true;
    }
  }
  return true;
}
template <VBOp Op>
duk_ret_t VBArrayOp(duk_context* ctx) {
  Failure f;
  if (!VBArrayOpImpl(ctx, Op, &f)) return ThrowFailure(ctx, f);
  return 1;
}

// ---- Enumerator ------------------------------------------------------------

duk_ret_t EnumFinalizer(duk_context* ctx) {
  duk_get_prop_string(ctx, 0, kEnumKey);
  auto* en = static_cast<IEnumVARIANT*>(duk_get_pointer(ctx, -1));
  if (en) en->Release();
  duk_pop(ctx);
  duk_push_pointer(ctx, nullptr);
  duk_put_prop_string(ctx, 0, kEnumKey);
  return 0;
}

constexpr const char* kCurrentKey = DUK_HIDDEN_SYMBOL("current");
constexpr const char* kAtEndKey = DUK_HIDDEN_SYMBOL("atEnd");

// Fetches the next item into this's current slot.
bool EnumFetch(duk_context* ctx, IEnumVARIANT* en, Failure* f) {
  DukEngine* e = EngineOf(ctx);
  Variant item;
  ULONG fetched = 0;
  const HRESULT hr = en ? en->Next(1, &item, &fetched) : S_FALSE;
  if (FAILED(hr)) {
    SetFailure(f, hr, HResultName(hr));
    return false;
  }
  duk_push_this(ctx);
  duk_push_boolean(ctx, fetched == 0);
  duk_put_prop_string(ctx, -2, kAtEndKey);
  if (fetched) e->PushVariant(item);
  else duk_push_undefined(ctx);
  duk_put_prop_string(ctx, -2, kCurrentKey);
  duk_pop(ctx);
  return true;
}

IEnumVARIANT* ThisEnum(duk_context* ctx) {
  duk_push_this(ctx);
  duk_get_prop_string(ctx, -1, kEnumKey);
  auto* en = static_cast<IEnumVARIANT*>(duk_get_pointer(ctx, -1));
  duk_pop_2(ctx);
  return en;
}

// new Enumerator(collection): over its _NewEnum.
bool EnumCtorImpl(duk_context* ctx, Failure* f) {
  IDispatch* target = DispatchOf(ctx, 0);
  IEnumVARIANT* en = nullptr;
  if (target) {
    Variant result;
    DISPPARAMS none;
    EXCEPINFO ex;
    const HRESULT hr =
        target->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, &ex, nullptr);
    if (FAILED(hr)) {
      FailureFromInvoke(hr, ex, f);
      return false;
    }
    IUnknown* unknown = (result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH) ? result.punkVal : nullptr;
    void* p = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IEnumVARIANT, &p))) {
      SetFailure(f, DISP_E_TYPEMISMATCH, "Object is not a collection.");
      return false;
    }
    en = static_cast<IEnumVARIANT*>(p);
  } else if (!duk_is_undefined(ctx, 0)) {
    SetFailure(f, DISP_E_TYPEMISMATCH, "Object is not a collection.");
    return false;
  }
  duk_push_this(ctx);
  duk_push_pointer(ctx, en);
  duk_put_prop_string(ctx, -2, kEnumKey);
  duk_push_c_function(ctx, &EnumFinalizer, 1);
  duk_set_finalizer(ctx, -2);
  duk_pop(ctx);
  return EnumFetch(ctx, en, f);
}
duk_ret_t EnumCtor(duk_context* ctx) {
  if (!duk_is_constructor_call(ctx)) return DUK_RET_TYPE_ERROR;
  Failure f;
  if (!EnumCtorImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 0;
}
duk_ret_t EnumAtEnd(duk_context* ctx) {
  duk_push_this(ctx);
  duk_get_prop_string(ctx, -1, kAtEndKey);
  duk_push_boolean(ctx, duk_to_boolean(ctx, -1));
  return 1;
}
duk_ret_t EnumItem(duk_context* ctx) {
  duk_push_this(ctx);
  duk_get_prop_string(ctx, -1, kCurrentKey);
  return 1;
}
bool EnumMoveImpl(duk_context* ctx, bool first, Failure* f) {
  IEnumVARIANT* en = ThisEnum(ctx);
  if (first && en) (void)en->Reset();
  return EnumFetch(ctx, en, f);
}
template <bool First>
duk_ret_t EnumMove(duk_context* ctx) {
  Failure f;
  if (!EnumMoveImpl(ctx, First, &f)) return ThrowFailure(ctx, f);
  return 0;
}

// ---- Values ---------------------------------------------------------------

void DukEngine::PushObject(IDispatch* object) {
  if (!object) {
    duk_push_null(ctx_);
    return;
  }
  void* p = nullptr;
  IUnknown* key = object;
  if (SUCCEEDED(object->QueryInterface(IID_IUnknown, &p))) {
    key = static_cast<IUnknown*>(p);
    key->Release();  // only its address is kept
  }
  char name[32];
  std::snprintf(name, sizeof name, "%p", static_cast<void*>(key));
  duk_push_heap_stash(ctx_);
  duk_get_prop_string(ctx_, -1, kWrappersKey);
  if (duk_get_prop_string(ctx_, -1, name)) {
    duk_remove(ctx_, -2);
    duk_remove(ctx_, -2);
    return;
  }
  duk_pop(ctx_);
  // The target: a function, so that the wrapper can be called.
  duk_push_c_function(ctx_, &DefaultCall, DUK_VARARGS);
  duk_push_pointer(ctx_, object);
  duk_put_prop_string(ctx_, -2, kPtrKey);
  duk_push_object(ctx_);  // handler
  duk_push_c_function(ctx_, &GetTrap, 3);
  duk_put_prop_string(ctx_, -2, "get");
  duk_push_c_function(ctx_, &SetTrap, 4);
  duk_put_prop_string(ctx_, -2, "set");
  duk_push_c_function(ctx_, &HasTrap, 2);
  duk_put_prop_string(ctx_, -2, "has");
  duk_push_proxy(ctx_, 0);
  // Remember the proxy and hold the object for the engine's life.
  duk_dup(ctx_, -1);
  duk_put_prop_string(ctx_, -3, name);
  duk_remove(ctx_, -2);
  duk_remove(ctx_, -2);
  if (held_.emplace(key, object).second) object->AddRef();
}

void DukEngine::PushVariant(const VARIANT& in) {
  const VARIANT& v = *VariantDeref(&in);
  switch (v.vt) {
    case VT_NULL: duk_push_null(ctx_); return;
    case VT_I2: duk_push_int(ctx_, v.iVal); return;
    case VT_I4: duk_push_int(ctx_, v.lVal); return;
    case VT_INT: duk_push_int(ctx_, v.intVal); return;
    case VT_I8: duk_push_number(ctx_, static_cast<double>(v.llVal)); return;
    case VT_R4: duk_push_number(ctx_, v.fltVal); return;
    case VT_R8: duk_push_number(ctx_, v.dblVal); return;
    case VT_BOOL: duk_push_boolean(ctx_, v.boolVal != VARIANT_FALSE); return;
    case VT_BSTR: {
      const std::string text = BstrToUtf8(v.bstrVal);
      duk_push_lstring(ctx_, text.data(), text.size());
      return;
    }
    case VT_DISPATCH: PushObject(v.pdispVal); return;
    case VT_UNKNOWN: {
      void* p = nullptr;
      if (v.punkVal && SUCCEEDED(v.punkVal->QueryInterface(IID_IDispatch, &p))) {
        auto* d = static_cast<IDispatch*>(p);
        PushObject(d);
        d->Release();
      } else {
        duk_push_null(ctx_);
      }
      return;
    }
    default:
      if (v.vt & VT_ARRAY) {
        PushSafeArray(ctx_, v.parray);
        return;
      }
      duk_push_undefined(ctx_);
  }
}

bool DukEngine::ToVariant(duk_idx_t idx, VARIANT* out, Failure* f) {
  VariantInit(out);
  switch (duk_get_type(ctx_, idx)) {
    case DUK_TYPE_UNDEFINED: VariantSetMissing(out); return true;
    case DUK_TYPE_NULL: out->vt = VT_NULL; return true;
    case DUK_TYPE_BOOLEAN: VariantSetBool(out, duk_get_boolean(ctx_, idx) != 0); return true;
    case DUK_TYPE_NUMBER: {
      const double x = duk_get_number(ctx_, idx);
      if (std::isfinite(x) && x == std::trunc(x) && x >= -2147483648.0 && x <= 2147483647.0)
        VariantSetI4(out, static_cast<LONG>(x));
      else
        VariantSetR8(out, x);
      return true;
    }
    case DUK_TYPE_STRING: {
      duk_size_t n = 0;
      const char* s = duk_get_lstring(ctx_, idx, &n);
      if (!VariantSetString(out, std::string_view(s, n))) {
        SetFailure(f, E_OUTOFMEMORY, "Out of memory.");
        return false;
      }
      return true;
    }
    case DUK_TYPE_OBJECT: {
      if (IDispatch* d = DispatchOf(ctx_, idx)) {
        VariantSetDispatch(out, d);
        return true;
      }
      if (SAFEARRAY* psa = SafeArrayOf(ctx_, idx)) {
        SAFEARRAY* copy = nullptr;
        if (FAILED(SafeArrayCopy(psa, &copy))) {
          SetFailure(f, E_OUTOFMEMORY, "Out of memory.");
          return false;
        }
        out->vt = VT_ARRAY | VT_VARIANT;
        out->parray = copy;
        return true;
      }
      if (duk_is_array(ctx_, idx)) {
        const auto n = static_cast<ULONG>(duk_get_length(ctx_, idx));
        SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, n);
        if (!psa) {
          SetFailure(f, E_OUTOFMEMORY, "Out of memory.");
          return false;
        }
        auto* items = static_cast<VARIANT*>(psa->pvData);
        for (ULONG i = 0; i < n; ++i) {
          duk_get_prop_index(ctx_, idx, static_cast<duk_uarridx_t>(i));
          const bool ok = ToVariant(-1, &items[i], f);
          duk_pop(ctx_);
          if (!ok) {
            (void)SafeArrayDestroy(psa);
            return false;
          }
        }
        out->vt = VT_ARRAY | VT_VARIANT;
        out->parray = psa;
        return true;
      }
      break;
    }
    default: break;
  }
  SetFailure(f, DISP_E_TYPEMISMATCH, "Type mismatch: the value cannot be passed to an automation object.");
  return false;
}

// ReadTextFile(path): a text file's contents as a string. With ListFolder
// the engine's only additions to the language, for scripts that take lists
// (labels, file names) from a file; no other file access exists.
bool ReadTextFileImpl(duk_context* ctx, Failure* f) {
  if (!duk_is_string(ctx, 0)) {
    SetFailure(f, DISP_E_TYPEMISMATCH, "ReadTextFile expects a file name.");
    return false;
  }
  const std::string path = duk_get_string(ctx, 0);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    SetFailure(f, MakeHr(0x800A0035), "File not found: " + path);
    return false;
  }
  std::string text;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) text.append(buf, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    SetFailure(f, MakeHr(0x800A0039), "The file cannot be read: " + path);
    return false;
  }
  duk_push_lstring(ctx, text.data(), text.size());
  return true;
}
duk_ret_t ReadTextFile(duk_context* ctx) {
  Failure f;
  if (!ReadTextFileImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 1;
}

// ListFolder(path): the names of the regular files in a folder (symbolic
// links followed, no subfolders), sorted bytewise so that runs are
// repeatable; for scripts that work through a folder.
bool ListFolderImpl(duk_context* ctx, Failure* f) {
  if (!duk_is_string(ctx, 0)) {
    SetFailure(f, DISP_E_TYPEMISMATCH, "ListFolder expects a folder name.");
    return false;
  }
  const std::string path = duk_get_string(ctx, 0);
  std::error_code ec;
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind_ec;
    if (it->is_regular_file(kind_ec)) names.push_back(it->path().filename().string());
  }
  if (ec) {
    SetFailure(f, MakeHr(0x800A004C), "Path not found: " + path);
    return false;
  }
  std::sort(names.begin(), names.end());
  duk_push_array(ctx);
  for (std::size_t i = 0; i < names.size(); ++i) {
    duk_push_lstring(ctx, names[i].data(), names[i].size());
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
  }
  return true;
}
duk_ret_t ListFolder(duk_context* ctx) {
  Failure f;
  if (!ListFolderImpl(ctx, &f)) return ThrowFailure(ctx, f);
  return 1;
}

// ---- The engine -----------------------------------------------------------

void DukEngine::InstallGlobals() {
  duk_push_global_object(ctx_);
  // Enumerator
  duk_push_c_function(ctx_, &EnumCtor, 1);
  duk_push_object(ctx_);
  const struct {
    const char* name;
    duk_c_function fn;
  } kEnumMethods[] = {{"atEnd", &EnumAtEnd}, {"item", &EnumItem}, {"moveNext", &EnumMove<false>},
                      {"moveFirst", &EnumMove<true>}};
  for (const auto& m : kEnumMethods) {
    duk_push_c_function(ctx_, m.fn, 0);
    duk_put_prop_string(ctx_, -2, m.name);
  }
  duk_put_prop_string(ctx_, -2, "prototype");
  duk_put_prop_string(ctx_, -2, "Enumerator");
  // VBArray
  duk_push_c_function(ctx_, &VBArrayCtor, 1);
  duk_push_object(ctx_);
  const struct {
    const char* name;
    duk_c_function fn;
    duk_idx_t nargs;
  } kArrayMethods[] = {{"toArray", &VBArrayOp<VBOp::kToArray>, 0},
                       {"lbound", &VBArrayOp<VBOp::kLBound>, DUK_VARARGS},
                       {"ubound", &VBArrayOp<VBOp::kUBound>, DUK_VARARGS},
                       {"getItem", &VBArrayOp<VBOp::kGetItem>, 1},
                       {"dimensions", &VBArrayOp<VBOp::kDimensions>, 0}};
  for (const auto& m : kArrayMethods) {
    duk_push_c_function(ctx_, m.fn, m.nargs);
    duk_put_prop_string(ctx_, -2, m.name);
  }
  duk_put_prop_string(ctx_, -2, "prototype");
  duk_put_prop_string(ctx_, -2, "VBArray");
  duk_push_c_function(ctx_, &ReadTextFile, 1);
  duk_put_prop_string(ctx_, -2, "ReadTextFile");
  duk_push_c_function(ctx_, &ListFolder, 1);
  duk_put_prop_string(ctx_, -2, "ListFolder");
  duk_pop(ctx_);
}

HRESULT DukEngine::AddNamedItem(std::string_view name) {
  if (!site_) return E_UNEXPECTED;
  IDispatch* object = nullptr;
  const HRESULT hr = site_->GetItem(name, &object);
  if (FAILED(hr)) return hr;
  duk_push_global_object(ctx_);
  PushObject(object);
  object->Release();
  duk_put_prop_lstring(ctx_, -2, name.data(), name.size());
  duk_pop(ctx_);
  return S_OK;
}

// Compiling inside a protected call: a syntax error is a thrown error.
duk_ret_t CompileSafe(duk_context* ctx, void*) {
  // [source filename]
  duk_compile(ctx, 0);
  return 1;
}

HRESULT DukEngine::ParseScriptText(std::string_view text, std::string_view file_name) {
  source_ = std::string(text);
  file_name_ = std::string(file_name);
  duk_push_lstring(ctx_, text.data(), text.size());
  duk_push_lstring(ctx_, file_name.data(), file_name.size());
  if (duk_safe_call(ctx_, &CompileSafe, nullptr, 2, 1) != DUK_EXEC_SUCCESS) {
    Report(-1);
    duk_pop(ctx_);
    return DISP_E_EXCEPTION;
  }
  duk_push_heap_stash(ctx_);
  duk_swap_top(ctx_, -2);
  duk_put_prop_string(ctx_, -2, kMainKey);
  duk_pop(ctx_);
  parsed_ = true;
  return S_OK;
}

HRESULT DukEngine::CallReported(duk_idx_t nargs) {
  if (duk_pcall(ctx_, nargs) == DUK_EXEC_SUCCESS) return S_OK;
  if (interrupted()) return SCRIPT_E_INTERRUPTED;
  Report(-1);
  return DISP_E_EXCEPTION;
}

HRESULT DukEngine::Connect() {
  if (!parsed_) return E_UNEXPECTED;
  if (interrupted()) return SCRIPT_E_INTERRUPTED;
  duk_push_heap_stash(ctx_);
  duk_get_prop_string(ctx_, -1, kMainKey);
  duk_remove(ctx_, -2);
  const HRESULT hr = CallReported(0);
  duk_pop(ctx_);
  return hr;
}

void DukEngine::Report(duk_idx_t error_idx) {
  if (!site_) return;
  const duk_idx_t idx = duk_normalize_index(ctx_, error_idx);
  ScriptErrorReport report;
  report.scode = DISP_E_EXCEPTION;
  if (duk_is_error(ctx_, idx)) {
    if (duk_get_prop_string(ctx_, idx, "lineNumber") && duk_is_number(ctx_, -1)) {
      const double line = duk_get_number(ctx_, -1);
      if (line >= 1) {
        report.has_position = true;
        report.line = static_cast<ULONG>(line - 1);
        report.column = 0;  // the engine knows lines only
      }
    }
    duk_pop(ctx_);
    if (duk_get_prop_string(ctx_, idx, "number") && duk_is_number(ctx_, -1))
      report.scode = static_cast<HRESULT>(duk_get_int(ctx_, -1));
    duk_pop(ctx_);
    if (duk_get_prop_string(ctx_, idx, "description") && duk_is_string(ctx_, -1))
      report.description = duk_get_string(ctx_, -1);
    duk_pop(ctx_);
  }
  if (report.description.empty()) {
    duk_dup(ctx_, idx);
    report.description = duk_safe_to_string(ctx_, -1);
    duk_pop(ctx_);
  }
  if (report.has_position) {
    std::size_t start = 0;
    for (ULONG l = 0; l < report.line && start != std::string::npos; ++l) {
      start = source_.find('\n', start);
      if (start != std::string::npos) ++start;
    }
    if (start != std::string::npos && start <= source_.size()) {
      std::size_t end = source_.find('\n', start);
      if (end == std::string::npos) end = source_.size();
      report.source_line = source_.substr(start, end - start);
      if (!report.source_line.empty() && report.source_line.back() == '\r') report.source_line.pop_back();
    }
  }
  site_->OnScriptError(report);
}

// ---- The script's dispatch object ------------------------------------------

HRESULT ScriptDispatch::GetIDsOfNames(const com::IID&, const OLECHAR* const* names, UINT count, LCID,
                                      DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  if (!engine_) return RPC_E_DISCONNECTED;
  const std::string name = BstrToUtf8(const_cast<BSTR>(names[0]));
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  duk_context* ctx = engine_->ctx();
  duk_push_global_object(ctx);
  const bool is_function = duk_get_prop_lstring(ctx, -1, name.data(), name.size()) && duk_is_function(ctx, -1);
  duk_pop_2(ctx);
  if (!is_function) {
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  for (std::size_t k = 0; k < names_.size(); ++k)
    if (names_[k] == name) {
      ids[0] = static_cast<DISPID>(k + 1);
      return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
  names_.push_back(name);
  ids[0] = static_cast<DISPID>(names_.size());
  return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ScriptDispatch::Invoke(DISPID id, const com::IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excep, UINT*) {
  if (!engine_) return RPC_E_DISCONNECTED;
  if (id < 1 || static_cast<std::size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params && params->cNamedArgs) return DISP_E_NONAMEDARGS;
  duk_context* ctx = engine_->ctx();
  const std::string& name = names_[static_cast<std::size_t>(id - 1)];
  const duk_idx_t top = duk_get_top(ctx);
  duk_push_global_object(ctx);
  duk_get_prop_lstring(ctx, -1, name.data(), name.size());
  duk_remove(ctx, -2);
  const UINT n = params ? params->cArgs : 0;
  for (UINT i = 0; i < n; ++i) {
    const VARIANT& arg = params->rgvarg[n - 1 - i];
    if (VariantIsMissing(&arg)) duk_push_undefined(ctx);
    else engine_->PushVariant(arg);
  }
  // The library's own error is reported by its site; the caller gets a failure.
  const HRESULT hr = engine_->CallReported(static_cast<duk_idx_t>(n));
  if (SUCCEEDED(hr) && result) {
    Failure f;
    if (!engine_->ToVariant(-1, result, &f) && !duk_is_undefined(ctx, -1)) VariantInit(result);
    if (VariantIsMissing(result)) VariantInit(result);
  }
  duk_set_top(ctx, top);
  if (FAILED(hr) && excep) {
    *excep = EXCEPINFO{};
    excep->scode = hr;
    excep->bstrDescription = BstrFromUtf8("The script library's function failed.");
  }
  return hr;
}

}  // namespace

bool ImplementsParseCategory(const CLSID& clsid) { return clsid == kClsidJavaScript; }

std::unique_ptr<ScriptEngine> CreateScriptEngine(const CLSID& clsid, HRESULT* hr) {
  if (clsid != kClsidJavaScript) {
    if (hr) *hr = MakeHr(0x80040154);  // REGDB_E_CLASSNOTREG
    return nullptr;
  }
  auto engine = std::make_unique<DukEngine>();
  if (!engine->ok()) {
    if (hr) *hr = E_OUTOFMEMORY;
    return nullptr;
  }
  if (hr) *hr = S_OK;
  return engine;
}

}  // namespace tidemark::NS_SCRIPT
