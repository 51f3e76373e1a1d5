// The console's `script COMMANDLINE`: runs a script against the session's
// open documents (Application.Documents sees them; documents the script
// opens stay open in the session). The command line is split as the
// script dialog splits it: a path (in double quotes when it holds blanks),
// then the argument string, whose %NAME% references are expanded before it
// is split into arguments. The script runs in its own folder. Ctrl-C
// breaks it.
#include <mutex>
#include <string>

#include "app/console_automation_host.h"
#include "app/console_commands.h"
#include "app/console_session.h"
#include "automation/model/model_objects.h"
#include "automation/script/script_arguments.h"
#include "automation/script/script_host.h"
#include "config/text_slots.h"

namespace tidemark::console {
namespace {

class SessionConsole final : public NS_SCRIPT::ScriptConsole {
 public:
  explicit SessionConsole(Session& s) : session_(s) {}
  void Write(NS_SCRIPT::ConsoleStream stream, std::string_view text) override {
    std::lock_guard lock(mutex_);
    std::ostream& os = stream == NS_SCRIPT::ConsoleStream::kOut ? session_.out() : session_.err();
    os << text << std::flush;
  }

 private:
  Session& session_;
  std::mutex mutex_;
};

// The words of the command put back into one line; a word with blanks was
// quoted when typed and is quoted again.
std::string JoinWords(const CommandArgs& args) {
  std::string line;
  for (const std::string& a : args) {
    if (!line.empty()) line += ' ';
    if (a.find_first_of(" \t") != std::string::npos) line += '"' + a + '"';
    else line += a;
  }
  return line;
}

}  // namespace

Result ScriptCommand(Session& s, const CommandArgs& args) {
  const std::optional<NS_SCRIPT::CommandLine> line = NS_SCRIPT::SplitCommandLine(JoinWords(args));
  if (!line) return s.Fail(text::kScriptPopupNoPath);
  ConsoleAutomationHost host(s);
  SessionConsole console(s);
  com::ComRef<NS_SCRIPT::CApp> app;
  NS_SCRIPT::RunRequest request;
  request.path = line->path;
  request.arguments = NS_SCRIPT::SplitArguments(NS_SCRIPT::ExpandEnvironment(line->arguments));
  request.console = &console;
  request.make_application = [&] {
    app = NS_SCRIPT::CApp::Create(host);
    return app ? com::ComRef<com::IDispatch>::Share(app->dispatch()) : com::ComRef<com::IDispatch>();
  };
  request.end_application = [&] { app = {}; };
  if (s.progress_hooks().cancel_requested) request.break_requested = s.progress_hooks().cancel_requested;
  const NS_SCRIPT::RunOutcome outcome = NS_SCRIPT::RunScript(request);
  return outcome.error ? Result::kFailed : Result::kDone;
}

}  // namespace tidemark::console
