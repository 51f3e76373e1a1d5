// Long work with progress and cancel: the caller's thread starts the work on
// a worker thread of below-normal priority and keeps answering its windows'
// messages until the worker ends; the worker reports progress after each
// block and reads the cancel flag.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

class Window;

// What the user sees: the progress window of the main frame. Show, SetPercent
// and Hide run on the thread that owns the scope; CancelRequested may be
// asked from any thread.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void Show(std::string_view caption) = 0;
  virtual void SetPercent(std::uint32_t percent) = 0;
  virtual void Hide() = 0;
  virtual bool CancelRequested() = 0;
};

// The display progress scopes use unless given one; none by default (then
// nothing is shown and nothing cancels).
void SetProgressDisplay(ProgressDisplay* display);
ProgressDisplay* CurrentProgressDisplay();

// done x 100 / total, both divided by 100 first when done exceeds 42949672
// (so the product fits 32 bits). 0 for a total of 0.
std::uint32_t ProgressPercent(std::uint64_t done, std::uint64_t total);

// The progress window becomes visible this long after the work started.
inline constexpr std::chrono::milliseconds kProgressShowDelay{500};

class ProgressScope {
 public:
  explicit ProgressScope(ProgressDisplay* display = CurrentProgressDisplay());
  ~ProgressScope();
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  // Runs `work` on a worker thread while this thread pumps its messages, and
  // answers its result: 39 when the thread cannot be created; 0 becomes
  // 0xFFFFFFFF when the cancel flag was set. When the window had become
  // visible, the main frame's status line then shows the time taken.
  [[nodiscard]] Error RunWorker(const std::function<Error(ProgressScope&)>& work);

  // Worker side. The caption is the run's name followed by "...".
  void SetCaption(std::string caption);
  // Reports `done` of `total`; the window hears only a changed percent.
  void Update(std::uint64_t done, std::uint64_t total);
  // The cancel flag (set by the user through the display, or by Cancel).
  bool Cancelled();
  void Cancel() { cancelled_.store(true); }

  bool became_visible() const { return visible_; }
  // How long after the start the window becomes visible (kProgressShowDelay
  // unless changed; tests use 0 or a delay no run reaches).
  void set_show_delay(std::chrono::milliseconds delay) { show_delay_ = delay; }

 private:
  void Deliver(std::uint32_t percent);

  ProgressDisplay* display_;
  std::atomic<bool> cancelled_{false};
  std::uint32_t last_percent_ = 0xFFFFFFFFu;  // worker side
  std::string caption_;
  bool visible_ = false;  // owner side
  std::chrono::milliseconds show_delay_ = kProgressShowDelay;
  std::chrono::steady_clock::time_point started_;
  Window* window_ = nullptr;  // the owner thread's receiver while a worker runs
};

}  // namespace tidemark
