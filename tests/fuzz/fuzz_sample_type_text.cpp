// Any text either fails to parse or gives a kind and code that the file kind
// can store, whose own text form parses back to the same kind and sample
// type. Only "Raw" texts carry byte order, so for the other kinds the code
// may come back in the kind's default order (AIFC keeps either).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/samples/sample_type_text.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = ParseSampleTypeText(text);
  if (!parsed) return 0;
  if (!IsSupportedSampleCode(parsed->code)) std::abort();
  const NormalisedCode again = NormaliseForKind(parsed->kind, parsed->code);
  if (again.invalid || again.code != parsed->code) std::abort();
  const auto round_trip = ParseSampleTypeText(SampleTypeText(parsed->kind, parsed->code));
  if (!round_trip || round_trip->kind != parsed->kind) std::abort();
  const SampleCode order_free = SampleCode(~sample_code::kBigEndianBit);
  if (parsed->kind == PcmFileKind::Raw ? round_trip->code != parsed->code
                                       : (round_trip->code & order_free) != (parsed->code & order_free))
    std::abort();
  return 0;
}
