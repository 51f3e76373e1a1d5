#include "effects/generators/noise_generator.h"

#include <array>
#include <atomic>

#include "effects/framework/range_gain.h"
#include "platform/alloc.h"
#include "platform/system_info.h"

namespace tidemark::NS_EFFECT_GENNOISE {

namespace {

constexpr std::array<SettingsField, 1> kFields{{
    {.name = "level", .type = FieldType::kI16, .offset = 0, .min = -9000, .max = -1000, .def = -2000,
     .unit = kUnitCentiDb},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

std::atomic<std::uint32_t> g_seed_state{0};

// Twelve values of 0..65535 sum to 6 x 65535 on average.
constexpr std::int32_t kGaussianCentre = 393210;
constexpr double kTopHalfRange = 65535.0;
constexpr double kTwoRootThree = 3.4641016151377544;  // makes the uniform form's RMS sigma

}  // namespace

std::uint32_t AdvanceSharedSeedGenerator() {
  std::uint32_t old = g_seed_state.load(std::memory_order_relaxed);
  std::uint32_t next = NextNoiseState(old);
  while (!g_seed_state.compare_exchange_weak(old, next, std::memory_order_relaxed)) next = NextNoiseState(old);
  return next;
}

std::uint32_t NewNoiseSeed() {
  const std::uint32_t s = static_cast<std::uint32_t>(TickCountMs()) + (AdvanceSharedSeedGenerator() >> 16);
  return s * 12345u + 83810205u;
}

CMyEffRun::CMyEffRun(float sigma) : sigma_(sigma) { SetSeed(NewNoiseSeed()); }

double CMyEffRun::Next() {
  if (!gaussian_) {
    state_ = NextNoiseState(state_);
    return ((state_ >> 16) - 32767.5) * sigma_ * kTwoRootThree / kTopHalfRange;
  }
  std::int32_t sum = 0;
  for (int i = 0; i < 12; ++i) {
    state_ = NextNoiseState(state_);
    sum += static_cast<std::int32_t>(state_ >> 16);
  }
  return (sum - kGaussianCentre) / kTopHalfRange * sigma_;
}

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  for (std::uint32_t f = 0; f < frames; ++f) {
    float* frame = buffer + std::size_t{f} * channels;
    for (std::uint16_t c = 0; c < channels; ++c)
      if (mask & (1u << c)) frame[c] = static_cast<float>(frame[c] + Next());
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(326) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  static_cast<MySetupParams&>(params).sigma = static_cast<float>(CentiDbToLinear(GetField(kFields[0], block.bytes)));
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  return MakeNew<CMyEffRun>(run, static_cast<const MySetupParams&>(params).sigma);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_GENNOISE
