// The automation layer's call costs: one Invoke of a cheap property
// (ILabel.Position) from a script thread through the proxy onto the UI
// thread, beside a direct C++ call, a direct Invoke, an empty Send round
// trip through the message layer, and GetIDsOfNames per call.
// Goals: proxied call under 20 us and within 2x of the bare Send; direct
// Invoke under 1 us.
#include <benchmark/benchmark.h>

#include <atomic>
#include <future>
#include <thread>

#include "automation/com/com.h"
#include "automation/typelib/typelib.h"
#include "platform/message_queue.h"

namespace tidemark::com {
namespace {

class BenchLabel final : public CBase<BenchLabel, ILabel> {
 public:
  HRESULT get_Application(IApplication** out) override { return *out = nullptr, S_FALSE; }
  HRESULT get_Parent(IDispatch** out) override { return *out = nullptr, S_FALSE; }
  HRESULT get_Comments(BSTR* out) override { return *out = nullptr, S_OK; }
  HRESULT get_Name(BSTR* out) override { return *out = nullptr, S_OK; }
  HRESULT get_Position(double* out) override {
    if (!out) return E_INVALIDARG;
    *out = 1.5;
    return S_OK;
  }
  HRESULT Remove() override { return S_OK; }
  HRESULT Set(double, BSTR, BSTR) override { return S_OK; }
};

class EchoWindow final : public Window {
 protected:
  MsgResult Handle(std::uint32_t, MsgParam, MsgParam) override { return 1; }
};

// The user-interface thread: owns the object, the bridge and a window, and
// pumps its queue until told to stop.
struct UiThread {
  ComRef<BenchLabel> label;
  ComRef<IDispatch> proxy;
  EchoWindow* window = nullptr;
  std::atomic<bool> stop{false};
  std::shared_ptr<MessageQueue> queue;
  std::thread thread;

  UiThread() {
    std::promise<void> ready;
    thread = std::thread([this, &ready] {
      queue = MessageQueue::ForThisThread();
      EchoWindow echo;
      ApartmentBridge bridge;
      label = ComRef<BenchLabel>::Adopt(new BenchLabel);
      proxy = bridge.Wrap(label->dispatch());
      window = &echo;
      ready.set_value();
      while (!stop.load()) {
        (void)queue->WaitForSignalOrMessage([this] { return stop.load(); }, kInfinite);
        queue->PumpPending();
      }
      proxy.reset();
      label.reset();
    });
    ready.get_future().wait();
  }
  ~UiThread() {
    stop = true;
    queue->Wake();
    thread.join();
  }
};

UiThread* g_ui = nullptr;

DISPID PositionId(IDispatch* d) {
  const OLECHAR* names[] = {u"Position"};
  DISPID id = DISPID_UNKNOWN;
  (void)d->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
  return id;
}

void InvokePosition(benchmark::State& state, IDispatch* d) {
  const DISPID id = PositionId(d);
  DISPPARAMS none;
  for (auto _ : state) {
    VARIANT result;
    const HRESULT hr = d->Invoke(id, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    if (hr != S_OK || result.dblVal != 1.5) state.SkipWithError("Invoke failed");
    benchmark::DoNotOptimize(result.dblVal);
  }
}

void BM_DirectCppCall(benchmark::State& state) {
  ILabel* label = g_ui->label.get();
  for (auto _ : state) {
    double x = 0;
    (void)label->get_Position(&x);
    benchmark::DoNotOptimize(x);
  }
}
BENCHMARK(BM_DirectCppCall);

void BM_DirectInvoke(benchmark::State& state) { InvokePosition(state, g_ui->label->dispatch()); }
BENCHMARK(BM_DirectInvoke);

void BM_GetIDsOfNames(benchmark::State& state) {
  IDispatch* d = g_ui->label->dispatch();
  for (auto _ : state) benchmark::DoNotOptimize(PositionId(d));
}
BENCHMARK(BM_GetIDsOfNames);

void BM_EmptySendRoundTrip(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(g_ui->window->Send(kWmApp + 1, 0, 0));
}
BENCHMARK(BM_EmptySendRoundTrip)->UseRealTime();

void BM_ProxiedInvoke(benchmark::State& state) { InvokePosition(state, g_ui->proxy.get()); }
BENCHMARK(BM_ProxiedInvoke)->UseRealTime();

void BM_ProxiedGetIDsOfNames(benchmark::State& state) {
  IDispatch* d = g_ui->proxy.get();
  for (auto _ : state) benchmark::DoNotOptimize(PositionId(d));
}
BENCHMARK(BM_ProxiedGetIDsOfNames)->UseRealTime();

}  // namespace
}  // namespace tidemark::com

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tidemark::com::UiThread ui;
  tidemark::com::g_ui = &ui;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
