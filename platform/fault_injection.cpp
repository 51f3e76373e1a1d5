#include "platform/fault_injection.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace tidemark::fault {
namespace {

struct InstalledRule {
  FaultId id = 0;
  FaultRule rule;
  std::uint64_t seen = 0;
  std::uint64_t fired = 0;
};

struct SeamState {
  std::mutex mutex;
  std::vector<InstalledRule> rules;  // in install order
  FaultId next_id = 1;
};

SeamState& State() {
  static SeamState state;
  return state;
}

std::atomic<std::size_t> g_rule_count{0};

bool IsTransfer(FaultOp op) { return op == kRead || op == kWrite; }

InstalledRule* Find(SeamState& s, FaultId id) {
  for (InstalledRule& r : s.rules)
    if (r.id == id) return &r;
  return nullptr;
}

// Counts the call for `r` and, when the rule fails it, fills `decision`.
void Evaluate(InstalledRule& r, FaultOp op, std::uint64_t offset, std::uint64_t length,
              bool may_fire, FaultDecision* decision) {
  const FaultRule& rule = r.rule;
  ++r.seen;
  if (!may_fire) return;
  std::uint64_t allowed = 0;
  if (rule.trigger == FaultTrigger::kNthCall) {
    const bool hit = rule.sticky ? r.seen >= rule.nth : r.seen == rule.nth;
    if (!hit) return;
    if (rule.short_transfer && IsTransfer(op)) allowed = std::min(rule.short_bytes, length);
  } else {
    // The range [offset, offset + length) reaches past the limit.
    const bool past = length > 0 && (offset >= rule.offset || length > rule.offset - offset);
    if (!past || (!rule.sticky && r.fired > 0)) return;
    if (IsTransfer(op) && offset < rule.offset) allowed = rule.offset - offset;
  }
  ++r.fired;
  decision->fire = true;
  decision->allowed = allowed;
  decision->error = (rule.short_transfer && op == kRead) ? 0 : rule.error;
}

}  // namespace

FaultRule FaultRule::FailNth(FaultOps ops, std::uint64_t n, int error) {
  FaultRule rule;
  rule.ops = ops;
  rule.nth = n;
  rule.error = error;
  return rule;
}

FaultRule FaultRule::DiskFullAt(std::uint64_t offset, int error) {
  FaultRule rule;
  rule.ops = kWrite | kFtruncate | kFallocate;
  rule.trigger = FaultTrigger::kByteOffset;
  rule.offset = offset;
  rule.error = error;
  rule.sticky = true;
  return rule;
}

FaultRule FaultRule::ShortNth(FaultOps ops, std::uint64_t n, std::uint64_t bytes, int error) {
  FaultRule rule = FailNth(ops, n, error);
  rule.short_transfer = true;
  rule.short_bytes = bytes;
  return rule;
}

FaultId InstallFault(const FaultRule& rule) {
  SeamState& s = State();
  std::lock_guard lock(s.mutex);
  const FaultId id = s.next_id++;
  s.rules.push_back({id, rule, 0, 0});
  g_rule_count.store(s.rules.size(), std::memory_order_release);
  return id;
}

void RemoveFault(FaultId id) {
  SeamState& s = State();
  std::lock_guard lock(s.mutex);
  std::erase_if(s.rules, [id](const InstalledRule& r) { return r.id == id; });
  g_rule_count.store(s.rules.size(), std::memory_order_release);
}

void RemoveAllFaults() {
  SeamState& s = State();
  std::lock_guard lock(s.mutex);
  s.rules.clear();
  g_rule_count.store(0, std::memory_order_release);
}

std::uint64_t FaultOpsSeen(FaultId id) {
  SeamState& s = State();
  std::lock_guard lock(s.mutex);
  const InstalledRule* r = Find(s, id);
  return r ? r->seen : 0;
}

std::uint64_t FaultFireCount(FaultId id) {
  SeamState& s = State();
  std::lock_guard lock(s.mutex);
  const InstalledRule* r = Find(s, id);
  return r ? r->fired : 0;
}

FaultDecision CheckFault(FaultOp op, std::uint64_t offset, std::uint64_t length) {
  if (g_rule_count.load(std::memory_order_acquire) == 0) return {};
  SeamState& s = State();
  std::lock_guard lock(s.mutex);
  FaultDecision decision;
  for (InstalledRule& r : s.rules) {
    if ((r.rule.ops & op) == 0) continue;
    Evaluate(r, op, offset, length, /*may_fire=*/!decision.fire, &decision);
  }
  return decision;
}

}  // namespace tidemark::fault
