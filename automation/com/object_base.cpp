#include "automation/com/object_base.h"

#include <mutex>
#include <vector>

#include "automation/com/apartment.h"

namespace tidemark::com {
namespace {
std::mutex& ListMutex() {
  static std::mutex m;
  return m;
}
ObjectNode* g_head = nullptr;
std::atomic<long> g_live{0};
}  // namespace

ObjectNode::ObjectNode() {
  std::lock_guard lock(ListMutex());
  next_ = g_head;
  if (g_head) g_head->prev_ = this;
  g_head = this;
  g_live.fetch_add(1, std::memory_order_relaxed);
}

ObjectNode::~ObjectNode() {
  std::lock_guard lock(ListMutex());
  if (prev_) prev_->next_ = next_;
  else g_head = next_;
  if (next_) next_->prev_ = prev_;
  g_live.fetch_sub(1, std::memory_order_relaxed);
}

bool ObjectNode::TryAddRef() {
  ULONG n = refs_.load(std::memory_order_relaxed);
  while (n != 0)
    if (refs_.compare_exchange_weak(n, n + 1, std::memory_order_acquire, std::memory_order_relaxed)) return true;
  return false;
}

long LiveObjectCount() { return g_live.load(std::memory_order_relaxed); }

void ForEachLiveObject(const std::function<void(ObjectNode&)>& fn) {
  std::vector<ObjectNode*> held;
  {
    std::lock_guard lock(ListMutex());
    for (ObjectNode* n = g_head; n; n = n->next_)
      if (n->TryAddRef()) held.push_back(n);
  }
  for (ObjectNode* n : held) fn(*n);
  for (ObjectNode* n : held) n->AsUnknown()->Release();
}

void DetachAllLiveObjects() {
  ForEachLiveObject([](ObjectNode& n) {
    if (!n.Detach()) (void)CoDisconnectObject(n.AsUnknown());
  });
}

void DisconnectAllLiveObjects() {
  ForEachLiveObject([](ObjectNode& n) { (void)CoDisconnectObject(n.AsUnknown()); });
}

}  // namespace tidemark::com
