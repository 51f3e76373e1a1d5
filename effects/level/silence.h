// Silence: the selected channels become silent (a range gain of 0). No
// settings and no dialog; the document's range-gain operation does the work,
// one undo step.
#pragma once

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_SILENCE {

class CMyEffEntry : public CEffEntry {
 public:
  CMyEffEntry();
  // 0xFFFFFFFB without a selection.
  [[nodiscard]] Error Execute(SoundDocument* target) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_SILENCE
