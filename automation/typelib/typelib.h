// The "Tidemark" type library: library and class identifiers and its 25
// dual interfaces, as static tables (the tables and the interfaces' Info()
// live in tidemark_typelib.cpp, in one place).
#pragma once

#include <span>
#include <string_view>

#include "automation/typelib/interfaces.h"

namespace tidemark::com::typelib {

inline constexpr std::string_view kLibraryName = "Tidemark";
inline constexpr std::string_view kHelpString = "Tidemark Type Library";
inline constexpr WORD kMajorVersion = 1;
inline constexpr WORD kMinorVersion = 0;
inline constexpr LCID kLocale = 0x409;
inline constexpr GUID kLibraryId = MakeGuid("1B03C59F-A6E2-4BFD-80ED-59C322EA2375");
// The class `Tidemark` (appobject, cancreate, predeclid): IApplication by default.
inline constexpr CLSID kApplicationClassId = MakeGuid("9057EE2D-3F06-443D-B622-C5CF38297850");
inline constexpr std::string_view kProgId = "Tidemark.Application";
// Numbers of members in declaration order start here.
inline constexpr DISPID kFirstMemberId = 0x60020000;

// The library's interfaces in the order of its identifier table.
std::span<const InterfaceInfo* const> Interfaces();
// Null when the library has no such interface (names match exactly).
const InterfaceInfo* FindInterface(std::string_view name);
const InterfaceInfo* FindInterface(const IID& iid);

}  // namespace tidemark::com::typelib
