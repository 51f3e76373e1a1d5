#include "effects/level/silence.h"

#include "effects/level/own_execute.h"

namespace tidemark::NS_EFFECT_SILENCE {

CMyEffEntry::CMyEffEntry() : CEffEntry(319) {}

Error CMyEffEntry::Execute(SoundDocument* target) { return ExecuteFixedGain(*this, target, 0.0f); }

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_SILENCE
