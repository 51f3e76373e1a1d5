// Intrusive reference counting: a counted type carries its own count by
// deriving from RefCounted, and IntrusiveRef holds one counted reference.
// A new object starts with one reference, held by whoever made it.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace tidemark {

// The count of an object that one thread at a time works on.
class PlainRefCount {
 public:
  void Add() noexcept { ++n_; }
  // True when the last reference went.
  bool Drop() noexcept { return --n_ == 0; }
  std::uint32_t value() const noexcept { return n_; }

 private:
  std::uint32_t n_ = 1;
};

// The count of an object that threads share.
class AtomicRefCount {
 public:
  void Add() noexcept { n_.fetch_add(1, std::memory_order_relaxed); }
  // True when the last reference went; the acquire makes every other
  // holder's writes visible to the thread that deletes.
  bool Drop() noexcept { return n_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  // Drops a reference that is not the last one; false, and nothing changes,
  // when it would be the last.
  bool DropUnlessLast() noexcept {
    std::uint32_t n = n_.load(std::memory_order_relaxed);
    while (n > 1)
      if (n_.compare_exchange_weak(n, n - 1, std::memory_order_acq_rel, std::memory_order_relaxed)) return true;
    return false;
  }
  std::uint32_t value() const noexcept { return n_.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::uint32_t> n_{1};
};

// The mix-in of a counted type: `struct Node : RefCounted<Node> {...}`.
// Release deletes the object as a `Derived` at the last reference; a type
// that must do more around its last release declares its own Release.
template <typename Derived, typename Count = PlainRefCount>
class RefCounted {
 public:
  void AddRef() noexcept { count_.Add(); }
  void Release() noexcept {
    if (count_.Drop()) delete static_cast<Derived*>(this);
  }
  std::uint32_t ref_count() const noexcept { return count_.value(); }

 protected:
  RefCounted() = default;
  // A copy is a new object: its count starts afresh.
  RefCounted(const RefCounted&) noexcept {}
  RefCounted& operator=(const RefCounted&) noexcept { return *this; }
  ~RefCounted() = default;

  Count& ref_counter() noexcept { return count_; }

 private:
  Count count_;
};

// Holds one counted reference to a T (anything with AddRef() and Release()).
// Copying adds a reference, moving hands it over, destruction releases it.
template <typename T>
class IntrusiveRef {
 public:
  using element_type = T;

  IntrusiveRef() noexcept = default;
  // Takes over a reference the caller already holds (a new object's first).
  [[nodiscard]] static IntrusiveRef Adopt(T* p) noexcept {
    IntrusiveRef r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  [[nodiscard]] static IntrusiveRef Share(T* p) noexcept {
    if (p) p->AddRef();
    return Adopt(p);
  }

  IntrusiveRef(const IntrusiveRef& o) noexcept : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  IntrusiveRef(IntrusiveRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  IntrusiveRef& operator=(IntrusiveRef o) noexcept {
    swap(o);
    return *this;
  }
  ~IntrusiveRef() {
    if (p_) p_->Release();
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void reset() noexcept { IntrusiveRef().swap(*this); }
  // Hands the reference to the caller, who releases it in turn.
  [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }
  void swap(IntrusiveRef& o) noexcept { std::swap(p_, o.p_); }

 private:
  T* p_ = nullptr;
};

}  // namespace tidemark
