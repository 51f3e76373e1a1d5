// The message queue of one thread: what other threads post or send to the
// windows that thread created, delivered when the thread pumps. Events and
// the waits that wake for an event or for a message stand beside it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/window.h"

namespace tidemark {

class Event;

enum class WaitResult { kEvent, kMessage, kTimeout };
WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms);

class MessageQueue {
 public:
  // The calling thread's queue, created on first use and closed when the
  // thread ends.
  static std::shared_ptr<MessageQueue> ForThisThread();

  MessageQueue();
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  std::thread::id owner() const { return owner_; }

  // Delivers one waiting message (sent ones first); false when none waits.
  // Owner thread only.
  bool PumpOne();
  // Delivers everything that is waiting now, and what arrives meanwhile.
  void PumpPending();
  bool HasMessages();

  // Refuses further messages, drops the posted ones and releases every
  // blocked sender with the answer 0.
  void Close();

 private:
  friend class Window;
  friend class Event;
  friend WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms);

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
    bool done = false;                    // guarded by sender->mutex_
    std::shared_ptr<MessageQueue> sender;  // whose condition wakes the sender
  };

  std::uint64_t Register(Window* window);
  void Unregister(std::uint64_t id);
  bool Post(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam);
  MsgResult SendFromOtherThread(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam);
  // Hands a handled (or refused) send back to its sender.
  static void Complete(SendRecord* record, MsgResult result);
  MsgResult Deliver(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam);
  // With mutex_ held: a message is waiting.
  bool HasMessagesLocked() const { return !sends_.empty() || !posts_.empty(); }
  // Wakes a thread waiting in this queue (for an event it watches).
  void Wake();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Posted> posts_;
  std::deque<SendRecord*> sends_;
  bool closed_ = false;
  std::thread::id owner_;
  std::uint64_t next_id_ = 1;
  // Windows are created and destroyed on the owner thread; other threads
  // only look them up under the lock.
  std::unordered_map<std::uint64_t, Window*> windows_;
};

// A signal between threads. A manual-reset event stays set until Reset; an
// auto-reset event is consumed by the one wait that sees it.
class Event {
 public:
  explicit Event(bool manual_reset = true) : manual_(manual_reset) {}
  void Set();
  void Reset();
  bool IsSet();
  // True when the event was set within the timeout (negative: no limit).
  bool Wait(std::int64_t timeout_ms);

 private:
  friend WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms);
  bool TryConsume();  // with mutex_ held

  const bool manual_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
  std::vector<std::shared_ptr<MessageQueue>> watchers_;  // queues waiting in WaitForEventOrMessage
};

// Waits until `event` is set or a message arrives in the calling thread's
// queue (whichever comes first; the event wins when both hold), or until
// the timeout passes (negative: no limit).
WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms);

// Keeps delivering the calling thread's messages until `done` is set: how
// the user-interface thread waits for a worker that meanwhile sends to its
// windows.
void PumpUntil(Event& done);

}  // namespace tidemark
