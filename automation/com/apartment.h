// The apartment of the user-interface thread: objects made there are used
// from the script thread through proxies that carry every call to the UI
// thread's queue and wait for it.
//
//   // on the UI thread, for one script run:
//   ApartmentBridge bridge;
//   ComRef<IDispatch> p = bridge.Wrap(app);   // hand `p` to the script thread
//   ... pump the UI thread's queue while the script runs ...
//   // objects going away: CoDisconnectObject(obj); bridge end: all proxies
//   // disconnect.
//
// Identity: the bridge maps each object (its IUnknown) to one proxy, so an
// object always reaches the script thread as the same proxy; objects in a
// call's result are wrapped by the same map, and proxies passed back as
// arguments reach the UI thread as their own objects again.
// Disconnection: a disconnected proxy drops its object and answers
// RPC_E_DISCONNECTED from every later call.
// Error information set by a member on the UI thread is moved to the
// calling thread.
#pragma once

#include <memory>

#include "automation/com/dispatch.h"

namespace tidemark::com {

class ApartmentBridge {
 public:
  // Binds the bridge to the calling thread (the UI thread).
  ApartmentBridge();
  // Disconnects every proxy.
  ~ApartmentBridge();
  ApartmentBridge(const ApartmentBridge&) = delete;
  ApartmentBridge& operator=(const ApartmentBridge&) = delete;

  // The proxy of `object` (the same one for as long as it lives); null for
  // null. Any thread.
  ComRef<IDispatch> Wrap(IDispatch* object);
  // Every proxy answers RPC_E_DISCONNECTED from now on.
  void DisconnectAll();
  // Proxies alive (held by someone).
  std::size_t ProxyCount() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// Disconnects `object`'s proxies in every bridge (RPC_E_DISCONNECTED from
// then on). S_OK also when it had none.
HRESULT CoDisconnectObject(IUnknown* object, ULONG reserved = 0);

// The object behind a proxy, with a reference; the object itself when it is
// not a proxy. Null for a disconnected proxy.
ComRef<IUnknown> UnwrapProxy(IUnknown* maybe_proxy);

}  // namespace tidemark::com
