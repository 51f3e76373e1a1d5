#include "effects/dynamics/compress_effect.h"

#include <array>
#include <cmath>

#include "core/document/sound_document.h"
#include "effects/analysis/weighting.h"
#include "effects/dynamics/de_esser.h"
#include "effects/dynamics/lim_compress.h"
#include "effects/framework/range_gain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_COMPRESS {

namespace {

constexpr std::uint32_t kFallbackRate = 44100;  // a run set up without a document
constexpr FieldUnit kUnitRatio{": 1", 100.0, 2};

constexpr std::array<SettingsField, 6> kFields{{
    {.name = "ratio", .type = FieldType::kI16, .offset = 0, .min = 100, .max = 500, .def = 250, .unit = kUnitRatio},
    {.name = "threshold", .type = FieldType::kI16, .offset = 2, .min = -5000, .max = 0, .def = -1200,
     .unit = kUnitCentiDb},
    {.name = "window", .type = FieldType::kI16, .offset = 4, .min = 10, .max = 100, .def = 50, .unit = kUnitMs},
    {.name = "makeup", .type = FieldType::kI16, .offset = 6, .min = 0, .max = 1200, .def = 300,
     .unit = kUnitCentiDb},
    {.name = "frequency", .type = FieldType::kI16, .offset = 8, .min = 1200, .max = 6000, .def = 2400,
     .unit = kUnitPitchHz},
    {.name = "deesser", .type = FieldType::kU8, .offset = 10, .min = 0, .max = 1, .def = 0, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(303) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  const double ratio = GetField(kFields[0], block.bytes);
  const double threshold = GetField(kFields[1], block.bytes);
  const double makeup = GetField(kFields[3], block.bytes);
  mine.inv_ratio = static_cast<float>(100.0 / ratio);
  mine.threshold = static_cast<float>(CentiDbToLinear(threshold - makeup));
  mine.window_ms = static_cast<float>(GetField(kFields[2], block.bytes));
  mine.makeup = static_cast<float>(CentiDbToLinear(makeup));
  mine.frequency = static_cast<float>(1000.0 * std::exp2(GetField(kFields[4], block.bytes) / 1200.0));
  mine.de_esser = GetField(kFields[5], block.bytes) != 0 ? 1 : 0;
  mine.rate = mine.target ? mine.target->rate : kFallbackRate;
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& p = static_cast<const MySetupParams&>(params);
  const char weighting = NS_EFFECT::ProgramWeighting();
  std::unique_ptr<NS_EFFECT::CCompressIf> made;
  if (p.de_esser) {
    std::unique_ptr<NS_EFFECT::CDeEsser> de_esser;
    if (const Error rc = MakeNew(&de_esser, GetDisplayName())) return rc;
    if (const Error rc = de_esser->Init(p.rate, p.input_channels, p.inv_ratio, p.threshold, p.window_ms, p.makeup,
                                        p.frequency, weighting)) {
      return rc;
    }
    made = std::move(de_esser);
  } else {
    std::unique_ptr<NS_EFFECT::CLimCompress> compress;
    if (const Error rc = MakeNew(&compress, GetDisplayName())) return rc;
    if (const Error rc =
            compress->Init(p.rate, p.input_channels, p.inv_ratio, p.threshold, p.window_ms, p.makeup, weighting)) {
      return rc;
    }
    made = std::move(compress);
  }
  made->SetEnd(p.length);
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_COMPRESS
