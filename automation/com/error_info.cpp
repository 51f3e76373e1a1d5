#include <atomic>
#include <new>
#include <string>

#include "automation/com/dispatch.h"

namespace tidemark::com {
namespace {

// Not an automation object of the model: it is not in the live count.
class ErrorInfo final : public IErrorInfo {
 public:
  ErrorInfo(const GUID& guid, std::string source, std::string description)
      : guid_(guid), source_(std::move(source)), description_(std::move(description)) {}

  HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
      *out = static_cast<IErrorInfo*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
  }
  HRESULT GetGUID(GUID* guid) override {
    if (!guid) return E_INVALIDARG;
    *guid = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* out) override { return Give(source_, out); }
  HRESULT GetDescription(BSTR* out) override { return Give(description_, out); }

 private:
  ~ErrorInfo() = default;
  static HRESULT Give(const std::string& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = BstrFromUtf8(text);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  std::atomic<ULONG> refs_{1};
  GUID guid_;
  std::string source_, description_;
};

thread_local ComRef<IErrorInfo> t_error_info;

}  // namespace

HRESULT CreateErrorInfo(const GUID& guid, std::string_view source, std::string_view description, IErrorInfo** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  try {
    *out = new ErrorInfo(guid, std::string(source), std::string(description));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
  t_error_info = ComRef<IErrorInfo>::Share(info);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** out) {
  if (!out) return E_INVALIDARG;
  *out = t_error_info.release();
  return *out ? S_OK : S_FALSE;
}

HRESULT ReportError(const GUID& iid, std::string_view source, std::string_view description) {
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(CreateErrorInfo(iid, source, description, &info))) {
    (void)SetErrorInfo(0, info);
    info->Release();
  }
  return E_FAIL;
}

}  // namespace tidemark::com
