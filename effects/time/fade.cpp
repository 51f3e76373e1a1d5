#include "effects/time/fade.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_FADE {

namespace {

constexpr std::array<std::string_view, 4> kShapes{"in", "out", "out-in", "in-out"};
constexpr std::array<SettingsField, 1> kFields{{
    {.name = "shape", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 3, .def = 0, .words = kShapes},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

// Directions (d0, d1) of each shape.
constexpr std::array<std::array<std::int16_t, 2>, 4> kDirections{{{0, 0}, {1, 1}, {1, 0}, {0, 1}}};

}  // namespace

namespace {

// The line's positions t[k] = (first + k) / n: the frame counts are whole
// numbers below 2^53, exact as doubles, so each is the same quotient as
// frame / n, divided in one vector loop (wider where the processor has it).
__attribute__((target_clones("avx2", "default"))) void LinePositions(double first, double n, std::uint32_t m,
                                                                      double* t) {
  for (std::uint32_t k = 0; k < m; ++k) t[k] = (first + static_cast<double>(k)) / n;
}

}  // namespace

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  const double n = length_ ? static_cast<double>(length_) : 1.0;
  const std::uint16_t faded = channels < 2 ? channels : std::uint16_t{2};
  constexpr std::uint32_t kChunk = 512;
  double t[kChunk];
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t m = std::min(kChunk, frames - done);
    LinePositions(static_cast<double>(frame_), n, m, t);
    float* chunk = buffer + std::size_t{done} * channels;
    if (channels == 2 && (mask & 3) == 3) {
      const double d0 = d_[0], d1 = d_[1];
      for (std::uint32_t k = 0; k < m; ++k) {
        chunk[2 * k] = static_cast<float>(chunk[2 * k] * std::fabs(d0 - t[k]));
        chunk[2 * k + 1] = static_cast<float>(chunk[2 * k + 1] * std::fabs(d1 - t[k]));
      }
    } else {
      for (std::uint16_t c = 0; c < faded; ++c) {
        if (!(mask & (1u << c))) continue;
        const double d = d_[c];
        for (std::uint32_t k = 0; k < m; ++k) {
          float& x = chunk[std::size_t{k} * channels + c];
          x = static_cast<float>(x * std::fabs(d - t[k]));
        }
      }
    }
    frame_ += m;
    done += m;
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(304) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  const auto shape = static_cast<std::size_t>(GetField(kFields[0], block.bytes));
  mine.d0 = kDirections[shape][0];
  mine.d1 = kDirections[shape][1];
  // The crossed shapes need both channels, so a mono selection becomes stereo.
  if (shape >= 2) {
    mine.output_channels = 2;
    mine.channel_mask = 3;
  }
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  return MakeNew<CMyEffRun>(run, mine.d0, mine.d1, mine.length);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_FADE
