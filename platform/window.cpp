#include "platform/window.h"

#include <thread>

#include "platform/message_queue.h"

namespace tidemark {

Window::Window() : queue_(MessageQueue::ForThisThread()) { id_ = queue_->Register(this); }

Window::~Window() { queue_->Unregister(id_); }

MsgResult Window::Send(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  if (std::this_thread::get_id() == queue_->owner()) return Handle(msg, wparam, lparam);
  return queue_->SendFromOtherThread(id_, msg, wparam, lparam);
}

bool Window::Post(std::uint32_t msg, MsgParam wparam, MsgParam lparam) {
  return queue_->Post(id_, msg, wparam, lparam);
}

}  // namespace tidemark
