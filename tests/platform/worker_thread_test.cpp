// Worker threads: the body runs on a thread of its own one nice step below
// its starter; a thread that cannot be started is error 39 and runs nothing.
#include "platform/worker_thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"

namespace tidemark {
namespace {

int ThisThreadNice() {
  errno = 0;
  const int nice_value = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  EXPECT_EQ(errno, 0);
  return nice_value;
}

TEST(WorkerThread, RunsItsBodyOnAThreadOfLowerPriority) {
  const int starter = ThisThreadNice();
  pid_t worker_tid = 0;
  int worker_nice = 0;
  std::thread thread;
  ASSERT_EQ(StartWorkerThread(
                [&] {
                  worker_tid = gettid();
                  worker_nice = ThisThreadNice();
                },
                &thread),
            0u);
  ASSERT_TRUE(thread.joinable());
  thread.join();
  EXPECT_NE(worker_tid, gettid());
  EXPECT_EQ(worker_nice, std::min(starter + 1, 19));
  EXPECT_EQ(ThisThreadNice(), starter) << "the starter's own priority changed";
}

TEST(WorkerThread, NoThreadIs39AndNothingRuns) {
  const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kThreadStart, 1, EAGAIN));
  bool ran = false;
  std::thread thread;
  EXPECT_EQ(StartWorkerThread([&] { ran = true; }, &thread), err::kThreadCreate);
  EXPECT_TRUE(fault.fired());
  EXPECT_FALSE(thread.joinable());
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace tidemark
