#include "effects/analysis/weighting.h"

#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {

WeightingFactory g_factory = nullptr;
char g_program_weighting = 0;

}  // namespace

void SetWeightingFactory(WeightingFactory factory) { g_factory = factory; }

void SetProgramWeighting(char letter) { g_program_weighting = letter == '0' ? 0 : letter; }
char ProgramWeighting() { return g_program_weighting; }

Error ParseWeighting(std::string_view option, char* letter, std::string* why) {
  const char first = option.empty() ? '0' : option.front();
  const char upper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
  if (upper == '0') {
    *letter = 0;
    return err::kOk;
  }
  if (g_factory && upper >= 'A' && upper <= 'D') {
    *letter = upper;
    return err::kOk;
  }
  const bool printable = static_cast<unsigned char>(first) > 32 && static_cast<unsigned char>(first) < 127;
  *why = "weighting ";
  *why += printable ? std::string(1, first) : std::string("(not a letter)");
  *why += g_factory ? " is unknown: use 0 (no weighting) or A, B, C, D"
                    : " is not available: only 0 (no weighting) is";
  return err::kSizeLimit;
}

Error MakeWeighting(char letter, std::uint32_t rate, std::uint16_t channels, StatisWeightingPtr* filter) {
  filter->reset();
  if (letter == 0) return err::kOk;
  if (!g_factory) return err::kSizeLimit;
  return g_factory(letter, rate, channels, filter);
}

}  // namespace tidemark::NS_EFFECT
