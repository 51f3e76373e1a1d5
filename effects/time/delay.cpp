#include "effects/time/delay.h"

#include <algorithm>
#include <array>

#include "core/document/sound_document.h"
#include "effects/framework/range_gain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_DELAY {

namespace {

constexpr std::array<std::string_view, 2> kModes{"feedback", "feedforward"};
constexpr std::array<SettingsField, 4> kFields{{
    {.name = "time", .type = FieldType::kI16, .offset = 0, .min = 100, .max = 1000, .def = 400, .unit = kUnitMs},
    {.name = "feedback", .type = FieldType::kI16, .offset = 2, .min = -1500, .max = -100, .def = -300,
     .unit = kUnitCentiDb},
    {.name = "output", .type = FieldType::kI16, .offset = 4, .min = -1200, .max = 0, .def = 0,
     .unit = kUnitCentiDb},
    {.name = "mode", .type = FieldType::kU8, .offset = 6, .min = 0, .max = 1, .def = 0, .words = kModes},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

constexpr std::uint32_t kLines = 2;

std::uint32_t FramesFor(std::uint32_t ms, std::uint32_t rate) {
  return static_cast<std::uint32_t>(std::uint64_t{ms} * rate / 1000);
}

}  // namespace

Error CMyEffRun::Create(std::uint32_t rate, std::unique_ptr<CMyEffRun>* run) {
  std::unique_ptr<CMyEffRun> made;
  if (TryAlloc([&] { made.reset(new CMyEffRun(rate)); })) return err::kOutOfMemory;
  made->capacity_ = std::max<std::uint32_t>(FramesFor(kMaxDelayMs, rate), 1);
  if (MakeNew(&made->lines_, std::size_t{made->capacity_} * kLines)) return err::kOutOfMemory;
  made->Clear();
  *run = std::move(made);
  return err::kOk;
}

void CMyEffRun::Configure(std::uint32_t time_ms, float feedback, float output, std::uint8_t mode) {
  const std::uint32_t delay = std::clamp<std::uint32_t>(FramesFor(std::min(time_ms, kMaxDelayMs), rate_), 1,
                                                        capacity_);
  const float g = std::min(feedback, 0.9999f);
  if (delay != delay_ || g != feedback_) Clear();
  delay_ = delay;
  feedback_ = g;
  output_ = output;
  feed_forward_ = mode != 0;
}

void CMyEffRun::Clear() {
  std::fill_n(lines_.get(), std::size_t{capacity_} * kLines, 0.0f);
  position_ = 0;
}

void CMyEffRun::Reset() { Clear(); }

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  const std::uint16_t delayed = std::min<std::uint16_t>(channels, kLines);
  for (std::uint32_t f = 0; f < frames; ++f) {
    float* frame = buffer + std::size_t{f} * channels;
    for (std::uint16_t c = 0; c < delayed; ++c) {
      if (!(mask & (1u << c))) continue;
      float& held = lines_[std::size_t{c} * capacity_ + position_];
      const float x = frame[c];
      if (feed_forward_) {
        frame[c] = output_ * (x + feedback_ * held);
        held = x;
      } else {
        const float w = x + feedback_ * held;
        held = w;
        frame[c] = output_ * w;
      }
    }
    if (++position_ == delay_) position_ = 0;
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(312) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.time_ms = static_cast<std::uint32_t>(GetField(kFields[0], block.bytes));
  mine.feedback = static_cast<float>(CentiDbToLinear(GetField(kFields[1], block.bytes)));
  mine.output = static_cast<float>(CentiDbToLinear(GetField(kFields[2], block.bytes)));
  mine.mode = static_cast<std::uint8_t>(GetField(kFields[3], block.bytes));
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  std::unique_ptr<CMyEffRun> made;
  if (const Error rc = CMyEffRun::Create(mine.target ? mine.target->rate : 44100, &made)) return rc;
  made->Configure(mine.time_ms, mine.feedback, mine.output, mine.mode);
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_DELAY
