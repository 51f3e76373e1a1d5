#include "effects/analysis/offset_scan.h"

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

Error COffsetScan::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels < 1 || channels > kMaxChannels) return err::kSizeLimit;
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    // In frame order across blocks: the result does not depend on the split.
    double sum = sums_[c];
    for (std::size_t i = c; i < std::size_t{frames} * channels; i += channels) sum += buffer[i];
    sums_[c] = sum;
  }
  frames_ += frames;
  return err::kOk;
}

void COffsetScan::Reset() {
  sums_ = {};
  frames_ = 0;
}

std::string COffsetScan::GetName() const { return std::string(UiText(text::kMenuExtrasRemoveDcOffset)); }

}  // namespace tidemark::NS_EFFECT
