#include "core/sources/sound_source.h"

#include <mutex>

#include "core/sources/source_list.h"

namespace tidemark {

void SoundSource::Release() noexcept {
  // Dropping a reference that is not the last needs no lock.
  std::uint32_t n = refs_.load(std::memory_order_relaxed);
  while (n > 1)
    if (refs_.compare_exchange_weak(n, n - 1, std::memory_order_acq_rel, std::memory_order_relaxed)) return;
  // Possibly the last one. The list hands out new references only under the
  // lock, so the count can reach zero only here, under it too.
  {
    std::unique_lock<std::mutex> lock(SourceMutex());
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    Retire();
  }
  // Outside the lock: a view's destructor releases the source it reads.
  delete this;
}

}  // namespace tidemark
