#include "effects/generators/sine_generator.h"

#include <array>
#include <cmath>
#include <numbers>

#include "core/document/sound_document.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_GENSINE {

namespace {

constexpr std::array<std::string_view, 2> kDisplays{"hz", "note"};
constexpr std::array<SettingsField, 4> kFields{{
    {.name = "freq", .type = FieldType::kF32, .offset = 0, .min = 1, .max = 20000, .def = 440, .unit = kUnitHz,
     .max_for_rate = MaxFrequency},
    {.name = "level", .type = FieldType::kI16, .offset = 4, .min = 0, .max = 100, .def = 50,
     .unit = kUnitPercent},
    {.name = "display", .type = FieldType::kI16, .offset = 6, .min = 0, .max = 1, .def = 0, .words = kDisplays},
    {.name = "pitch", .type = FieldType::kI16, .offset = 8, .min = 350, .max = 450, .def = 440, .unit = kUnitHz},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

double MaxFrequency(std::uint32_t rate) { return rate < 40002 ? rate / 2.0 : 20000.0; }

CMyEffRun::CMyEffRun(std::uint32_t rate, float frequency, float amplitude)
    : step_(static_cast<double>(frequency) / rate),
      amplitude_(amplitude),
      start_phase_(step_ == 0.5 ? 0.25 : 0.0),
      phase_(start_phase_) {}

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  for (std::uint32_t f = 0; f < frames; ++f) {
    const double value = amplitude_ * std::sin(2 * std::numbers::pi * phase_);
    float* frame = buffer + std::size_t{f} * channels;
    for (std::uint16_t c = 0; c < channels; ++c)
      if (mask & (1u << c)) frame[c] = static_cast<float>(frame[c] + value);
    phase_ += step_;
    phase_ -= std::floor(phase_);
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(325) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.frequency = static_cast<float>(GetField(kFields[0], block.bytes));
  mine.amplitude = static_cast<float>(GetField(kFields[1], block.bytes) / 100.0);
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  std::unique_ptr<CMyEffRun> made;
  if (MakeNew(&made, mine.target ? mine.target->rate : 44100u, mine.frequency, mine.amplitude))
    return err::kOutOfMemory;
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_GENSINE
