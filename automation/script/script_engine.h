// The script engine interface: what the host needs of a language engine.
// An engine is made by class identifier, given a site and its named items,
// parses a script text, runs the global code when connected, can be
// interrupted from any thread, and hands out the script's dispatch object
// (its global functions) for LoadScript.
//
// Threads: an engine is used on the thread that made it, except
// InterruptAll, which any thread may call.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "automation/com/com.h"

namespace tidemark::NS_SCRIPT {

using namespace tidemark::com;  // NOLINT: the host speaks COM throughout

// A script error as the engine reports it.
struct ScriptErrorReport {
  bool has_position = false;
  ULONG line = 0;   // zero-based
  LONG column = 0;  // zero-based
  std::string description;
  HRESULT scode = E_FAIL;
  std::string source_line;
};

// The host side of an engine.
class ScriptSite {
 public:
  // The object of named item `name` with a reference; TYPE_E_ELEMENTNOTFOUND
  // for names the host does not know.
  virtual HRESULT GetItem(std::string_view name, IDispatch** out) = 0;
  // An error the script did not catch (or a syntax error).
  virtual void OnScriptError(const ScriptErrorReport& report) = 0;

 protected:
  ~ScriptSite() = default;
};

class ScriptEngine {
 public:
  virtual ~ScriptEngine() = default;

  // The site must outlive the engine.
  virtual HRESULT SetSite(ScriptSite* site) = 0;
  // A global name resolved through the site (SCRIPTITEM_ISVISIBLE).
  virtual HRESULT AddNamedItem(std::string_view name) = 0;
  // Compiles `text` (from `file_name`, for messages); a syntax error is
  // reported to the site and answers DISP_E_EXCEPTION.
  virtual HRESULT ParseScriptText(std::string_view text, std::string_view file_name) = 0;
  // The connected state: runs the parsed global code to its end. An error
  // the script did not catch is reported to the site and answers
  // DISP_E_EXCEPTION; an interruption answers E_ABORT-like SCRIPT_E_INTERRUPTED.
  virtual HRESULT Connect() = 0;
  // Stops the running code of every thread of the engine at its next
  // check; later runs stop at once too. Any thread.
  virtual void InterruptAll() = 0;
  // The script's global object as IDispatch: its functions as methods.
  virtual HRESULT GetScriptDispatch(IDispatch** out) = 0;
};

// The run was interrupted (a break or Quit).
inline constexpr HRESULT SCRIPT_E_INTERRUPTED = MakeHr(0x80020101);

// The Active Scripting parse category a class must implement to be an engine.
inline constexpr GUID kCatidActiveScriptParse = MakeGuid("F0B7A1A2-9847-11cf-8F20-00805F2CD064");
// The built-in JavaScript engine.
inline constexpr CLSID kClsidJavaScript = MakeGuid("F414C260-6AC0-11CF-B6D1-00AA00BBBB58");

// Whether the class `clsid` implements the parse category (an engine this
// program can make).
bool ImplementsParseCategory(const CLSID& clsid);
// A new engine of class `clsid`; null (and *hr set) when none exists.
std::unique_ptr<ScriptEngine> CreateScriptEngine(const CLSID& clsid, HRESULT* hr);

}  // namespace tidemark::NS_SCRIPT
