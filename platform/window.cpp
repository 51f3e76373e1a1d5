#include "platform/window.h"

#include "platform/message_queue.h"

namespace tidemark {

Window::Window() : queue_(MessageQueue::ForThisThread()) { id_ = queue_->Register(this); }

Window::~Window() { queue_->Unregister(id_); }

MsgResult Window::Send(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  if (queue_->IsCurrent()) return Handle(msg, wparam, lparam);
  // Held for the call: the owner may destroy this window, and end, while
  // the send waits in its queue.
  const std::shared_ptr<MessageQueue> queue = queue_;
  return queue->SendFromOtherThread(id_, msg, wparam, lparam);
}

bool Window::Post(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  return queue_->Post(id_, msg, wparam, lparam);
}

}  // namespace tidemark
