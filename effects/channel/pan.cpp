#include "effects/channel/pan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/document/sound_document.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_PAN {

namespace {

constexpr std::array<SettingsField, 4> kFields{{
    {.name = "angle", .type = FieldType::kI16, .offset = 0, .min = -90, .max = 90, .def = 45,
     .unit = kUnitDegrees},
    {.name = "distance", .type = FieldType::kI16, .offset = 2, .min = 50, .max = 600, .def = 100,
     .unit = kUnitCentiMetres},
    {.name = "spacing", .type = FieldType::kI16, .offset = 4, .min = 20, .max = 28, .def = 24,
     .unit = kUnitCentiMetres},
    {.name = "widen", .type = FieldType::kU8, .offset = 6, .min = 0, .max = 1, .def = 0, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

constexpr double kSpeedOfSound = 340.0;             // m/s
constexpr double kWidestDelay = 0.0008235294117647059;  // s: 0.28 m at 340 m/s
constexpr float kWidening = 0.4f;

}  // namespace

Error CMyEffRun::Create(std::uint32_t rate, float position, float distance, float spacing, bool widen,
                        std::unique_ptr<CMyEffRun>* run) {
  std::unique_ptr<CMyEffRun> made;
  if (TryAlloc([&] { made.reset(new CMyEffRun()); })) return err::kOutOfMemory;
  const double theta = (position + 1.0) * std::numbers::pi / 2;
  const double r = distance, half = spacing / 2.0;
  const double x = r * std::cos(theta), y = r * std::sin(theta);
  const double d1 = std::sqrt((x - half) * (x - half) + y * y);
  const double d2 = std::sqrt((x + half) * (x + half) + y * y);
  const double widest = std::floor(rate * kWidestDelay + 0.5);
  const double delay = std::floor(std::fabs(d2 - d1) * rate / kSpeedOfSound + 0.5);
  made->delay_ = static_cast<std::uint32_t>(std::min(widest, delay));
  made->far_ = position >= 0 ? 1 : 0;
  made->far_gain_ = static_cast<float>(position >= 0 ? d2 / d1 : d1 / d2);
  made->widen_ = widen ? kWidening : 0.0f;
  made->history_frames_ = std::max<std::uint32_t>(rate / 100, 1);
  if (MakeNew(&made->history_, made->history_frames_)) return err::kOutOfMemory;
  if (made->delay_ > 0 && MakeNew(&made->line_, made->delay_)) return err::kOutOfMemory;
  made->Reset();
  *run = std::move(made);
  return err::kOk;
}

void CMyEffRun::Reset() {
  std::fill_n(history_.get(), history_frames_, 0.0f);
  if (line_) std::fill_n(line_.get(), delay_, 0.0f);
  history_pos_ = 0;
  line_pos_ = 0;
}

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t) {
  if (channels != 2) return err::kOk;
  for (std::uint32_t f = 0; f < frames; ++f) {
    float* frame = buffer + std::size_t{f} * 2;
    if (widen_ > 0) {
      const float mid = (frame[0] + frame[1]) * 0.5f;
      const float side = widen_ * history_[history_pos_];
      frame[0] = mid + side;
      frame[1] = mid - side;
      history_[history_pos_] = mid;
      if (++history_pos_ == history_frames_) history_pos_ = 0;
    }
    if (delay_ > 0) {
      const float now = frame[far_];
      frame[far_] = line_[line_pos_] * far_gain_;
      line_[line_pos_] = now;
      if (++line_pos_ == delay_) line_pos_ = 0;
    }
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(313) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.position = static_cast<float>(GetField(kFields[0], block.bytes) / 90.0);
  mine.distance = static_cast<float>(GetField(kFields[1], block.bytes) / 100.0);
  mine.spacing = static_cast<float>(GetField(kFields[2], block.bytes) / 100.0);
  mine.widen = GetField(kFields[3], block.bytes) != 0 ? 1 : 0;
  // A source between two microphones always gives two channels.
  mine.output_channels = 2;
  mine.channel_mask = 3;
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  std::unique_ptr<CMyEffRun> made;
  if (const Error rc = CMyEffRun::Create(mine.target ? mine.target->rate : 44100, mine.position, mine.distance,
                                         mine.spacing, mine.widen != 0, &made))
    return rc;
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_PAN
