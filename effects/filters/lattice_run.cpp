#include "effects/filters/lattice_run.h"

#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

Error CLatticeIIR::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != kernel_.channels()) return err::kLayoutMismatch;
  kernel_.Process(buffer, frames, mask);
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
