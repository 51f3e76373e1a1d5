#include "effects/channel/channel_exchange.h"

#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_CHXCHG {

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != 2) return err::kOk;
  for (std::uint32_t f = 0; f < frames; ++f) {
    float* frame = buffer + std::size_t{f} * 2;
    const float left = frame[0], right = frame[1];
    if (mask & 1u) frame[0] = right;
    if (mask & 2u) frame[1] = left;
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(323) {}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams&, EffRunPtr* run) {
  return MakeNew<CMyEffRun>(run);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_CHXCHG
