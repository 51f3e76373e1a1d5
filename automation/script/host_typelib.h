// The host's own type library: IScript (the "Script" named item), the
// argument interfaces and the console stream. Version 1.0, locale 0x409;
// members numbered from 0x60020000 in declaration order (get and put share
// one number), Item and name at DISPID_VALUE, _NewEnum at DISPID_NEWENUM.
// Methods are in vtable order after IDispatch's, as in
// automation/typelib/interfaces.h.
#pragma once

#include <span>
#include <string_view>

#include "automation/com/com.h"

namespace tidemark::com {

class IArguments;
class INamed;
class IUnnamed;
class ITextStream;

class IScript : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("37D7321F-EBDB-42AF-9EE4-BCB72C064399");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IDispatch** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Arguments(IArguments** out) = 0;
  virtual HRESULT Echo(SAFEARRAY* psa) = 0;
  virtual HRESULT ExecScript(BSTR file_name, BSTR parameters, LONG* out) = 0;
  virtual HRESULT LoadScript(BSTR file_name, IDispatch** out) = 0;
  virtual HRESULT get_name(BSTR* out) = 0;
  virtual HRESULT Quit(LONG quit_code) = 0;
  virtual HRESULT get_ScriptFullName(BSTR* out) = 0;
  virtual HRESULT get_ScriptName(BSTR* out) = 0;
  virtual HRESULT Sleep(LONG milliseconds) = 0;
  virtual HRESULT get_StdErr(ITextStream** out) = 0;
  virtual HRESULT get_StdOut(ITextStream** out) = 0;

 protected:
  ~IScript() = default;
};

class IArguments : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("5370E563-1902-4FC7-B8B6-B916F7958044");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IDispatch** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT Count(LONG* out) = 0;
  virtual HRESULT get_Item(LONG index, BSTR* out) = 0;
  virtual HRESULT get_length(LONG* out) = 0;
  virtual HRESULT get_Named(INamed** out) = 0;
  virtual HRESULT get_Unnamed(IUnnamed** out) = 0;

 protected:
  ~IArguments() = default;
};

class INamed : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("BB3E17C9-8CB1-4EC3-95F4-3E04D56934D3");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IDispatch** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT Count(LONG* out) = 0;
  virtual HRESULT Exists(BSTR name, VARIANT_BOOL* out) = 0;
  // *out is initialised by the caller; S_FALSE leaves it EMPTY.
  virtual HRESULT get_Item(BSTR name, VARIANT* out) = 0;
  virtual HRESULT get_length(LONG* out) = 0;

 protected:
  ~INamed() = default;
};

class IUnnamed : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("D90AA41F-135F-46B4-BFEF-B9FD95E818E5");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IDispatch** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT Count(LONG* out) = 0;
  virtual HRESULT get_Item(LONG index, BSTR* out) = 0;
  virtual HRESULT get_length(LONG* out) = 0;

 protected:
  ~IUnnamed() = default;
};

class ITextStream : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("95E78C51-3023-4F52-BE6A-43AB6B00B009");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IDispatch** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_AtEndOfLine(VARIANT_BOOL* out) = 0;
  virtual HRESULT get_AtEndOfStream(VARIANT_BOOL* out) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT get_Column(LONG* out) = 0;
  virtual HRESULT get_Line(LONG* out) = 0;
  virtual HRESULT Read(LONG num_chars, BSTR* out) = 0;
  virtual HRESULT ReadAll(BSTR* out) = 0;
  virtual HRESULT ReadLine(BSTR* out) = 0;
  virtual HRESULT Skip(LONG num_chars) = 0;
  virtual HRESULT SkipLine() = 0;
  virtual HRESULT Write(BSTR text) = 0;
  virtual HRESULT WriteBlankLines(LONG num_lines) = 0;
  virtual HRESULT WriteLine(BSTR text) = 0;

 protected:
  ~ITextStream() = default;
};

namespace host_typelib {

inline constexpr std::string_view kLibraryName = "TidemarkScriptHost";
inline constexpr WORD kMajorVersion = 1;
inline constexpr WORD kMinorVersion = 0;
inline constexpr LCID kLocale = 0x409;
// The library's interfaces in declaration order.
std::span<const InterfaceInfo* const> Interfaces();

}  // namespace host_typelib
}  // namespace tidemark::com
