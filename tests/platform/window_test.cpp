// The message layer: sends on the owner thread and across threads, posts in
// order, windows that go away with messages queued, closed queues, the waits
// and the pump-until-done loop.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/message_queue.h"
#include "platform/message_wait.h"

namespace tidemark {
namespace {

// Guards against a hang: a wait that would block for good fails instead.
constexpr std::int64_t kDeadlockMs = 60000;

// Answers wparam * 2; with a peer and a nonzero wparam, first sends
// wparam - 1 on to the peer and answers the peer's answer plus one.
class Relay : public Window {
 public:
  std::vector<std::uint32_t> seen;
  std::thread::id handled_on;
  Relay* peer = nullptr;

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam w, MsgParam) override {
    seen.push_back(msg);
    handled_on = std::this_thread::get_id();
    if (peer && w > 0) return peer->Send(msg, w - 1, 0) + 1;
    return static_cast<MsgResult>(w * 2);
  }
};

// A thread that creates a Relay, pumps its queue until stopped, and
// destroys the window on its own thread.
class RelayThread {
 public:
  RelayThread()
      : thread_([this] {
          window_ = std::make_unique<Relay>();
          ready_.Set();
          PumpUntil(stop_);
          MessageQueue::ForThisThread()->PumpPending();
          window_.reset();
        }) {
    EXPECT_TRUE(ready_.Wait(kDeadlockMs));
  }
  ~RelayThread() {
    stop_.Set();
    thread_.join();
  }
  Relay& window() { return *window_; }
  std::thread::id id() const { return thread_.get_id(); }

 private:
  std::unique_ptr<Relay> window_;
  Event ready_, stop_;
  std::thread thread_;
};

TEST(MessageLayer, SendsReachTheOwnerThreadAndReturnItsAnswer) {
  // On the owner thread the handler runs at once, also from inside itself.
  Relay a, b;
  a.peer = &b;
  b.peer = &a;
  EXPECT_EQ(a.Send(kWmApp + 1, 0, 0), 0);
  EXPECT_EQ(a.Send(kWmApp + 1, 21, 0), 21);  // 21 hops of +1 ending in 0 * 2
  EXPECT_EQ(a.seen.size(), 12u);
  EXPECT_EQ(b.seen.size(), 11u);
  EXPECT_EQ(a.handled_on, std::this_thread::get_id());
  a.peer = b.peer = nullptr;

  // From another thread the handler runs on the owner's thread.
  RelayThread there;
  EXPECT_EQ(there.window().Send(kWmApp + 2, 5, 0), 10);
  EXPECT_EQ(there.window().handled_on, there.id());
  EXPECT_EQ(there.window().seen, std::vector<std::uint32_t>{kWmApp + 2});

  // Sends bouncing between two threads, each blocked in a send to the
  // other: the waiting sender serves the send that comes in.
  there.window().peer = &a;
  a.peer = &there.window();
  EXPECT_EQ(a.Send(kWmApp + 3, 9, 0), 9);
  EXPECT_EQ(a.seen.size(), 12u + 5);
  EXPECT_EQ(there.window().seen.size(), 1u + 5);
  EXPECT_EQ(a.handled_on, std::this_thread::get_id());
  EXPECT_EQ(there.window().handled_on, there.id());
  there.window().peer = nullptr;
}

TEST(MessageLayer, ACrossThreadSendWaitsForTheOwnersPump) {
  Relay here;
  auto doomed = std::make_unique<Relay>();
  Relay* target = doomed.get();
  Event never;
  std::atomic<bool> returned{false};
  MsgResult answer = -1, lost = -1;
  std::thread sender([&] {
    answer = here.Send(kWmApp, 4, 0);
    returned = true;
    lost = target->Send(kWmApp, 4, 0);
  });
  // The send is queued, and its sender cannot have returned before this
  // thread delivers it.
  ASSERT_EQ(WaitForEventOrMessage(never, kDeadlockMs), WaitResult::kMessage);
  EXPECT_FALSE(returned);
  EXPECT_TRUE(here.seen.empty());
  EXPECT_TRUE(MessageQueue::ForThisThread()->PumpOne());
  // A window destroyed while a send to it waits: the sender gets 0.
  ASSERT_EQ(WaitForEventOrMessage(never, kDeadlockMs), WaitResult::kMessage);
  doomed.reset();
  MessageQueue::ForThisThread()->PumpPending();
  sender.join();
  EXPECT_EQ(answer, 8);
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(here.seen.size(), 1u);
}

TEST(MessageLayer, TwoThreadsSendingToEachOtherAtOnceBothFinish) {
  // Neither thread pumps while it sends: each is blocked in its own sends
  // and must serve the other's meanwhile.
  constexpr MsgParam kRounds = 200;
  Relay here;
  std::unique_ptr<Relay> far;
  Event created, go, far_done, here_done;
  std::vector<MsgResult> far_answers;
  std::thread other([&] {
    far = std::make_unique<Relay>();
    created.Set();
    EXPECT_TRUE(go.Wait(kDeadlockMs));
    for (MsgParam i = 0; i < kRounds; ++i) far_answers.push_back(here.Send(kWmApp, i, 0));
    far_done.Set();
    EXPECT_TRUE(PumpUntil(here_done, kDeadlockMs));
    far.reset();
  });
  ASSERT_TRUE(created.Wait(kDeadlockMs));
  go.Set();
  std::vector<MsgResult> here_answers;
  for (MsgParam i = 0; i < kRounds; ++i) here_answers.push_back(far->Send(kWmApp, i + 1000, 0));
  here_done.Set();
  EXPECT_TRUE(PumpUntil(far_done, kDeadlockMs));
  other.join();
  ASSERT_EQ(far_answers.size(), kRounds);
  ASSERT_EQ(here_answers.size(), kRounds);
  for (MsgParam i = 0; i < kRounds; ++i) {
    EXPECT_EQ(far_answers[i], static_cast<MsgResult>(i * 2));
    EXPECT_EQ(here_answers[i], static_cast<MsgResult>((i + 1000) * 2));
  }
  EXPECT_EQ(here.seen.size(), kRounds);
}

TEST(MessageLayer, PostsKeepTheirOrderAndDieWithTheirWindow) {
  Relay a;
  auto b = std::make_unique<Relay>();
  std::thread poster([&] {
    for (std::uint32_t i = 0; i < 100; ++i) {
      EXPECT_TRUE(a.Post(kWmApp + i, 0, 0));
      EXPECT_TRUE(b->Post(kWmApp + i, 0, 0));
    }
  });
  poster.join();
  EXPECT_TRUE(a.Post(kWmApp + 100, 0, 0));  // from the owner too: queued, not run
  EXPECT_TRUE(a.seen.empty());
  b.reset();  // 100 posts for it are still queued
  auto queue = MessageQueue::ForThisThread();
  EXPECT_TRUE(queue->HasMessages());
  // A new window must not receive what was posted to the old one, even at
  // the same address.
  Relay c;
  queue->PumpPending();
  ASSERT_EQ(a.seen.size(), 101u);
  for (std::uint32_t i = 0; i <= 100; ++i) EXPECT_EQ(a.seen[i], kWmApp + i);
  EXPECT_TRUE(c.seen.empty());
  EXPECT_FALSE(queue->HasMessages());
}

TEST(MessageLayer, AClosedQueueReleasesItsSendersAndRefusesMessages) {
  // A queue closed by its thread while a sender waits on it.
  std::unique_ptr<Relay> window;
  Event created;
  std::thread owner([&] {
    window = std::make_unique<Relay>();
    created.Set();
    Event never;
    ASSERT_EQ(WaitForEventOrMessage(never, kDeadlockMs), WaitResult::kMessage);  // the send is queued
    EXPECT_TRUE(window->Post(kWmApp + 9, 0, 0));
    MessageQueue::ForThisThread()->Close();
    EXPECT_TRUE(MessageQueue::ForThisThread()->IsClosed());
    EXPECT_FALSE(window->Post(kWmApp + 10, 0, 0));
    EXPECT_FALSE(MessageQueue::ForThisThread()->PumpOne());  // the post was dropped
    // Still the window's own thread: a send made here is answered.
    EXPECT_EQ(window->Send(kWmApp + 11, 3, 0), 6);
    EXPECT_EQ(window->seen, std::vector<std::uint32_t>{kWmApp + 11});
    window.reset();
  });
  ASSERT_TRUE(created.Wait(kDeadlockMs));
  MsgResult answer = -1;
  std::thread sender([&] { answer = window->Send(kWmApp + 1, 5, 0); });
  sender.join();
  owner.join();
  EXPECT_EQ(answer, 0);

  // A queue closed because its thread ended.
  std::unique_ptr<Relay> orphan;
  std::thread([&] { orphan = std::make_unique<Relay>(); }).join();
  EXPECT_EQ(orphan->Send(kWmApp + 5, 1, 0), 0);
  EXPECT_FALSE(orphan->Post(kWmApp + 6, 1, 0));
  EXPECT_TRUE(orphan->seen.empty());
}

TEST(MessageLayer, WaitsWakeForEventsMessagesAndTimeouts) {
  Event manual, automatic(false);
  EXPECT_EQ(WaitForEventOrMessage(manual, 0), WaitResult::kTimeout);
  EXPECT_EQ(WaitForEventOrMessage(manual, 20), WaitResult::kTimeout);
  EXPECT_FALSE(manual.Wait(20));
  manual.Set();
  EXPECT_EQ(WaitForEventOrMessage(manual, kDeadlockMs), WaitResult::kEvent);
  EXPECT_EQ(WaitForEventOrMessage(manual, 0), WaitResult::kEvent);  // a manual event stays set
  manual.Reset();
  EXPECT_EQ(WaitForEventOrMessage(manual, 0), WaitResult::kTimeout);

  automatic.Set();
  EXPECT_TRUE(automatic.IsSet());
  EXPECT_EQ(WaitForEventOrMessage(automatic, kDeadlockMs), WaitResult::kEvent);
  EXPECT_FALSE(automatic.IsSet());  // consumed by the wait that saw it
  EXPECT_FALSE(automatic.Wait(0));
  automatic.Set();
  EXPECT_TRUE(automatic.Wait(kDeadlockMs));
  EXPECT_FALSE(automatic.IsSet());

  // A message from another thread wakes the wait; the wait delivers nothing.
  Relay w;
  Event never;
  std::thread poster([&] { w.Post(kWmApp, 0, 0); });
  EXPECT_EQ(WaitForEventOrMessage(never, kDeadlockMs), WaitResult::kMessage);
  poster.join();
  EXPECT_TRUE(w.seen.empty());
  // With both a message and the event, the event wins.
  manual.Set();
  EXPECT_EQ(WaitForEventOrMessage(manual, kDeadlockMs), WaitResult::kEvent);
  MessageQueue::ForThisThread()->PumpPending();
  EXPECT_EQ(w.seen.size(), 1u);

  // Events set from another thread while this one waits, many times over,
  // so that a lost wake-up would show as a hang.
  for (int i = 0; i < 200; ++i) {
    Event later(i % 2 == 0);
    std::thread setter([&] { later.Set(); });
    EXPECT_EQ(WaitForEventOrMessage(later, kDeadlockMs), WaitResult::kEvent);
    setter.join();
  }
  for (int i = 0; i < 200; ++i) {
    Event soon(false);
    std::thread setter([&] { soon.Set(); });
    EXPECT_TRUE(soon.Wait(kDeadlockMs));
    setter.join();
  }
}

TEST(MessageLayer, PumpUntilServesAWorkersSendsUntilItIsDone) {
  Relay here;
  Event done;
  std::vector<MsgResult> answers;
  std::thread worker([&] {
    for (MsgParam i = 0; i < 50; ++i) {
      answers.push_back(here.Send(kWmApp + 1, i, 0));
      here.Post(kWmApp + 2, 0, 0);
    }
    done.Set();
  });
  EXPECT_TRUE(PumpUntil(done, kDeadlockMs));
  worker.join();
  ASSERT_EQ(answers.size(), 50u);
  for (MsgParam i = 0; i < 50; ++i) EXPECT_EQ(answers[i], static_cast<MsgResult>(i * 2));
  MessageQueue::ForThisThread()->PumpPending();
  EXPECT_EQ(here.seen.size(), 100u);

  // The event may be set before the wait begins; an unset one times out.
  EXPECT_TRUE(PumpUntil(done, 0));
  Event never;
  EXPECT_FALSE(PumpUntil(never, 20));
}

// A queue that never runs dry must not hold the caller past its timeout (the
// script host looks at Ctrl-C between waits).
TEST(MessageLayer, PumpUntilTimesOutWhileMessagesKeepComing) {
  Relay here;
  constexpr std::size_t kQueued = 200000;
  for (std::size_t i = 0; i < kQueued; ++i) here.Post(kWmApp + 3, 0, 0);
  Event never;
  EXPECT_FALSE(PumpUntil(never, 20));
  EXPECT_GT(here.seen.size(), 0u);
  EXPECT_LT(here.seen.size(), kQueued) << "the whole queue was served before the timeout was looked at";
  MessageQueue::ForThisThread()->PumpPending();
  EXPECT_EQ(here.seen.size(), kQueued);
}

}  // namespace
}  // namespace tidemark
