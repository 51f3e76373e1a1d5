// The progress bar of long work on a terminal and its cancelling with
// Ctrl-C: while a command runs, Ctrl-C asks the work to stop (the command
// then reports its cancel) instead of killing the program.
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/console_session.h"
#include "core/edit/stretch_render.h"
#include "effects/framework/progress_scope.h"

namespace tidemark::console {

// Passes a core render's progress to the session's progress callback,
// which may cancel it (Ctrl-C).
class ProgressObserver final : public RenderObserver {
 public:
  explicit ProgressObserver(const Session& s) : step_(s.progress()) {}
  void Progress(std::uint64_t done, std::uint64_t total) override {
    done_ = done;
    total_ = total;
  }
  bool Cancelled() override { return step_ && !step_(done_, total_); }

 private:
  const std::function<bool(std::uint64_t, std::uint64_t)>& step_;
  std::uint64_t done_ = 0, total_ = 0;
};

// "[#####               ]  25%" for `done` of `total` in `width` cells.
std::string ProgressBarText(std::uint64_t done, std::uint64_t total, int width = 30);

// Hooks that draw the bar on standard error and cancel on Ctrl-C. Installs
// the SIGINT handler that sets the cancel flag.
ProgressHooks TerminalProgress();

// The effects' progress window on the console: draws through the session's
// hooks ("Volume... [####      ]  40%") and passes their cancel (Ctrl-C) to
// the worker. The hooks must outlive the display.
class ConsoleProgressDisplay final : public ProgressDisplay {
 public:
  explicit ConsoleProgressDisplay(const ProgressHooks& hooks) : hooks_(hooks) {}
  void Show(std::string_view caption) override;
  void SetPercent(std::uint32_t percent) override;
  // Ends the bar's line, so that what the command prints next starts a line
  // of its own.
  void Hide() override;
  bool CancelRequested() override;

 private:
  const ProgressHooks& hooks_;
  std::atomic<bool> cancelled_{false};
};

// Puts `display` in force for the progress scopes made while it lives.
class ScopedProgressDisplay {
 public:
  explicit ScopedProgressDisplay(ProgressDisplay* display) : previous_(CurrentProgressDisplay()) {
    SetProgressDisplay(display);
  }
  ~ScopedProgressDisplay() { SetProgressDisplay(previous_); }
  ScopedProgressDisplay(const ScopedProgressDisplay&) = delete;
  ScopedProgressDisplay& operator=(const ScopedProgressDisplay&) = delete;

 private:
  ProgressDisplay* previous_;
};

}  // namespace tidemark::console
