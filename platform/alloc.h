// Allocation that reports running out of memory as error 2 instead of
// throwing. Code that must tell its caller about a failed allocation goes
// through MakeNew (one object or array) or TryAlloc (anything else that may
// throw std::bad_alloc: container growth, string building).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/error_numbers.h"

namespace tidemark {

// Runs `work`; err::kOutOfMemory when it throws std::bad_alloc, after
// running `on_failure` (to undo what the work left half done), otherwise
// what `work` returns (0 for a `work` returning nothing). Other exceptions
// pass through.
template <typename Work, typename OnFailure>
Error TryAlloc(Work&& work, OnFailure&& on_failure) {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
      std::invoke(work);
      return err::kOk;
    } else {
      return std::invoke(work);
    }
  } catch (const std::bad_alloc&) {
    std::invoke(on_failure);
    return err::kOutOfMemory;
  }
}

// As above, with nothing to undo.
template <typename Work>
Error TryAlloc(Work&& work) {
  return TryAlloc(std::forward<Work>(work), [] {});
}

namespace alloc_detail {
template <typename Holder>
struct HeldType {
  using type = typename Holder::element_type;
};
template <typename U>
struct HeldType<U*> {
  using type = U;
};
template <typename U, typename D>
struct HeldType<std::unique_ptr<U, D>> {
  using type = U;  // U[] for an array
};
}  // namespace alloc_detail

// Makes a new object into `*out`: a raw pointer (whose first reference or
// ownership the caller takes), a std::unique_ptr, or a counted reference
// (IntrusiveRef, through its Adopt). The object is a `T` when given, else
// the holder's own type; for a unique_ptr to an array the one argument is
// the element count (elements default-initialised, as by `new U[n]`).
// err::kOutOfMemory, and `*out` empty, when memory runs out (also when the
// constructor throws std::bad_alloc).
template <typename T = void, typename Holder, typename... Args>
Error MakeNew(Holder* out, Args&&... args) {
  using Held = typename alloc_detail::HeldType<Holder>::type;
  using Made = std::conditional_t<std::is_void_v<T>, Held, T>;
  const Error rc = TryAlloc([&] {
    if constexpr (std::is_unbounded_array_v<Made>) {
      static_assert(sizeof...(Args) == 1, "an array is made from its element count");
      out->reset(new std::remove_extent_t<Made>[static_cast<std::size_t>((args, ...))]);
    } else if constexpr (std::is_pointer_v<Holder>) {
      *out = new Made(std::forward<Args>(args)...);
    } else if constexpr (requires { Holder::Adopt(static_cast<Made*>(nullptr)); }) {
      *out = Holder::Adopt(new Made(std::forward<Args>(args)...));
    } else {
      out->reset(new Made(std::forward<Args>(args)...));
    }
  });
  if (rc) *out = Holder();
  return rc;
}

}  // namespace tidemark
