// The script host without the interactive editor:
//   tidemark-script SCRIPT [ARGS...]
// runs SCRIPT against an application object of its own (documents the
// script opens are its own; no single-instance lock). Each ARG is one
// argument as the shell passed it: not split again, and %NAME% is not
// expanded (the shell already expanded $NAME). The script runs in the
// caller's working folder, so relative file arguments keep their meaning
// (the editor's `script` command runs in the script's folder instead).
// Streams: Echo and StdOut, and the exit line, go to standard output;
// StdErr, the "*** ERROR ***" report and the "*** BREAK ***" line go to
// standard error, so that a shell pipeline keeps data and diagnostics
// apart. Exit status: the script's Quit code, 1 after a script error, a
// break or a refused start.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "app/console_automation_host.h"
#include "app/console_session.h"
#include "app/console_startup.h"
#include "automation/model/model_objects.h"
#include "automation/script/script_host.h"
#include "codecs/codec_install.h"
#include "config/code_page_choice.h"
#include "effects/analysis/weighting.h"
#include "effects/framework/effect_registry.h"
#include "formats/file_kind_table.h"

namespace {

std::atomic<bool> g_break{false};

extern "C" void OnInterrupt(int) { g_break.store(true); }

class StdConsole final : public tidemark::NS_SCRIPT::ScriptConsole {
 public:
  void Write(tidemark::NS_SCRIPT::ConsoleStream stream, std::string_view text) override {
    std::lock_guard lock(mutex_);
    std::FILE* f = stream == tidemark::NS_SCRIPT::ConsoleStream::kOut ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
  }

 private:
  std::mutex mutex_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tidemark;
  using namespace tidemark::console;
  if (argc < 2) {
    std::cerr << "usage: tidemark-script SCRIPT [ARGS...]\n";
    return 2;
  }
  (void)DecideProcessNarrowCodePage();
  IgnoreFileSizeSignal();
  LoadStartupTexts();
  StartupSettings startup = LoadStartupSettings();
  InstallFileKinds();
  InstallCodecs();
  EffectRegistry::Install();

  Session session(std::cout, std::cerr, false);
  session.set_open_options(startup.open);
  session.set_save_settings(startup.save);
  session.set_weighting(startup.weighting);
  NS_EFFECT::SetProgramWeighting(startup.weighting);
  ConsoleAutomationHost host(session);

  struct sigaction action = {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);

  StdConsole console;
  com::ComRef<NS_SCRIPT::CApp> app;
  NS_SCRIPT::RunRequest request;
  request.path = argv[1];
  for (int i = 2; i < argc; ++i) request.arguments.emplace_back(argv[i]);
  request.console = &console;
  request.make_application = [&] {
    app = NS_SCRIPT::CApp::Create(host);
    return app ? com::ComRef<com::IDispatch>::Share(app->dispatch()) : com::ComRef<com::IDispatch>();
  };
  request.end_application = [&] { app = {}; };
  request.break_request = &g_break;
  request.keep_directory = true;
  const NS_SCRIPT::RunOutcome outcome = NS_SCRIPT::RunScript(request);
  if (outcome.error || !outcome.started) return 1;
  return static_cast<int>(outcome.exit_code);
}
