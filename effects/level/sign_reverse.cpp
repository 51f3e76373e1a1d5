#include "effects/level/sign_reverse.h"

#include "effects/level/own_execute.h"

namespace tidemark::NS_EFFECT_SIGNREV {

CMyEffEntry::CMyEffEntry() : CEffEntry(321) {}

Error CMyEffEntry::Execute(SoundDocument* target) { return ExecuteFixedGain(*this, target, -1.0f); }

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_SIGNREV
