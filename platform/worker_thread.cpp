#include "platform/worker_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"

namespace tidemark {

namespace {

// On Linux the nice value is per thread: raise this thread's by one.
void LowerThisThreadPriority() {
  const int tid = static_cast<int>(gettid());
  errno = 0;
  const int nice_now = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (errno == 0) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_now + 1);
}

}  // namespace

Error StartWorkerThread(std::function<void()> body, std::thread* thread) {
  if (fault::CheckFault(fault::kThreadStart).fire) return err::kThreadCreate;
  try {
    *thread = std::thread([body = std::move(body)] {
      LowerThisThreadPriority();
      body();
    });
  } catch (const std::system_error&) {
    return err::kThreadCreate;
  }
  return err::kOk;
}

}  // namespace tidemark
