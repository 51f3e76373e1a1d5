#include "app/console_progress.h"

#include <signal.h>

#include <cstdio>
#include <memory>

namespace tidemark::console {
namespace {

volatile sig_atomic_t g_cancel = 0;

void OnInterrupt(int) { g_cancel = 1; }

struct BarState {
  bool shown = false;
  int last_percent = -1;
  std::string caption;  // "" for work that names none
};

}  // namespace

std::string ProgressBarText(std::uint64_t done, std::uint64_t total, int width) {
  if (width < 1) width = 1;
  const std::uint64_t clamped = total == 0 ? 0 : (done > total ? total : done);
  const int percent = total == 0 ? 0 : static_cast<int>(clamped * 100 / total);
  const int cells = total == 0 ? 0 : static_cast<int>(clamped * std::uint64_t(width) / total);
  std::string text = "[";
  text.append(std::size_t(cells), '#');
  text.append(std::size_t(width - cells), ' ');
  char tail[8];
  std::snprintf(tail, sizeof tail, "] %3d%%", percent);
  return text + tail;
}

ProgressHooks TerminalProgress() {
  struct sigaction action{};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  auto state = std::make_shared<BarState>();
  ProgressHooks hooks;
  hooks.begin = [state] {
    g_cancel = 0;
    *state = BarState();
  };
  hooks.step = [state](std::uint64_t done, std::uint64_t total) {
    const int percent = total == 0 ? 0 : static_cast<int>((done > total ? total : done) * 100 / total);
    if (percent != state->last_percent) {
      state->last_percent = percent;
      state->shown = true;
      const std::string prefix = state->caption.empty() ? std::string() : state->caption + " ";
      std::fprintf(stderr, "\r%s%s", prefix.c_str(), ProgressBarText(done, total).c_str());
      std::fflush(stderr);
    }
    return g_cancel == 0;
  };
  hooks.end = [state] {
    if (state->shown) std::fputc('\n', stderr);
    state->shown = false;
    state->last_percent = -1;
    g_cancel = 0;
  };
  hooks.caption = [state](std::string_view caption) { state->caption = caption; };
  // Read by an effect's worker thread: the flag is only ever set whole.
  hooks.cancel_requested = [] { return g_cancel != 0; };
  return hooks;
}

void ConsoleProgressDisplay::Show(std::string_view caption) {
  if (hooks_.caption) hooks_.caption(caption);
  SetPercent(0);
}

void ConsoleProgressDisplay::SetPercent(std::uint32_t percent) {
  if (hooks_.step && !hooks_.step(percent, 100)) cancelled_.store(true);
}

void ConsoleProgressDisplay::Hide() {
  if (hooks_.end) hooks_.end();
}

bool ConsoleProgressDisplay::CancelRequested() {
  if (cancelled_.load()) return true;
  return hooks_.cancel_requested && hooks_.cancel_requested();
}

}  // namespace tidemark::console
