// The proxy onto the user-interface thread: calls from a script thread run
// on the UI thread, objects keep one proxy each, disconnection.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/message_queue.h"
#include "tests/automation/com_test_object.h"
#include "tests/automation/com_test_support.h"

namespace tidemark::com {
namespace {
using namespace testing;

// Runs `work` on a second thread while this (the UI) thread pumps its queue.
void OnScriptThread(const std::function<void()>& work) {
  const auto queue = MessageQueue::ForThisThread();
  std::atomic<bool> done{false};
  std::thread script([&] {
    work();
    done = true;
    queue->Wake();
  });
  while (!done) {
    (void)queue->WaitForSignalOrMessage([&] { return done.load(); }, 5000);
    queue->PumpPending();
  }
  script.join();
}

class Apartment : public ::testing::Test {
 protected:
  void TearDown() override {
    object_.reset();
    EXPECT_EQ(LiveObjectCount(), live_before_);
  }
  // First: counted before the fixture's own objects exist.
  const long live_before_ = LiveObjectCount();
  ComRef<TestObject> object_ = MakeTestObject();
};

TEST_F(Apartment, CallsFromAnotherThreadRunOnTheUiThread) {
  ApartmentBridge bridge;
  ComRef<IDispatch> proxy = bridge.Wrap(object_->dispatch());
  ASSERT_TRUE(proxy);
  EXPECT_NE(proxy.get(), object_->dispatch());
  std::thread::id script_id;
  CallResult put, get;
  OnScriptThread([&] {
    script_id = std::this_thread::get_id();
    put = Put(proxy.get(), "value", {V(LONG{9})});
    get = Get(proxy.get(), "Value");
    proxy.reset();  // released from the script thread
  });
  EXPECT_EQ(put.hr, S_OK);
  ASSERT_EQ(get.hr, S_OK);
  EXPECT_EQ(get.value.lVal, 9);
  EXPECT_EQ(object_->last_thread, std::this_thread::get_id());
  EXPECT_NE(script_id, std::this_thread::get_id());
  EXPECT_EQ(bridge.ProxyCount(), 0u);
  EXPECT_EQ(object_->ref_count(), 1u);
}

TEST_F(Apartment, AnObjectAlwaysCrossesAsTheSameProxy) {
  ApartmentBridge bridge;
  ComRef<IDispatch> proxy = bridge.Wrap(object_->dispatch());
  EXPECT_EQ(bridge.Wrap(object_->dispatch()).get(), proxy.get());
  CallResult self, same, item;
  OnScriptThread([&] {
    self = Get(proxy.get(), "Self");
    // A proxy passed back arrives as the object itself.
    same = Method(proxy.get(), "Same", {VDisp(proxy.get())});
    item = Get(proxy.get(), "Item", {V(LONG{1})});
  });
  ASSERT_EQ(self.hr, S_OK);
  ASSERT_EQ(self.value.vt, VT_DISPATCH);
  EXPECT_EQ(self.value.pdispVal, proxy.get());
  EXPECT_TRUE(SameObject(self.value.pdispVal, proxy.get()));
  ASSERT_EQ(same.hr, S_OK);
  EXPECT_EQ(same.value.boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text(item.value), "item1");
  (void)VariantClear(&self.value);
  EXPECT_EQ(UnwrapProxy(proxy.get()).get(), static_cast<IUnknown*>(object_->dispatch()));
}

TEST_F(Apartment, ErrorInfoFollowsTheCallToItsThread) {
  ApartmentBridge bridge;
  ComRef<IDispatch> proxy = bridge.Wrap(object_->dispatch());
  HRESULT hr = S_OK;
  std::string description;
  OnScriptThread([&] {
    hr = Method(proxy.get(), "Fail").hr;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK) {
      Bstr text;
      (void)info->GetDescription(text.out());
      description = text.utf8();
      info->Release();
    }
  });
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(description, "It failed.\n\nDetail");
  IErrorInfo* left = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
}

TEST_F(Apartment, DisconnectedObjectsAnswerRpcDisconnected) {
  auto bridge = std::make_unique<ApartmentBridge>();
  ComRef<TestObject> second = MakeTestObject();
  ComRef<IDispatch> first_proxy = bridge->Wrap(object_->dispatch());
  ComRef<IDispatch> second_proxy = bridge->Wrap(second->dispatch());
  ASSERT_EQ(CoDisconnectObject(object_->dispatch()), S_OK);
  // The proxy let go of its object at once.
  EXPECT_EQ(object_->ref_count(), 1u);
  HRESULT first = S_OK, second_before = E_FAIL, second_after = S_OK;
  OnScriptThread([&] {
    first = Get(first_proxy.get(), "Value").hr;
    second_before = Get(second_proxy.get(), "Value").hr;
  });
  EXPECT_EQ(first, RPC_E_DISCONNECTED);
  EXPECT_EQ(second_before, S_OK);
  // The run's end: every proxy is cut.
  bridge.reset();
  OnScriptThread([&] {
    second_after = Get(second_proxy.get(), "Value").hr;
    const OLECHAR* names[] = {u"Value"};
    DISPID id = 0;
    EXPECT_EQ(second_proxy->GetIDsOfNames(IID_NULL, names, 1, 0, &id), RPC_E_DISCONNECTED);
    first_proxy.reset();
    second_proxy.reset();
  });
  EXPECT_EQ(second_after, RPC_E_DISCONNECTED);
  EXPECT_EQ(second->ref_count(), 1u);
}

TEST_F(Apartment, EnumeratorsCrossAndYieldProxies) {
  ApartmentBridge bridge;
  ComRef<IDispatch> proxy = bridge.Wrap(object_->dispatch());
  CallResult r;
  HRESULT next = E_FAIL, after = S_OK;
  ULONG fetched = 0;
  IDispatch* items[2] = {};
  OnScriptThread([&] {
    r = Get(proxy.get(), "_NewEnum");
    if (r.value.vt != VT_UNKNOWN) return;
    ComRef<IEnumVARIANT> e = QueryAs<IEnumVARIANT>(r.value.punkVal);
    if (!e) return;
    VARIANT got[2];
    next = e->Next(2, got, &fetched);
    for (ULONG i = 0; i < fetched; ++i) {
      items[i] = got[i].pdispVal;
      (void)VariantClear(&got[i]);
    }
    (void)VariantClear(&r.value);
    bridge.DisconnectAll();
    after = e->Reset();
  });
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(next, S_OK);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(items[0], proxy.get());
  EXPECT_EQ(items[1], proxy.get());
  EXPECT_EQ(after, RPC_E_DISCONNECTED);
}

}  // namespace
}  // namespace tidemark::com
