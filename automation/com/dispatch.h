// IDispatch, IEnumVARIANT, error information and ISupportErrorInfo.
#pragma once

#include <string_view>

#include "automation/com/variant.h"

namespace tidemark::com {

inline constexpr WORD DISPATCH_METHOD = 1;
inline constexpr WORD DISPATCH_PROPERTYGET = 2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 8;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;

// The arguments of one Invoke. As COM passes them, rgvarg holds the
// positional arguments in reverse order (the last one first), after the
// named ones; a property put's value is the named argument DISPID_PROPERTYPUT.
struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  UINT cArgs = 0;
  UINT cNamedArgs = 0;
};

// Filled when a member fails and error information was set; the caller
// frees the strings.
struct EXCEPINFO {
  WORD wCode = 0;
  BSTR bstrSource = nullptr;
  BSTR bstrDescription = nullptr;
  HRESULT scode = 0;
};

class IDispatch : public IUnknown {
 public:
  static constexpr com::IID IID = IID_IDispatch;
  // No ITypeInfo exists: the type library is reached as tables (dispatch_table.h).
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetIDsOfNames(const com::IID& riid, const OLECHAR* const* names, UINT count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, const com::IID& riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excep, UINT* arg_err) = 0;

 protected:
  ~IDispatch() = default;
};

class IEnumVARIANT : public IUnknown {
 public:
  static constexpr com::IID IID = IID_IEnumVARIANT;
  // Copies up to `count` items into `items`; S_FALSE when fewer remained.
  virtual HRESULT Next(ULONG count, VARIANT* items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumVARIANT** out) = 0;

 protected:
  ~IEnumVARIANT() = default;
};

class IErrorInfo : public IUnknown {
 public:
  static constexpr com::IID IID = IID_IErrorInfo;
  virtual HRESULT GetGUID(GUID* guid) = 0;
  virtual HRESULT GetSource(BSTR* source) = 0;
  virtual HRESULT GetDescription(BSTR* description) = 0;

 protected:
  ~IErrorInfo() = default;
};

class ISupportErrorInfo : public IUnknown {
 public:
  static constexpr com::IID IID = IID_ISupportErrorInfo;
  // S_OK when the interface reports its failures through error information.
  virtual HRESULT InterfaceSupportsErrorInfo(const com::IID& riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

// A new error-info object (one reference, the caller's).
HRESULT CreateErrorInfo(const GUID& guid, std::string_view source, std::string_view description,
                        IErrorInfo** out);
// The calling thread's error information: Set replaces it (null clears),
// Get hands it over and clears it (S_FALSE and null when none is set).
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out);

// Makes and sets error info and answers E_FAIL; the members' way to report
// an application error.
HRESULT ReportError(const GUID& iid, std::string_view source, std::string_view description);

}  // namespace tidemark::com
