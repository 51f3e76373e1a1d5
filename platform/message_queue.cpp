#include "platform/message_queue.h"

namespace tidemark {
namespace {

// The queue of the running thread, for IsCurrent; cleared before the queue
// can go away, so it never names a queue of another thread.
thread_local MessageQueue* current_queue = nullptr;

// Closes the thread's queue when the thread ends, so senders waiting on it
// are released and later messages are refused. The queue itself lives on
// while windows still refer to it.
struct ThreadQueueHolder {
  std::shared_ptr<MessageQueue> queue;
  ~ThreadQueueHolder() {
    current_queue = nullptr;
    if (queue) queue->Close();
  }
};

}  // namespace

std::shared_ptr<MessageQueue> MessageQueue::ForThisThread() {
  thread_local ThreadQueueHolder holder;
  if (!holder.queue) {
    holder.queue = std::make_shared<MessageQueue>(Key{});
    current_queue = holder.queue.get();
  }
  return holder.queue;
}

MessageQueue::~MessageQueue() { Close(); }

bool MessageQueue::IsCurrent() const { return current_queue == this; }

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
  // While waiting, serve what others send to this thread's windows (posts
  // wait for the next pump), so two threads sending to each other do not
  // block for good.
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
  // The record dies as soon as its sender sees `done`; keep its queue here.
  const std::shared_ptr<MessageQueue> sender = record->sender;
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
  // Windows are destroyed on this thread only, so the window found stays
  // alive for the whole call.
  return target ? target->Handle(msg, wparam, lparam) : 0;
}

bool MessageQueue::PumpOne() {
  if (!IsCurrent()) return false;
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

bool MessageQueue::IsClosed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

void MessageQueue::Wake() {
  // Taking the lock orders this wake after the waiter's last look at its
  // signal: either it saw the signal, or it is already waiting.
  { std::lock_guard lock(mutex_); }
  wake_.notify_all();
}

}  // namespace tidemark
