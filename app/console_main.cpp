// The console editor's entry point:
//   tidemark [--workspace] [--] [FILE...]
// opens the files named on the command line, then reads commands from
// standard input, one a line: silently from a pipe; from a terminal with a
// prompt, line editing, a progress bar and the single-instance socket (a
// second interactive start hands its files to the first and exits).
// "--workspace" (the one option; "--" ends options, for file names that
// begin with "-") makes any run restore and keep the workspace; see
// app/console_workspace.h for which runs keep it otherwise.
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/console_commands.h"
#include "app/console_instance.h"
#include "app/console_progress.h"
#include "app/console_session.h"
#include "app/console_startup.h"
#include "app/console_workspace.h"
#include "config/code_page_choice.h"
#include "config/error_messages.h"
#include "config/option_bits.h"
#include "config/text_catalogue.h"
#include "config/text_slots_settings.h"
#include "core/io/work_folder.h"
#include "platform/clipboard.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "platform/window.h"
#include "effects/analysis/weighting.h"
#include "effects/framework/effect_registry.h"
#include "formats/clip_image.h"
#include "codecs/codec_install.h"
#include "formats/file_kind_table.h"

#if TIDEMARK_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace {

using namespace tidemark::console;

constexpr char kPrompt[] = "tidemark> ";

// The command line: the option, then file paths made absolute. A path
// over the system's limit is reported (error 25) and left out.
struct CommandLine {
  bool workspace = false;
  std::vector<std::string> files;
  bool bad_path = false;
};

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
      continue;
    }
    if (options && arg == "--workspace") {
      line.workspace = true;
      continue;
    }
    std::error_code ec;
    const std::filesystem::path a = std::filesystem::absolute(arg, ec);
    std::string path = ec ? arg : a.lexically_normal().string();
    if (path.size() >= PATH_MAX) {
      std::cerr << "error: " << tidemark::DescribeError(tidemark::err::kCannotOpen) << " (" << arg.substr(0, 64)
                << "...)\n";
      line.bad_path = true;
      continue;
    }
    line.files.push_back(std::move(path));
  }
  return line;
}

// The main frame of the console: its status lines become notices.
class NoticeFrame final : public tidemark::Window {
 public:
  explicit NoticeFrame(std::ostream& out) : out_(out) {}

 protected:
  tidemark::MsgResult Handle(std::uint32_t msg, tidemark::MsgParam, tidemark::MsgParam lparam) override {
    if (msg == tidemark::frame_msg::kStatusText && lparam)
      out_ << "notice: " << reinterpret_cast<const char*>(lparam) << '\n';
    return 0;
  }

 private:
  std::ostream& out_;
};

// Asks a yes/no question on the terminal; nothing at the end of input.
std::optional<bool> AskOnTerminal(std::string_view question) {
  for (;;) {
    std::cout << question << " [y/n] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return std::nullopt;
    if (answer == "y" || answer == "yes" || answer == "Y") return true;
    if (answer == "n" || answer == "no" || answer == "N") return false;
  }
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
    // A Ctrl-C since the last look (in the wait or while a key was read).
    if (InterruptBackgroundRecording(session)) {
      ::rl_on_new_line();
      ::rl_redisplay();
    }
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
  const CommandLine command_line = ParseCommandLine(argc, argv);
  // The code page first: the catalogue and the settings are read in it.
  (void)tidemark::DecideProcessNarrowCodePage();
  IgnoreFileSizeSignal();
  LoadStartupTexts();
  StartupSettings startup = LoadStartupSettings();
  tidemark::InstallFileKinds();
  tidemark::InstallCodecs();
  tidemark::InstallWaveClipboardLink();
  // Without $XDG_RUNTIME_DIR the clipboard file goes to the working folder,
  // never into the folder the program was started from.
  if (std::string folder; tidemark::EnsureWorkFolder(&folder).ok()) tidemark::SetClipboardFallbackFolder(folder);
  tidemark::EffectRegistry::Install();
  const bool interactive = ::isatty(STDIN_FILENO) == 1;
  const std::vector<std::string>& files = command_line.files;

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
  } else if (command_line.workspace) {
    // A kept workspace belongs to one running editor: a piped run does not
    // hand its files over, it refuses.
    bool held_elsewhere = false;
    InstanceServer probe;
    if (probe.Listen(InstanceSocketName(), &held_elsewhere).ok() && held_elsewhere) {
      std::string folder;
      (void)tidemark::WorkFolder(&folder);
      std::cerr << "error: " << Session::Format(tidemark::text::kProjectInUse, folder) << '\n';
      return 1;
    }
  }

  ApplyThreadSetting(startup.settings.omp_num_threads);
  (void)SaveSessionSettings(startup.settings, false);
  Session session(std::cout, std::cerr, interactive);
  NoticeFrame frame(std::cout);
  tidemark::SetMainFrame(&frame);
  session.set_open_options(startup.open);
  session.set_save_settings(startup.save);
  session.set_weighting(startup.weighting);
  tidemark::NS_EFFECT::SetProgramWeighting(startup.weighting);
  if (::isatty(STDERR_FILENO) == 1) session.set_progress(TerminalProgress());

  const RunKind kind = command_line.workspace ? RunKind::kWorkspace
                       : interactive           ? RunKind::kInteractive
                                               : RunKind::kOther;
  SessionWorkspace workspace(
      session,
      PolicyFor(kind, startup.settings.Option(tidemark::OptionBit::kKeepWorkspace),
                startup.settings.Option(tidemark::OptionBit::kConfirmations),
                startup.settings.Option(tidemark::OptionBit::kWorkspaceAutosave)),
      interactive ? SessionWorkspace::Asker(AskOnTerminal) : SessionWorkspace::Asker());
  if (interactive) {
    session.set_detach_confirm([](std::uint64_t bytes) {
      const std::string question = std::string(tidemark::UiText(tidemark::text::kSettingsBasicConfirmLargeCopy)) +
                                   " (" + std::to_string(bytes >> 20) + " MiB)?";
      return AskOnTerminal(question).value_or(false);
    });
  }
  workspace.Start();
  // A console command that changes a setting saves it at once, so that a
  // crash does not lose it; the autosave of the workspace runs first.
  session.set_after_command([&] {
    workspace.AfterCommand();
    (void)SaveSessionSettings(startup.settings, false);
  });

  int status = 0;
  const Result opened = session.OpenFiles(files);
  if ((opened == Result::kFailed || command_line.bad_path) && !interactive) {
    status = 1;
  } else if (!interactive) {
    status = session.Run(std::cin);
  } else {
#if TIDEMARK_HAVE_READLINE
    status = RunEdited(session, server);
#else
    status = session.Run([&](std::string* line) {
      TakeHandedFiles(session, server);
      std::cout << kPrompt << std::flush;
      return static_cast<bool>(std::getline(std::cin, *line));
    });
#endif
  }
  workspace.Finish();
  if (const tidemark::Error rc = SaveSessionSettings(startup.settings, true))
    std::cerr << "error: " << tidemark::DescribeError(rc) << '\n';
  tidemark::SetMainFrame(nullptr);
  return status;
}
