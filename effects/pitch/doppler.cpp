#include "effects/pitch/doppler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <numbers>
#include <string_view>

#include "core/document/sound_document.h"
#include "dsp/stretch/sinc_kernel.h"
#include "effects/pitch/internal/resample_chain.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT_DOPPLER {

namespace {

constexpr std::array<std::string_view, 3> kModeWords{"pitch", "level", "both"};
constexpr FieldUnit kUnitKmh{"km/h", 1.0, 0};
constexpr std::array<SettingsField, 5> kFields{{
    {.name = "speed", .type = FieldType::kI16, .offset = 0, .min = -120, .max = 120, .def = 50, .unit = kUnitKmh},
    {.name = "distance", .type = FieldType::kI16, .offset = 2, .min = 100, .max = 500, .def = 300,
     .unit = kUnitCentiMetres},
    {.name = "mode", .type = FieldType::kI16, .offset = 4, .min = 0, .max = 2, .def = 2, .words = kModeWords},
    {.name = "spacing", .type = FieldType::kI16, .offset = 6, .min = 20, .max = 28, .def = 24,
     .unit = kUnitCentiMetres},
    {.name = "directional", .type = FieldType::kU8, .offset = 8, .min = 0, .max = 1, .def = 0, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

constexpr double kSoundMps = 340.0;
constexpr std::uint32_t kPiece = 2048;      // output frames per read
constexpr std::int64_t kWidestPiece = 4095;  // input frames a piece may span

class DopplerRun final : public CResampleEffRun {
 public:
  DopplerRun(const MySetupParams& p, std::uint16_t in_channels, std::string name)
      : start_(p.start), length_(p.length), in_channels_(in_channels), mode_(p.mode), option_(p.option),
        name_(std::move(name)), feed_(p.start, in_channels, 0) {
    const double rate = p.target->rate;
    v_ = p.speed / rate;
    c_ = kSoundMps / rate;
    d_ = p.distance;
    for (int ch = 0; ch < 2; ++ch) mic_[ch] = (ch == 0 ? -0.5 : 0.5) * p.spacing;
    const double half_path = v_ * length_ / 2;
    tau0_ = std::sqrt(half_path * half_path + d_ * d_) / c_;
  }

  Error Init() {
    if (const Error rc = kernel_.Init(0.45, 16)) return rc;
    first_ = 1 - kernel_.reach();
    feed_ = NS_EFFECT::DocumentFeed(start_, in_channels_, first_);
    const auto capacity = static_cast<std::size_t>(kWidestPiece + 1) + 2 * static_cast<std::size_t>(kernel_.reach()) + 2;
    if (const Error rc = window_.Init(in_channels_, capacity, first_)) return rc;
    try {
      weights_.resize(static_cast<std::size_t>(kernel_.taps()));
      for (auto& p : pos_) p.resize(kPiece);
      for (auto& g : gain_) g.resize(kPiece);
    } catch (const std::bad_alloc&) {
      return err::kOutOfMemory;
    }
    return err::kOk;
  }

  std::uint32_t SourceStart() const override { return start_; }
  std::uint32_t SourceLength() const override { return length_; }
  std::uint32_t OutputLength() const override { return length_; }
  std::uint16_t OutputChannels() const override { return 2; }
  std::string GetName() const override { return name_; }
  void Reset() override {
    done_ = 0;
    feed_.Reset();
    window_.Reset(first_);
  }

  Error Pull(PullSource& source, float* dst, std::uint32_t frames, std::uint32_t* delivered) override {
    feed_.SetSource(&source);
    const std::uint32_t total = std::min(frames, length_ - done_);
    std::uint32_t made = 0;
    while (made < total) {
      const std::uint32_t n = std::min(kPiece, total - made);
      double lo = 1e300, hi = -1e300;
      for (int ch = 0; ch < 2; ++ch)
        for (std::uint32_t j = 0; j < n; ++j) {
          Place(ch, done_ + j, &pos_[ch][j], &gain_[ch][j]);
          lo = std::min(lo, pos_[ch][j]);
          hi = std::max(hi, pos_[ch][j]);
        }
      if (hi - lo > kWidestPiece) return err::kSizeLimit;
      const int reach = kernel_.reach();
      if (const Error rc = window_.Ensure(feed_, static_cast<std::int64_t>(std::floor(lo)) + 1 - reach,
                                          static_cast<std::int64_t>(std::floor(hi)) + reach + 1))
        return rc;
      float* out = dst + std::size_t{made} * 2;
      const int taps = kernel_.taps();
      for (int ch = 0; ch < 2; ++ch) {
        const std::size_t from = std::min<std::size_t>(static_cast<std::size_t>(ch), in_channels_ - 1u);
        for (std::uint32_t j = 0; j < n; ++j) {
          const double t = pos_[ch][j];
          const double whole = std::floor(t);
          kernel_.Weights(t - whole, weights_.data());
          const float* x = window_.Frame(static_cast<std::int64_t>(whole) + 1 - reach);
          float sum = 0;
          for (int k = 0; k < taps; ++k)
            sum += weights_[static_cast<std::size_t>(k)] * x[static_cast<std::size_t>(k) * in_channels_ + from];
          out[std::size_t{j} * 2 + static_cast<std::size_t>(ch)] = sum * static_cast<float>(gain_[ch][j]);
        }
      }
      done_ += n;
      made += n;
    }
    *delivered = made;
    return err::kOk;
  }

 private:
  // The read position and level of output frame n at microphone `ch`.
  void Place(int ch, std::uint32_t n, double* position, double* gain) const {
    const double m = mic_[ch] + v_ * length_ / 2;
    const double x = (n + tau0_) * v_ - m;
    const double a = c_ * c_ - v_ * v_;
    const double tau = (std::sqrt((x * x + d_ * d_) * 4 * a + 4 * v_ * v_ * x * x) - 2 * v_ * x) / (2 * a);
    const double doppler = std::clamp(n + tau0_ - tau, 0.0, static_cast<double>(length_ - 1));
    *position = mode_ == 1 ? n : doppler;
    double g = mode_ == 0 ? 1.0 : std::abs(tau0_ / tau);
    if (option_ && mode_ != 0) {
      const double theta = std::atan2(d_, x - v_ * tau);
      const double facing = ch == 0 ? 0.75 * std::numbers::pi : 0.25 * std::numbers::pi;
      g *= 0.5 * (1 + std::cos(theta - facing));
    }
    *gain = g;
  }

  std::uint32_t start_, length_;
  std::uint16_t in_channels_;
  std::int32_t mode_;
  std::uint8_t option_;
  std::string name_;
  double v_ = 0, c_ = 0, d_ = 0, tau0_ = 0;
  double mic_[2] = {0, 0};
  std::int64_t first_ = 0;
  dsp::SincKernel kernel_;
  NS_EFFECT::DocumentFeed feed_;
  NS_EFFECT::FrameWindow window_;
  std::uint32_t done_ = 0;
  std::vector<float> weights_;
  std::vector<double> pos_[2], gain_[2];
};

}  // namespace

int LoadedSpeed(int stored_kmh) {
  if (stored_kmh == 0) return 20;
  if (std::abs(stored_kmh) < 20) return stored_kmh < 0 ? -20 : 20;
  return stored_kmh;
}

CMyEffEntry::CMyEffEntry() : CEffEntry(314) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& p = static_cast<MySetupParams&>(params);
  p.speed = static_cast<float>(LoadedSpeed(static_cast<int>(GetField(kFields[0], block.bytes))) * 1000.0 / 3600.0);
  p.distance = static_cast<float>(GetField(kFields[1], block.bytes) / 100.0);
  p.mode = static_cast<std::int32_t>(GetField(kFields[2], block.bytes));
  p.spacing = static_cast<float>(GetField(kFields[3], block.bytes) / 100.0);
  p.option = block.bytes[8];
  p.output_channels = 2;
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, ResampleEffRunPtr* run) {
  std::unique_ptr<DopplerRun> made;
  if (MakeNew(&made, static_cast<const MySetupParams&>(params), params.target->channels, GetDisplayName()))
    return err::kOutOfMemory;
  if (const Error rc = made->Init()) return rc;
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_DOPPLER
