#include "effects/framework/progress_scope.h"

#include <cstdio>
#include <thread>

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "platform/error_numbers.h"
#include "platform/message_wait.h"
#include "platform/ui_messages.h"
#include "platform/window.h"
#include "platform/worker_thread.h"

namespace tidemark {

namespace {

ProgressDisplay* g_display = nullptr;

// The progress window's one message: wparam the new percent.
constexpr std::uint32_t kProgressPercent = kWmApp + 0x40;

// Receives the worker's progress on the scope owner's thread.
class ProgressWindow : public Window {
 public:
  explicit ProgressWindow(std::function<void(std::uint32_t)> on_percent) : on_percent_(std::move(on_percent)) {}

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam) override {
    if (msg == kProgressPercent) on_percent_(static_cast<std::uint32_t>(wparam));
    return 0;
  }

 private:
  std::function<void(std::uint32_t)> on_percent_;
};

// The catalogue's "Time taken" line with its one %.1f filled; the built-in
// text when a language file lacks the placeholder.
std::string TimeTakenText(double seconds) {
  char number[32];
  std::snprintf(number, sizeof number, "%.1f", seconds);
  std::string text(UiText(text::kStatusTimeTaken));
  std::size_t at = text.find("%.1f");
  if (at == std::string::npos || text.find('%', at + 4) != std::string::npos) {
    text = "Time taken: %.1f sec.";
    at = text.find("%.1f");
  }
  return text.replace(at, 4, number);
}

}  // namespace

void SetProgressDisplay(ProgressDisplay* display) { g_display = display; }
ProgressDisplay* CurrentProgressDisplay() { return g_display; }

std::uint32_t ProgressPercent(std::uint64_t done, std::uint64_t total) {
  if (done > 42949672u) {
    done /= 100;
    total /= 100;
  }
  if (total == 0) return 0;
  return static_cast<std::uint32_t>(done * 100 / total);
}

ProgressScope::ProgressScope(ProgressDisplay* display) : display_(display) {}

ProgressScope::~ProgressScope() {
  if (visible_ && display_) display_->Hide();
}

void ProgressScope::SetCaption(std::string caption) { caption_ = std::move(caption); }

bool ProgressScope::Cancelled() {
  if (!cancelled_.load() && display_ && display_->CancelRequested()) cancelled_.store(true);
  return cancelled_.load();
}

void ProgressScope::Update(std::uint64_t done, std::uint64_t total) {
  const std::uint32_t percent = ProgressPercent(done, total);
  if (percent == last_percent_) return;
  last_percent_ = percent;
  if (window_) window_->Send(kProgressPercent, percent, 0);
}

void ProgressScope::Deliver(std::uint32_t percent) {
  if (!display_) return;
  if (!visible_ && std::chrono::steady_clock::now() - started_ >= show_delay_) {
    display_->Show(caption_);
    visible_ = true;
  }
  if (visible_) display_->SetPercent(percent);
}

Error ProgressScope::RunWorker(const std::function<Error(ProgressScope&)>& work) {
  started_ = std::chrono::steady_clock::now();
  last_percent_ = 0xFFFFFFFFu;
  ProgressWindow window([this](std::uint32_t percent) { Deliver(percent); });
  window_ = &window;
  Event done;
  Error result = err::kOk;
  std::thread worker;
  if (const Error rc = StartWorkerThread(
          [&] {
            result = work(*this);
            done.Set();
          },
          &worker)) {
    window_ = nullptr;
    return rc;
  }
  PumpUntil(done);
  worker.join();
  window_ = nullptr;
  if (!result && Cancelled()) return err::kCancelled;
  if (!result && visible_) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const std::string text = TimeTakenText(seconds);
    if (Window* frame = MainFrame())
      frame->Send(frame_msg::kStatusText, 0, reinterpret_cast<MsgParam>(text.c_str()));
  }
  return result;
}

}  // namespace tidemark
