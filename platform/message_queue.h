// The message queue of one thread: what other threads post or send to the
// windows that thread created, delivered when the thread pumps.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/window.h"

namespace tidemark {

// A timeout that never passes.
inline constexpr std::int64_t kInfinite = -1;

// Why a wait for a signal or a message ended.
enum class WaitResult { kEvent, kMessage, kTimeout };

class MessageQueue {
  struct Key {
    explicit Key() = default;
  };

 public:
  // The calling thread's queue, created on first use and closed when the
  // thread ends.
  static std::shared_ptr<MessageQueue> ForThisThread();

  explicit MessageQueue(Key) {}
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // True on the thread this queue belongs to (and only while it lives).
  bool IsCurrent() const;

  // Delivers one waiting message, sent ones before posted ones; false when
  // none waits. Delivers nothing when called on another thread.
  bool PumpOne();
  // Delivers what is waiting, and what arrives meanwhile, until none waits.
  void PumpPending();
  bool HasMessages();

  // Refuses further messages, drops the posted ones and releases every
  // blocked sender with the answer 0. Windows of this thread still answer
  // sends made on the thread itself.
  void Close();
  bool IsClosed();

  // Blocks until `signalled()` holds, a message is waiting or the timeout
  // passes (kInfinite: no limit). `signalled` runs with the queue's lock
  // held, so whoever makes it true must call Wake afterwards; a signal that
  // is already true when both hold wins over the message.
  template <typename Signalled>
  WaitResult WaitForSignalOrMessage(Signalled signalled, std::int64_t timeout_ms);
  // Makes a thread blocked in WaitForSignalOrMessage look at its signal again.
  void Wake();

 private:
  friend class Window;

  struct Posted {
    std::uint64_t window;
    std::uint32_t msg;
    MsgParam wparam, lparam;
  };
  // Lives on the sender's stack until `done`.
  struct SendRecord {
    std::uint64_t window;
    std::uint32_t msg;
    MsgParam wparam, lparam;
    MsgResult result = 0;
    bool done = false;                     // guarded by sender->mutex_
    std::shared_ptr<MessageQueue> sender;  // whose condition wakes the sender
  };

  std::uint64_t Register(Window* window);
  void Unregister(std::uint64_t id);
  bool Post(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam);
  // Called on a thread other than the owner; blocks until answered.
  MsgResult SendFromOtherThread(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam);
  // Hands a handled (or refused) send back to its sender.
  static void Complete(SendRecord* record, MsgResult result);
  // Owner thread only: runs the window's handler, or answers 0 when the
  // window is gone.
  MsgResult Deliver(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam);
  bool HasMessagesLocked() const { return !sends_.empty() || !posts_.empty(); }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Posted> posts_;
  std::deque<SendRecord*> sends_;
  bool closed_ = false;
  std::uint64_t next_id_ = 1;
  // Windows are created and destroyed on the owner thread; other threads
  // only look them up under the lock. Ids are never reused, so a message
  // for a destroyed window cannot reach a new one at the same address.
  std::unordered_map<std::uint64_t, Window*> windows_;
};

template <typename Signalled>
WaitResult MessageQueue::WaitForSignalOrMessage(Signalled signalled, std::int64_t timeout_ms) {
  WaitResult result = WaitResult::kTimeout;
  const auto ready = [&] {
    if (signalled()) {
      result = WaitResult::kEvent;
      return true;
    }
    if (HasMessagesLocked()) {
      result = WaitResult::kMessage;
      return true;
    }
    return false;
  };
  std::unique_lock lock(mutex_);
  if (timeout_ms < 0) {
    wake_.wait(lock, ready);
  } else {
    // Capped at the longest finite wait a 32-bit millisecond count can ask
    // for (just under 50 days); far longer ones would overflow the clock.
    wake_.wait_for(lock, std::chrono::milliseconds(std::min<std::int64_t>(timeout_ms, 0xFFFFFFFE)), ready);
  }
  return result;
}

}  // namespace tidemark
