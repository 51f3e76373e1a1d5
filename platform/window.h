// Windows of the user interface as message receivers. Each window belongs to
// the thread that created it; that thread's message queue delivers what other
// threads send or post to it.
#pragma once

#include <cstdint>
#include <memory>

namespace tidemark {

using MsgParam = std::uintptr_t;
using MsgResult = std::intptr_t;

// Private messages are counted from here.
inline constexpr std::uint32_t kWmApp = 0x8000;

class MessageQueue;

class Window {
 public:
  // Binds the window to the calling thread's queue (created on first use).
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Delivers a message and returns the handler's answer. On the window's own
  // thread the handler runs at once; from another thread the message waits in
  // the owner's queue and the caller blocks until the owner has handled it
  // (0 when the owner's queue has closed).
  MsgResult Send(std::uint32_t msg, MsgParam wparam, MsgParam lparam);

  // Queues a message for the owner's thread and returns at once; false when
  // the owner's queue has closed.
  bool Post(std::uint32_t msg, MsgParam wparam, MsgParam lparam);

 protected:
  // Runs on the owner's thread.
  virtual MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) = 0;

 private:
  friend class MessageQueue;
  std::shared_ptr<MessageQueue> queue_;
  std::uint64_t id_ = 0;  // the queue's name for this window; never reused
};

}  // namespace tidemark
