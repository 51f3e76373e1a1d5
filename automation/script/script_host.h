// Running a script: the host object "Script", the run records and their
// chain, Break and Quit, and the console reports.
//
//   RunRequest req;
//   req.path = "batch.js";
//   req.arguments = {"/format:Wave24", "a.wav"};
//   req.console = &console;
//   req.make_application = [&] { return ComRef<IDispatch>(app); };
//   RunOutcome r = RunScript(req);   // on the user-interface thread
//
// RunScript looks up the engine first (no engine: refused, nothing
// started), makes the application object, hands it to a worker thread
// through the cross-thread proxy, and keeps delivering the calling thread's
// messages until the worker ends. Then every proxy is disconnected, the
// application object is let go (end_application), a deferred suspend runs,
// and the exit line is printed when the run ended without error.
//
// The run's working folder is the script's own folder (restored afterwards)
// unless keep_directory is set. ExecScript and LoadScript look a relative
// name up beside the calling script first, then in the working folder.
//
// Children: ExecScript runs another script on the calling (worker) thread
// with its own run record chained to the caller's; its uncaught error is
// printed with its own file name and then reaches the caller as a failure
// of ExecScript (error info with the child's description and HRESULT), so
// try/catch works around it. LoadScript runs a library's global code and
// returns its global functions as an IDispatch; the library stays loaded
// until the run that loaded it ends, and its dispatch object answers
// RPC_E_DISCONNECTED afterwards.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/com/com.h"
#include "automation/script/engine_lookup.h"
#include "platform/error.h"

namespace tidemark::NS_SCRIPT {

enum class ConsoleStream : std::uint8_t { kOut, kErr };

// Where a run prints. Write may be called from any thread of the run.
class ScriptConsole {
 public:
  virtual void Write(ConsoleStream stream, std::string_view text) = 0;

 protected:
  ~ScriptConsole() = default;
};

struct RunRequest {
  std::string path;
  std::vector<std::string> arguments;
  // Null: no console (Echo answers E_ACCESSDENIED, nothing is printed).
  ScriptConsole* console = nullptr;
  // Made and let go of on the calling thread.
  std::function<ComRef<IDispatch>()> make_application;
  std::function<void()> end_application;
  // Polled on the calling thread while the run lasts; true asks for a break.
  const std::atomic<bool>* break_request = nullptr;
  // The same as a question (the console's Ctrl-C); null: none.
  std::function<bool()> break_requested;
  // The script-debugging option: no debugger exists here, so asking for it
  // prints a notice and the run goes on without one.
  bool debug = false;
  // Stay in the caller's working folder (tidemark-script: relative file
  // arguments keep their meaning) instead of the script's folder.
  bool keep_directory = false;
  // The engine table; null: the built-in table and "engines.ini".
  const EngineTable* engines = nullptr;
  // Runs a deferred suspend after the run (hibernate, force); null: systemctl.
  std::function<bool(bool, bool)> suspend;
};

struct RunOutcome {
  bool started = false;    // false: refused before any thread started
  bool error = false;      // a script error, a failed start or a stop by break
  bool broken = false;     // ended by a break
  LONG exit_code = 0;      // Quit's code
  HRESULT hr = S_OK;       // the run's HRESULT
  Error app_error;         // the application error of a failed start
};

RunOutcome RunScript(const RunRequest& request);

// Stops the running script as the dialog's break command does: prints the
// break line, marks every run of the chain as stopping and interrupts their
// engines. False when no script runs. Any thread.
bool BreakRunningScript();

// ISystem.SetSuspendState without `immediate`: records the suspend for the
// end of the running script. False when no script runs.
bool RequestDeferredSuspend(bool hibernate, bool force);

// Whether a script runs in this process.
bool ScriptIsRunning();

// Formats VARIANT -> text as the console prints it (Echo).
HRESULT EchoText(const VARIANT& value, std::string* out);

}  // namespace tidemark::NS_SCRIPT
