// The suspend that ISystem.SetSuspendState asks for without `immediate`
// happens once the running script has finished, so only the script host can
// take it. The host installs its handler; while none is installed (no script
// host in this process) such a request is refused.
#pragma once

#include <atomic>

namespace tidemark::NS_SCRIPT {

// True when the request was recorded for the end of the running script.
using DeferredSuspendHandler = bool (*)(bool hibernate, bool force);

inline std::atomic<DeferredSuspendHandler> g_deferred_suspend_handler{nullptr};

inline void SetDeferredSuspendHandler(DeferredSuspendHandler handler) { g_deferred_suspend_handler.store(handler); }

inline bool RequestSuspendAfterScript(bool hibernate, bool force) {
  const DeferredSuspendHandler handler = g_deferred_suspend_handler.load();
  return handler && handler(hibernate, force);
}

}  // namespace tidemark::NS_SCRIPT
