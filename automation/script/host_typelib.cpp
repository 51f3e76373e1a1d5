// The host type library's tables. Ids run from 0x60020000 by vtable slot
// (Application is +0); Item and name take DISPID_VALUE and _NewEnum
// DISPID_NEWENUM while still using their slot.
#include "automation/script/host_typelib.h"

namespace tidemark::com {
namespace {

using T = ParamType;
using R = ParamType;
using K = MemberKind;
constexpr DISPID kBase = 0x60020000;

constexpr ParamInfo kEcho[] = {{"psa", T::kSafeArray}};
constexpr ParamInfo kExecScript[] = {{"file_name", T::kBstr}, {"parameters", T::kBstr, true, ""}};
constexpr ParamInfo kLoadScript[] = {{"file_name", T::kBstr}};
constexpr ParamInfo kQuit[] = {{"quit_code", T::kLong, true, "0"}};
constexpr ParamInfo kSleep[] = {{"milliseconds", T::kLong}};
constexpr MemberInfo kIScriptMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IScript::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IScript::get_Parent>},
    {"Arguments", kBase + 2, K::kGet, {}, R::kInterface, "IArguments", false, &RetThunk<&IScript::get_Arguments>},
    {"Echo", kBase + 3, K::kMethod, kEcho, R::kVoid, nullptr, true, &MethodThunk<&IScript::Echo>},
    {"ExecScript", kBase + 4, K::kMethod, kExecScript, R::kLong, nullptr, false, &RetThunk<&IScript::ExecScript>},
    {"LoadScript", kBase + 5, K::kMethod, kLoadScript, R::kDispatch, nullptr, false, &RetThunk<&IScript::LoadScript>},
    {"name", DISPID_VALUE, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IScript::get_name>},
    {"Quit", kBase + 7, K::kMethod, kQuit, R::kVoid, nullptr, false, &MethodThunk<&IScript::Quit>},
    {"ScriptFullName", kBase + 8, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IScript::get_ScriptFullName>},
    {"ScriptName", kBase + 9, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IScript::get_ScriptName>},
    {"Sleep", kBase + 10, K::kMethod, kSleep, R::kVoid, nullptr, false, &MethodThunk<&IScript::Sleep>},
    {"StdErr", kBase + 11, K::kGet, {}, R::kInterface, "ITextStream", false, &RetThunk<&IScript::get_StdErr>},
    {"StdOut", kBase + 12, K::kGet, {}, R::kInterface, "ITextStream", false, &RetThunk<&IScript::get_StdOut>},
};

constexpr ParamInfo kIndex[] = {{"index", T::kLong}};
constexpr MemberInfo kIArgumentsMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IArguments::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IArguments::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&IArguments::get__NewEnum>},
    {"Count", kBase + 3, K::kMethod, {}, R::kLong, nullptr, false, &RetThunk<&IArguments::Count>},
    {"Item", DISPID_VALUE, K::kGet, kIndex, R::kBstr, nullptr, false, &RetThunk<&IArguments::get_Item>},
    {"length", kBase + 5, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IArguments::get_length>},
    {"Named", kBase + 6, K::kGet, {}, R::kInterface, "INamed", false, &RetThunk<&IArguments::get_Named>},
    {"Unnamed", kBase + 7, K::kGet, {}, R::kInterface, "IUnnamed", false, &RetThunk<&IArguments::get_Unnamed>},
};

// get_Item's result is a VARIANT of its own choosing.
HRESULT NamedItem(IDispatch* self, VARIANT* args, VARIANT* result) {
  Variant sink;
  VARIANT* r = result ? result : &sink;
  VariantInit(r);
  return static_cast<INamed*>(self)->get_Item(args[0].bstrVal, r);
}

constexpr ParamInfo kName[] = {{"name", T::kBstr}};
constexpr MemberInfo kINamedMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&INamed::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&INamed::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&INamed::get__NewEnum>},
    {"Count", kBase + 3, K::kMethod, {}, R::kLong, nullptr, false, &RetThunk<&INamed::Count>},
    {"Exists", kBase + 4, K::kMethod, kName, R::kBool, nullptr, false, &RetThunk<&INamed::Exists>},
    {"Item", DISPID_VALUE, K::kGet, kName, R::kVariantPtr, nullptr, false, &NamedItem},
    {"length", kBase + 6, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&INamed::get_length>},
};

constexpr MemberInfo kIUnnamedMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IUnnamed::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IUnnamed::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&IUnnamed::get__NewEnum>},
    {"Count", kBase + 3, K::kMethod, {}, R::kLong, nullptr, false, &RetThunk<&IUnnamed::Count>},
    {"Item", DISPID_VALUE, K::kGet, kIndex, R::kBstr, nullptr, false, &RetThunk<&IUnnamed::get_Item>},
    {"length", kBase + 5, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IUnnamed::get_length>},
};

constexpr ParamInfo kNumChars[] = {{"num_chars", T::kLong}};
constexpr ParamInfo kText[] = {{"text", T::kBstr}};
constexpr ParamInfo kTextOptional[] = {{"text", T::kBstr, true, ""}};
constexpr ParamInfo kNumLines[] = {{"num_lines", T::kLong}};
constexpr MemberInfo kITextStreamMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ITextStream::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ITextStream::get_Parent>},
    {"AtEndOfLine", kBase + 2, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ITextStream::get_AtEndOfLine>},
    {"AtEndOfStream", kBase + 3, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ITextStream::get_AtEndOfStream>},
    {"Close", kBase + 4, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ITextStream::Close>},
    {"Column", kBase + 5, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ITextStream::get_Column>},
    {"Line", kBase + 6, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ITextStream::get_Line>},
    {"Read", kBase + 7, K::kMethod, kNumChars, R::kBstr, nullptr, false, &RetThunk<&ITextStream::Read>},
    {"ReadAll", kBase + 8, K::kMethod, {}, R::kBstr, nullptr, false, &RetThunk<&ITextStream::ReadAll>},
    {"ReadLine", kBase + 9, K::kMethod, {}, R::kBstr, nullptr, false, &RetThunk<&ITextStream::ReadLine>},
    {"Skip", kBase + 10, K::kMethod, kNumChars, R::kVoid, nullptr, false, &MethodThunk<&ITextStream::Skip>},
    {"SkipLine", kBase + 11, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ITextStream::SkipLine>},
    {"Write", kBase + 12, K::kMethod, kText, R::kVoid, nullptr, false, &MethodThunk<&ITextStream::Write>},
    {"WriteBlankLines", kBase + 13, K::kMethod, kNumLines, R::kVoid, nullptr, false, &MethodThunk<&ITextStream::WriteBlankLines>},
    {"WriteLine", kBase + 14, K::kMethod, kTextOptional, R::kVoid, nullptr, false, &MethodThunk<&ITextStream::WriteLine>},
};

}  // namespace

const InterfaceInfo& IScript::Info() {
  static constexpr InterfaceInfo kInfo{"IScript", IScript::IID, kIScriptMembers};
  return kInfo;
}
const InterfaceInfo& IArguments::Info() {
  static constexpr InterfaceInfo kInfo{"IArguments", IArguments::IID, kIArgumentsMembers};
  return kInfo;
}
const InterfaceInfo& INamed::Info() {
  static constexpr InterfaceInfo kInfo{"INamed", INamed::IID, kINamedMembers};
  return kInfo;
}
const InterfaceInfo& IUnnamed::Info() {
  static constexpr InterfaceInfo kInfo{"IUnnamed", IUnnamed::IID, kIUnnamedMembers};
  return kInfo;
}
const InterfaceInfo& ITextStream::Info() {
  static constexpr InterfaceInfo kInfo{"ITextStream", ITextStream::IID, kITextStreamMembers};
  return kInfo;
}

std::span<const InterfaceInfo* const> host_typelib::Interfaces() {
  static const InterfaceInfo* const kAll[] = {&IScript::Info(), &IArguments::Info(), &INamed::Info(),
                                               &IUnnamed::Info(), &ITextStream::Info()};
  return kAll;
}

}  // namespace tidemark::com
