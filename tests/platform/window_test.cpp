// The message layer: sends on the owner thread and across threads, posts in
// order, windows that go away with messages queued, closed queues, the waits
// and the pump-until-done loop; and the headless windows answering through it.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/headless_editor_window.h"
#include "platform/message_queue.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

// Guards against a hang: a test that would block for good fails instead.
constexpr std::int64_t kDeadlockMs = 20000;

class Counter : public Window {
 public:
  std::vector<std::uint32_t> seen;
  std::thread::id handled_on;
  Window* forward_to = nullptr;

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam w, MsgParam) override {
    seen.push_back(msg);
    handled_on = std::this_thread::get_id();
    // Answers a send by sending on to another window first, if asked to.
    if (forward_to) return forward_to->Send(msg + 1, w, 0) + 1;
    return static_cast<MsgResult>(w * 2);
  }
};

// A thread that owns windows and pumps its queue until told to stop.
class PumpThread {
 public:
  template <typename Make>
  explicit PumpThread(Make make) {
    std::promise<void> ready;
    thread_ = std::thread([&, make] {
      make();
      ready.set_value();
      PumpUntil(stop_);
      MessageQueue::ForThisThread()->PumpPending();
    });
    ready.get_future().wait();
  }
  ~PumpThread() {
    stop_.Set();
    thread_.join();
  }

 private:
  Event stop_;
  std::thread thread_;
};

TEST(MessageLayer, SendsRunOnTheOwnerThreadAndReturnTheAnswer) {
  Counter here;
  EXPECT_EQ(here.Send(kWmApp + 1, 21, 0), 42);
  EXPECT_EQ(here.handled_on, std::this_thread::get_id());

  std::unique_ptr<Counter> there;
  std::thread::id owner;
  {
    PumpThread t([&] {
      there = std::make_unique<Counter>();
      owner = std::this_thread::get_id();
    });
    EXPECT_EQ(there->Send(kWmApp + 2, 5, 0), 10);
    EXPECT_EQ(there->handled_on, owner);

    // Two threads sending to each other's windows while each waits for the
    // other: the waiting sender serves the incoming send.
    there->forward_to = &here;
    EXPECT_EQ(there->Send(kWmApp + 3, 7, 0), 15);  // here answers 14, there adds 1
    EXPECT_EQ(here.seen.back(), kWmApp + 4u);
    EXPECT_EQ(here.handled_on, std::this_thread::get_id());
    there->forward_to = nullptr;
  }
  // The owner thread has ended: its queue is closed, sends answer 0 at once
  // and posts are refused.
  EXPECT_EQ(there->Send(kWmApp + 5, 1, 0), 0);
  EXPECT_FALSE(there->Post(kWmApp + 6, 1, 0));
  there.reset();
}

TEST(MessageLayer, PostsKeepTheirOrderAndDieWithTheirWindow) {
  Counter a;
  auto b = std::make_unique<Counter>();
  std::thread poster([&] {
    for (std::uint32_t i = 0; i < 100; ++i) {
      EXPECT_TRUE(a.Post(kWmApp + i, 0, 0));
      EXPECT_TRUE(b->Post(kWmApp + i, 0, 0));
    }
  });
  poster.join();
  b.reset();  // 100 posts for it are still queued
  auto queue = MessageQueue::ForThisThread();
  EXPECT_TRUE(queue->HasMessages());
  // A new window must not receive what was posted to the old one, even at
  // the same address.
  Counter c;
  queue->PumpPending();
  ASSERT_EQ(a.seen.size(), 100u);
  for (std::uint32_t i = 0; i < 100; ++i) EXPECT_EQ(a.seen[i], kWmApp + i);
  EXPECT_TRUE(c.seen.empty());
  EXPECT_FALSE(queue->HasMessages());
}

TEST(MessageLayer, WaitsWakeForEventsMessagesAndTimeouts) {
  Event manual, automatic(false);
  EXPECT_EQ(WaitForEventOrMessage(manual, 0), WaitResult::kTimeout);
  EXPECT_EQ(WaitForEventOrMessage(manual, 30), WaitResult::kTimeout);
  manual.Set();
  EXPECT_EQ(WaitForEventOrMessage(manual, kDeadlockMs), WaitResult::kEvent);
  EXPECT_TRUE(manual.IsSet());  // a manual event stays set
  automatic.Set();
  EXPECT_TRUE(automatic.Wait(kDeadlockMs));
  EXPECT_FALSE(automatic.IsSet());  // an automatic one is consumed
  EXPECT_FALSE(automatic.Wait(0));

  // A message from another thread wakes the wait.
  Counter w;
  Event never;
  std::thread poster([&] { w.Post(kWmApp, 0, 0); });
  EXPECT_EQ(WaitForEventOrMessage(never, kDeadlockMs), WaitResult::kMessage);
  poster.join();
  MessageQueue::ForThisThread()->PumpPending();
  EXPECT_EQ(w.seen.size(), 1u);

  // An event set from another thread while this one waits.
  Event later;
  std::thread setter([&] { later.Set(); });
  EXPECT_EQ(WaitForEventOrMessage(later, kDeadlockMs), WaitResult::kEvent);
  setter.join();
}

TEST(MessageLayer, PumpUntilServesAWorkersSendsUntilItIsDone) {
  HeadlessEditorWindow editor(2);
  HeadlessMainFrame frame;
  Event done;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    // What a worker does while the user-interface thread waits: reads and
    // sets the selection and tells the frame.
    editor.Send(editor_msg::kSetSelection, 100, 200);
    std::uint32_t from = 0, to = 0;
    editor.Send(editor_msg::kGetSelection, reinterpret_cast<MsgParam>(&from), reinterpret_cast<MsgParam>(&to));
    EXPECT_EQ(from, 100u);
    EXPECT_EQ(to, 200u);
    EXPECT_EQ(editor.Send(editor_msg::kSetChannelMask, 2, 0), 2);
    EXPECT_EQ(editor.Send(editor_msg::kSetChannelMask, 4, 0), 2);  // no channel of the document: kept
    frame.Post(frame_msg::kDocumentChanged, 80, 0x1234);
    finished = true;
    done.Set();
  });
  PumpUntil(done);
  worker.join();
  EXPECT_TRUE(finished);
  MessageQueue::ForThisThread()->PumpPending();
  EXPECT_EQ(editor.selection_from(), 100u);
  EXPECT_EQ(editor.selection_to(), 200u);
  EXPECT_EQ(editor.channel_mask(), 2u);
  EXPECT_EQ(editor.log().size(), 4u);
  ASSERT_EQ(frame.notices().size(), 1u);
  EXPECT_EQ(frame.notices()[0], (HeadlessMainFrame::Notice{80, 0x1234}));
  EXPECT_EQ(frame.last_flags(), 80u);

  // The view state is kept byte for byte; a mono window selects channel 0.
  std::array<std::uint8_t, 24> state{};
  for (std::size_t i = 0; i < state.size(); ++i) state[i] = static_cast<std::uint8_t>(i * 7 + 1);
  editor.Send(editor_msg::kSetViewState, reinterpret_cast<MsgParam>(state.data()), 0);
  std::array<std::uint8_t, 24> back{};
  editor.Send(editor_msg::kGetViewState, reinterpret_cast<MsgParam>(back.data()), 0);
  EXPECT_EQ(back, state);
  EXPECT_EQ(HeadlessEditorWindow(1).channel_mask(), 1u);
  EXPECT_EQ(editor.Send(kWmApp + 99, 0, 0), 0);
}

}  // namespace
}  // namespace tidemark
