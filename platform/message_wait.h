// Signals between threads, and the waits of a thread that must keep
// answering its windows' messages while it waits.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_queue.h"

namespace tidemark {

// A manual-reset event stays set until Reset; an auto-reset event is
// consumed by the one wait that sees it.
class Event {
 public:
  explicit Event(bool manual_reset = true) : manual_(manual_reset) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Looks without consuming.
  bool IsSet();
  // True when the event was set within the timeout (kInfinite: no limit).
  bool Wait(std::int64_t timeout_ms);

 private:
  friend WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms);
  bool TryConsumeLocked();

  const bool manual_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
  // Queues whose threads wait for this event in WaitForEventOrMessage.
  std::vector<std::shared_ptr<MessageQueue>> watchers_;
};

// Waits until `event` is set (consuming an auto-reset one), a message waits
// in the calling thread's queue, or the timeout passes (kInfinite: no
// limit). The event wins when both hold. Delivers nothing.
WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms);

// Keeps delivering the calling thread's messages, sent and posted, until
// `done` is set: how the user-interface thread waits for a worker that
// meanwhile sends to its windows. False when the timeout passed first.
// Messages still queued when `done` is seen stay queued.
bool PumpUntil(Event& done, std::int64_t timeout_ms = kInfinite);

}  // namespace tidemark
