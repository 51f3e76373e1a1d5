// The console editor's entry point: tidemark-edit [FILE...] opens the files
// named on the command line, then reads commands from standard input, one
// a line: silently from a pipe; from a terminal with a prompt, line
// editing, a progress bar and the single-instance socket (a second
// interactive start hands its files to the first and exits).
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/console_instance.h"
#include "app/console_progress.h"
#include "app/console_session.h"
#include "app/console_startup.h"
#include "effects/analysis/weighting.h"
#include "effects/framework/effect_registry.h"
#include "formats/clip_image.h"
#include "formats/file_kind_table.h"

#if TIDEMARK_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace {

using namespace tidemark::console;

constexpr char kPrompt[] = "tidemark> ";

std::vector<std::string> AbsolutePaths(char** first, char** last) {
  std::vector<std::string> paths;
  for (char** p = first; p != last; ++p) {
    std::error_code ec;
    const std::filesystem::path a = std::filesystem::absolute(*p, ec);
    paths.push_back(ec ? std::string(*p) : a.lexically_normal().string());
  }
  return paths;
}

// Opens what a later start handed over.
void TakeHandedFiles(Session& session, InstanceServer& server) {
  std::vector<std::string> paths;
  if (server.Receive(&paths).ok() && !paths.empty()) session.OpenFiles(paths);
}

#if TIDEMARK_HAVE_READLINE
Session* g_session = nullptr;
bool g_done = false;

// Ends the edited input. Removing the handler inside the line callback keeps
// readline from showing the prompt once more after the last command.
void FinishInput(bool at_end_of_input) {
  g_done = true;
  ::rl_callback_handler_remove();
  if (at_end_of_input) std::cout << '\n';  // Ctrl-D leaves the cursor on the prompt line
}

void OnLine(char* text) {
  if (!text) return FinishInput(true);
  const std::string line = text;
  if (*text) ::add_history(text);
  std::free(text);
  if (g_session->Execute(line) == Result::kQuit) FinishInput(false);
}

// Reads edited lines while watching the instance socket.
int RunEdited(Session& session, InstanceServer& server) {
  g_session = &session;
  ::rl_callback_handler_install(kPrompt, OnLine);
  while (!g_done) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {server.fd(), POLLIN, 0}};
    const int n = ::poll(fds, server.listening() ? 2 : 1, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (server.listening() && (fds[1].revents & POLLIN)) {
      std::cout << '\n';
      TakeHandedFiles(session, server);
      ::rl_on_new_line();
      ::rl_redisplay();
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ::rl_callback_read_char();
  }
  if (!g_done) FinishInput(true);  // poll failed
  return session.ExitStatus();
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const StartupSettings startup = LoadStartupSettings();
  LoadStartupTexts();
  tidemark::InstallFileKinds();
  tidemark::InstallWaveClipboardLink();
  tidemark::EffectRegistry::Install();
  const bool interactive = ::isatty(STDIN_FILENO) == 1;
  const std::vector<std::string> files = AbsolutePaths(argv + 1, argv + argc);

  InstanceServer server;
  if (interactive) {
    bool held_elsewhere = false;
    const std::string name = InstanceSocketName();
    if (server.Listen(name, &held_elsewhere).ok() && held_elsewhere) {
      if (SendToInstance(name, files).ok()) {
        std::cout << Session::Format(tidemark::text::kConsoleAlreadyRunning, std::to_string(files.size())) << '\n';
        return 0;
      }
      // The other instance went away meanwhile: carry on alone.
    }
  }

  Session session(std::cout, std::cerr, interactive);
  session.set_open_options(startup.open);
  session.set_save_settings(startup.save);
  session.set_weighting(startup.weighting);
  tidemark::NS_EFFECT::SetProgramWeighting(startup.weighting);
  if (::isatty(STDERR_FILENO) == 1) session.set_progress(TerminalProgress());
  if (session.OpenFiles(files) == Result::kFailed && !interactive) return 1;
  if (!interactive) return session.Run(std::cin);
#if TIDEMARK_HAVE_READLINE
  return RunEdited(session, server);
#else
  return session.Run([&](std::string* line) {
    TakeHandedFiles(session, server);
    std::cout << kPrompt << std::flush;
    return static_cast<bool>(std::getline(std::cin, *line));
  });
#endif
}
