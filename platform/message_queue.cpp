#include "platform/message_queue.h"

#include <chrono>

namespace tidemark {
namespace {

// Closes the thread's queue when the thread ends, so senders waiting on it
// are released and later messages are refused.
struct ThreadQueueHolder {
  std::shared_ptr<MessageQueue> queue;
  ~ThreadQueueHolder() {
    if (queue) queue->Close();
  }
};

template <typename Predicate>
bool WaitOn(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, std::int64_t timeout_ms,
            Predicate ready) {
  if (timeout_ms < 0) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

}  // namespace

std::shared_ptr<MessageQueue> MessageQueue::ForThisThread() {
  thread_local ThreadQueueHolder holder;
  if (!holder.queue) holder.queue = std::make_shared<MessageQueue>();
  return holder.queue;
}

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {}

MessageQueue::~MessageQueue() { Close(); }

std::uint64_t MessageQueue::Register(Window* window) {
  std::lock_guard lock(mutex_);
  const std::uint64_t id = next_id_++;
  windows_.emplace(id, window);
  return id;
}

void MessageQueue::Unregister(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  windows_.erase(id);
}

bool MessageQueue::Post(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    posts_.push_back({window, msg, wparam, lparam});
  }
  wake_.notify_all();
  return true;
}

MsgResult MessageQueue::SendFromOtherThread(std::uint64_t window, std::uint32_t msg, MsgParam wparam,
                                            MsgParam lparam) {
  const std::shared_ptr<MessageQueue> own = ForThisThread();
  SendRecord record{window, msg, wparam, lparam, 0, false, own};
  {
    std::lock_guard lock(mutex_);
    if (closed_) return 0;
    sends_.push_back(&record);
  }
  wake_.notify_all();
  // While waiting, serve what others send to this thread's windows, so two
  // threads sending to each other do not block for good.
  std::unique_lock lock(own->mutex_);
  while (!record.done) {
    if (!own->sends_.empty()) {
      SendRecord* incoming = own->sends_.front();
      own->sends_.pop_front();
      lock.unlock();
      Complete(incoming, own->Deliver(incoming->window, incoming->msg, incoming->wparam, incoming->lparam));
      lock.lock();
      continue;
    }
    own->wake_.wait(lock);
  }
  return record.result;
}

void MessageQueue::Complete(SendRecord* record, MsgResult result) {
  const std::shared_ptr<MessageQueue> sender = record->sender;  // the record dies once done is seen
  {
    std::lock_guard lock(sender->mutex_);
    record->result = result;
    record->done = true;
  }
  sender->wake_.notify_all();
}

MsgResult MessageQueue::Deliver(std::uint64_t window, std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  Window* target = nullptr;
  {
    std::lock_guard lock(mutex_);
    const auto it = windows_.find(window);
    if (it != windows_.end()) target = it->second;
  }
  // Windows are destroyed on this thread only, so the window found is alive
  // for the whole call.
  return target ? target->Handle(msg, wparam, lparam) : 0;
}

bool MessageQueue::PumpOne() {
  std::unique_lock lock(mutex_);
  if (!sends_.empty()) {
    SendRecord* record = sends_.front();
    sends_.pop_front();
    lock.unlock();
    Complete(record, Deliver(record->window, record->msg, record->wparam, record->lparam));
    return true;
  }
  if (!posts_.empty()) {
    const Posted p = posts_.front();
    posts_.pop_front();
    lock.unlock();
    Deliver(p.window, p.msg, p.wparam, p.lparam);
    return true;
  }
  return false;
}

void MessageQueue::PumpPending() {
  while (PumpOne()) {
  }
}

bool MessageQueue::HasMessages() {
  std::lock_guard lock(mutex_);
  return HasMessagesLocked();
}

void MessageQueue::Close() {
  std::deque<SendRecord*> pending;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    posts_.clear();
    pending.swap(sends_);
  }
  for (SendRecord* record : pending) Complete(record, 0);
  wake_.notify_all();
}

void MessageQueue::Wake() {
  // Taking the lock orders this wake after a waiter's last look at the event.
  { std::lock_guard lock(mutex_); }
  wake_.notify_all();
}

void Event::Set() {
  std::vector<std::shared_ptr<MessageQueue>> watchers;
  {
    std::lock_guard lock(mutex_);
    set_ = true;
    watchers = watchers_;
  }
  // Outside the event's lock: a waiter holds its queue's lock while it looks
  // at the event.
  for (const auto& q : watchers) q->Wake();
  cv_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::IsSet() {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::TryConsume() {
  if (!set_) return false;
  if (!manual_) set_ = false;
  return true;
}

bool Event::Wait(std::int64_t timeout_ms) {
  std::unique_lock lock(mutex_);
  return WaitOn(cv_, lock, timeout_ms, [&] { return TryConsume(); });
}

WaitResult WaitForEventOrMessage(Event& event, std::int64_t timeout_ms) {
  const std::shared_ptr<MessageQueue> queue = MessageQueue::ForThisThread();
  {
    std::lock_guard lock(event.mutex_);
    if (event.TryConsume()) return WaitResult::kEvent;
    event.watchers_.push_back(queue);
  }
  WaitResult result = WaitResult::kTimeout;
  {
    std::unique_lock lock(queue->mutex_);
    WaitOn(queue->wake_, lock, timeout_ms, [&] {
      {
        std::lock_guard event_lock(event.mutex_);
        if (event.TryConsume()) {
          result = WaitResult::kEvent;
          return true;
        }
      }
      if (queue->HasMessagesLocked()) {
        result = WaitResult::kMessage;
        return true;
      }
      return false;
    });
  }
  std::lock_guard lock(event.mutex_);
  std::erase(event.watchers_, queue);
  return result;
}

void PumpUntil(Event& done) {
  const std::shared_ptr<MessageQueue> queue = MessageQueue::ForThisThread();
  while (WaitForEventOrMessage(done, -1) != WaitResult::kEvent) queue->PumpPending();
}

}  // namespace tidemark
