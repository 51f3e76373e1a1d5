// The automation layer's COM stand-in, in one include.
//
// Usage:
//   - Interfaces are abstract classes (automation/typelib/interfaces.h):
//     IApplication, IDocument, ... each deriving from IDispatch, methods in
//     vtable order (get_Length(double*), put_SampleRate(LONG), ...).
//   - An object class derives from CBase<Class, IInterface>
//     (object_base.h), implements the interface's methods and so gets
//     QueryInterface, counting, ISupportErrorInfo and table-driven
//     IDispatch. It is made with `new` (count 1) and held in ComRef
//     (= IntrusiveRef). Detach() is the object's hook for the teardown and
//     project-switch walk (DetachAllLiveObjects).
//   - Failures: return E_INVALIDARG/E_ACCESSDENIED/... directly; an
//     application error is `return ReportError(IID, "Tidemark.Application",
//     text)`, which sets the thread's error info and answers E_FAIL.
//   - Values: BSTR (bstr.h, Bstr owns one), VARIANT (variant.h, Variant
//     owns one), SAFEARRAY of VARIANT (SafeArrayCreateVector(VT_VARIANT, 0, n)).
//   - An object passed in: OwnObject<CDoc>(p) tells this program's objects
//     from foreign ones that answer the same interface.
//   - Collections' _NewEnum: CreateEnumVariant (enum_variant.h).
//   - Scripts on another thread reach objects through an ApartmentBridge
//     (apartment.h); CoDisconnectObject cuts one object's proxies.
#pragma once

#include "automation/com/apartment.h"
#include "automation/com/bstr.h"
#include "automation/com/com_types.h"
#include "automation/com/dispatch.h"
#include "automation/com/dispatch_table.h"
#include "automation/com/enum_variant.h"
#include "automation/com/object_base.h"
#include "automation/com/unknown.h"
#include "automation/com/variant.h"
