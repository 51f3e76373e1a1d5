#include "effects/restoration/hiss_reduction.h"

#include <array>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include "core/document/sound_document.h"
#include "core/edit/sound_clip.h"
#include "effects/restoration/hiss_run.h"
#include "effects/restoration/noise_profile.h"
#include "effects/restoration/noise_sample.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_HISS {

namespace {

constexpr std::array<std::string_view, 3> kModeWords{"hiss", "broadband", "tonal"};
constexpr FieldUnit kUnitReductionDb{"dB", -100.0, 0};
constexpr FieldUnit kUnitToneDb{"dB", 100.0, 1};

constexpr std::array<SettingsField, 7> kFields{{
    {.name = "mode", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 2, .def = 1, .words = kModeWords},
    {.name = "strength", .type = FieldType::kI16, .offset = 2, .min = 1, .max = 3, .def = 2},
    {.name = "reduction", .type = FieldType::kI16, .offset = 4, .min = -3000, .max = 0, .def = -1000,
     .unit = kUnitReductionDb, .step = 100},
    {.name = "tone", .type = FieldType::kI16, .offset = 6, .min = -600, .max = 600, .def = 0, .unit = kUnitToneDb,
     .step = 50},
    {.name = "fft", .type = FieldType::kI16, .offset = 8, .min = 0, .max = 3, .def = 0},
    {.name = "usesample", .type = FieldType::kU8, .offset = 10, .min = 0, .max = 1, .def = 1, .flag = true},
    {.name = "smoothing", .type = FieldType::kU8, .offset = 11, .min = 0, .max = 1, .def = 1, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

// A tonal line stands this much (power ratio, 6 dB) over its valleys.
constexpr double kTonalProminence = 4.0;
// Tonal mode counts the lines 12 dB stronger.
constexpr float kTonalWeight = 16.0f;
// The decision-directed estimate's weight of the previous frame.
constexpr float kSmoothing = 0.98f;

// The noise power the run compares channel `c` against: the profile's own
// channel when the source has the run's layout and measured it, the one
// measured channel, or the mean of the measured ones. `*from` gets the
// profile channel taken, or -1 for the mean.
std::vector<float> ProfileFor(const NoiseProfile& profile, std::uint16_t run_channels, std::uint16_t c, int* from) {
  std::vector<int> measured;
  for (std::uint16_t i = 0; i < profile.channels; ++i)
    if (!profile.power[i].empty()) measured.push_back(i);
  *from = profile.channels == run_channels && c < profile.channels && !profile.power[c].empty() ? c
          : measured.size() == 1                                                                  ? measured[0]
                                                                                                  : -1;
  if (*from >= 0) return profile.power[static_cast<std::size_t>(*from)];
  std::vector<float> mean(profile.fft_length / 2 + 1, 0.0f);
  for (const int i : measured)
    for (std::size_t k = 0; k < mean.size(); ++k)
      mean[k] += profile.power[static_cast<std::size_t>(i)][k] / static_cast<float>(measured.size());
  return mean;
}

// The profile (channel `from`, or a mean of channels for -1) turned into the
// noise the gain rule sees, by the mode, the strength and the tone setting.
void ShapeNoise(const MySetupParams& p, const NoiseProfile& profile, int from, std::vector<float>& noise) {
  if (p.mode != kBroadband) {
    std::vector<dsp::BinClass> mean_classes;
    if (from < 0) dsp::ClassifyBins(noise, profile.ClassifiedBins(), &mean_classes);
    const std::vector<dsp::BinClass>& classes = from < 0 ? mean_classes : profile.classes[static_cast<std::size_t>(from)];
    for (const dsp::TonalRegion& r : dsp::FindTonalRegions(noise, classes, kTonalProminence)) {
      const std::size_t width = r.last - r.first + 2;
      for (std::size_t k = r.first; k <= r.last; ++k) {
        if (p.mode == kTonal) {
          noise[k] *= kTonalWeight;
        } else {
          // The floor between the valleys, geometric along the region.
          const double t = static_cast<double>(k - r.first + 1) / static_cast<double>(width);
          const double left = std::max(r.floor_left, 1e-30f), right = std::max(r.floor_right, 1e-30f);
          noise[k] = static_cast<float>(std::exp((1 - t) * std::log(left) + t * std::log(right)));
        }
      }
    }
  }
  const double over = std::exp2(p.strength - 1);  // 0, 3 or 6 dB
  const double hz_per_bin = static_cast<double>(profile.rate) / profile.fft_length;
  for (std::size_t k = 0; k < noise.size(); ++k) {
    double weight = over;
    if (p.tone_db != 0 && k > 0) {
      const double rise = std::clamp(std::log2(static_cast<double>(k) * hz_per_bin / 1000.0) / 3.0, 0.0, 1.0);
      weight *= std::pow(10.0, p.tone_db * rise / 10.0);
    }
    noise[k] = static_cast<float>(noise[k] * weight);
  }
}

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(316) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& p = static_cast<MySetupParams&>(params);
  p.mode = static_cast<std::int16_t>(GetField(kFields[0], block.bytes));
  p.strength = static_cast<std::int16_t>(GetField(kFields[1], block.bytes));
  p.reduction_db = -GetField(kFields[2], block.bytes) / 100.0;
  p.tone_db = GetField(kFields[3], block.bytes) / 100.0;
  p.fft_choice = static_cast<int>(GetField(kFields[4], block.bytes));
  p.use_sample = GetField(kFields[5], block.bytes) != 0;
  p.smoothing = GetField(kFields[6], block.bytes) != 0;
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) {
  auto& p = static_cast<MySetupParams&>(params);
  if (!p.target) return err::kSizeLimit;
  const SoundDocument& document = *p.target;
  const std::uint32_t fft_length = HissFftLength(document.rate, p.fft_choice);

  // The profile's source: the noise sample when asked for and there is
  // one, else the selection. A noise sample is meant to be a clean print
  // of the noise and must hold a whole frame; a shorter selection is
  // measured as it stands.
  ClipRef source = p.use_sample ? CurrentNoiseSample() : ClipRef();
  std::uint32_t source_mask = 0;
  if (source) {
    if (source->rate != document.rate) return kRatesDiffer;
    if (source->length < fft_length) return kTooShort;
    source_mask = source->channels == 1 ? 1u : 3u;
  } else {
    if (const Error rc = CopyToClip(document, p.start, p.start + p.length, &source)) return rc;
    source_mask = p.channel_mask;
  }
  std::shared_ptr<const NoiseProfile> profile;
  if (const Error rc = ProfileCache().Get(scope, source, source_mask, fft_length, &profile)) return rc;

  std::vector<std::vector<float>> noise;
  if (const Error rc = TryAlloc([&] {
        noise.resize(p.input_channels);
        for (std::uint16_t c = 0; c < p.input_channels; ++c) {
          if (!(p.channel_mask & (1u << c))) continue;
          int from = -1;
          noise[c] = ProfileFor(*profile, p.input_channels, c, &from);
          ShapeNoise(p, *profile, from, noise[c]);
        }
      }))
    return rc;
  dsp::DenoiseSettings settings;
  settings.floor_gain = static_cast<float>(std::pow(10.0, -p.reduction_db / 20.0));
  settings.smoothing = p.smoothing ? kSmoothing : 0.0f;
  settings.smooth_frequency = p.smoothing;
  std::unique_ptr<CHissRun> made;
  if (const Error rc = MakeNew(&made, GetDisplayName())) return rc;
  if (const Error rc = made->Init(p.input_channels, p.channel_mask, fft_length, noise, settings)) return rc;
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_HISS
