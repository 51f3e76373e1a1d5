#include "effects/convolution/fir_file.h"

#include <array>
#include <vector>

#include "core/document/sound_document.h"
#include "effects/convolution/part_conv.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT_FIRFILE {

namespace {

constexpr std::uint32_t kFallbackRate = 44100;  // a run set up without a document

constexpr std::array<SettingsField, 2> kFields{{
    {.name = "normalise", .type = FieldType::kU8, .offset = 0, .min = 0, .max = 1, .def = 1, .flag = true},
    {.name = "wide", .type = FieldType::kU8, .offset = 1, .min = 0, .max = 1, .def = 1, .flag = true},
}};
constexpr SettingsText kText{.name = "file", .wide_flag_offset = 1};
constexpr SettingsLayout kLayout{kBlockSize, kFields, &kText};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(310) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.normalise = GetField(kFields[0], block.bytes) != 0;
  mine.rate = mine.target ? mine.target->rate : kFallbackRate;
  const std::string path = GetBlockText(kLayout, block);
  if (path.empty()) {
    // No file chosen: a unit impulse, the sound passes unchanged.
    return TryAlloc([&] { mine.ir = NS_EFFECT::ImpulseResponse{mine.rate, 1, {{1.0f}}, 0}; });
  }
  if (const Error rc = NS_EFFECT::LoadImpulseResponse(path, &mine.ir)) return rc;
  return NS_EFFECT::ConvertResponseRate(&mine.ir, mine.rate);
}

Error CMyEffEntry::CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) {
  const auto& p = static_cast<const MySetupParams&>(params);
  if (p.ir.channels.empty()) return NS_EFFECT::kResponseLength;
  std::vector<const float*> responses;
  if (const Error rc = TryAlloc([&] {
        for (const auto& c : p.ir.channels) responses.push_back(c.data());
      })) {
    return rc;
  }
  return NS_EFFECT::MakeConvolutionRun(responses.data(), p.ir.frames, static_cast<std::uint16_t>(responses.size()),
                                       p.input_channels, p.rate, p.normalise, p.ir.delay, false, run, scope);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_FIRFILE
