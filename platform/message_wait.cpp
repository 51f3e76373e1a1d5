#include "platform/message_wait.h"

#include <algorithm>
#include <chrono>

namespace tidemark {
namespace {

using Clock = std::chrono::steady_clock;

// The same cap as the queue's wait: no finite wait overflows the clock.
constexpr std::int64_t kLongestWaitMs = 0xFFFFFFFE;

}  // namespace

void Event::Set() {
  std::vector<std::shared_ptr<MessageQueue>> watchers;
  {
    std::lock_guard lock(mutex_);
    set_ = true;
    watchers = watchers_;
    // Notified under the lock: a waiter that returns may destroy the event
    // at once, so nothing of it is touched after the unlock.
    cv_.notify_all();
  }
  // The queues' locks are taken outside the event's: a waiting thread holds
  // its queue's lock while it looks at the event.
  for (const auto& queue : watchers) queue->Wake();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::IsSet() {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::TryConsumeLocked() {
  if (!set_) return false;
  if (!manual_) set_ = false;
  return true;
}

bool Event::Wait(std::int64_t timeout_ms) {
  std::unique_lock lock(mutex_);
  const auto ready = [&] { return TryConsumeLocked(); };
  if (timeout_ms < 0) {
    cv_.wait(lock, ready);
    return true;
  }
  return cv_.wait_for(lock, std::chrono::milliseconds(std::min(timeout_ms, kLongestWaitMs)), ready);
}

WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms) {
  const std::shared_ptr<MessageQueue> queue = MessageQueue::ForThisThread();
  {
    std::lock_guard lock(event.mutex_);
    if (event.TryConsumeLocked()) return WaitResult::kEvent;
    event.watchers_.push_back(queue);
  }
  const WaitResult result = queue->WaitForSignalOrMessage(
      [&] {
        std::lock_guard lock(event.mutex_);
        return event.TryConsumeLocked();
      },
      timeout_ms);
  std::lock_guard lock(event.mutex_);
  std::erase(event.watchers_, queue);
  return result;
}

bool PumpUntil(Event& done, std::int64_t timeout_ms) {
  const std::shared_ptr<MessageQueue> queue = MessageQueue::ForThisThread();
  const bool limited = timeout_ms >= 0;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(limited ? std::min(timeout_ms, kLongestWaitMs) : 0);
  for (;;) {
    std::int64_t left = kInfinite;
    if (limited) {
      const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      left = std::max<std::int64_t>(remaining.count(), 0);
    }
    switch (WaitForEventOrMessage(done, left)) {
      case WaitResult::kEvent:
        return true;
      case WaitResult::kTimeout:
        return false;
      case WaitResult::kMessage:
        // One at a time, so a busy queue cannot hide the event, nor hold
        // the caller past its deadline.
        queue->PumpOne();
        if (limited && Clock::now() >= deadline) return WaitForEventOrMessage(done, 0) == WaitResult::kEvent;
        break;
    }
  }
}

}  // namespace tidemark
