// Worker threads of long operations: started at below-normal priority (one
// nice step above the process), joined by their owner.
#pragma once

#include <functional>
#include <thread>

#include "platform/error.h"

namespace tidemark {

// Starts `body` on a new thread at below-normal priority. kThreadCreate (39)
// when the system has no thread to give (or the fault seam says so).
[[nodiscard]] Error StartWorkerThread(std::function<void()> body, std::thread* thread);

}  // namespace tidemark
