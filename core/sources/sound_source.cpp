#include "core/sources/sound_source.h"

#include <mutex>

#include "core/sources/source_list.h"

namespace tidemark {

void SoundSource::Release() noexcept {
  // Dropping a reference that is not the last needs no lock.
  if (ref_counter().DropUnlessLast()) return;
  // Possibly the last one. The list hands out new references only under the
  // lock, so the count can reach zero only here, under it too.
  {
    std::unique_lock<std::mutex> lock(SourceMutex());
    if (!ref_counter().Drop()) return;
    Retire();
  }
  // Outside the lock: a view's destructor releases the source it reads.
  delete this;
}

}  // namespace tidemark
