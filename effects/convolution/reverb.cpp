#include "effects/convolution/reverb.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

#include "core/document/sound_document.h"
#include "effects/convolution/part_conv.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT_REVERB {

namespace {

constexpr std::uint32_t kFallbackRate = 44100;
constexpr FieldUnit kUnitMetres{"m", 1.0, 2};
constexpr FieldUnit kUnitTenthSeconds{"s", 10.0, 1};
constexpr std::string_view kPatternWords[] = {"omni",          "subcardioid",   "cardioid",
                                              "supercardioid", "hypercardioid", "figure8"};

enum Field : std::size_t {
  kSourceX, kSourceY, kListenerX, kListenerY, kWallAbsorption, kFloorAbsorption, kShape, kReflections,
  kDiffusion, kFloor, kPattern, kDirect, kMicAngle, kMicSpacing, kNormalise,
  kBand1Freq, kBand1Width, kBand2Freq, kBand2Width, kBand3Freq, kBand3Width,
  kLowLevel, kTurnover, kHighLevel, kLength, kFieldCount
};

constexpr double kFar = 1000.0;  // position fields' range; the room decides what is inside

constexpr std::array<SettingsField, kFieldCount> kFields{{
    {.name = "source-x", .type = FieldType::kF32, .offset = 0, .min = -kFar, .max = kFar, .def = 3.0,
     .unit = kUnitMetres},
    {.name = "source-y", .type = FieldType::kF32, .offset = 4, .min = -kFar, .max = kFar, .def = 2.0,
     .unit = kUnitMetres},
    {.name = "listener-x", .type = FieldType::kF32, .offset = 8, .min = -kFar, .max = kFar, .def = 5.0,
     .unit = kUnitMetres},
    {.name = "listener-y", .type = FieldType::kF32, .offset = 12, .min = -kFar, .max = kFar, .def = 4.0,
     .unit = kUnitMetres},
    {.name = "wall-absorption", .type = FieldType::kI16, .offset = 16, .min = 80, .max = 180, .def = 125},
    {.name = "floor-absorption", .type = FieldType::kI16, .offset = 18, .min = 80, .max = 180, .def = 135},
    {.name = "shape", .type = FieldType::kI16, .offset = 20, .min = 4, .max = 5, .def = 4},
    {.name = "reflections", .type = FieldType::kI16, .offset = 22, .min = 2, .max = 15, .def = 12},
    {.name = "diffusion", .type = FieldType::kI16, .offset = 24, .min = 80, .max = 98, .def = 94,
     .unit = kUnitPercent},
    {.name = "floor", .type = FieldType::kI16, .offset = 26, .min = -8000, .max = -4000, .def = -5000,
     .unit = kUnitCentiDb},
    {.name = "pattern", .type = FieldType::kI16, .offset = 28, .min = 0, .max = 5, .def = 0,
     .words = kPatternWords},
    {.name = "direct", .type = FieldType::kU8, .offset = 30, .min = 0, .max = 1, .def = 1, .flag = true},
    {.name = "mic-angle", .type = FieldType::kI16, .offset = 32, .min = 0, .max = 359, .def = 0,
     .unit = kUnitDegrees},
    {.name = "mic-spacing", .type = FieldType::kI16, .offset = 34, .min = 20, .max = 28, .def = 24,
     .unit = kUnitCentiMetres},
    {.name = "normalise", .type = FieldType::kU8, .offset = 36, .min = 0, .max = 1, .def = 1, .flag = true},
    {.name = "band1", .type = FieldType::kI16, .offset = 38, .min = -6000, .max = 6000, .def = -1200,
     .unit = kUnitPitchHz},
    {.name = "band1-width", .type = FieldType::kI16, .offset = 40, .min = 100, .max = 600, .def = 300,
     .unit = kUnitCents},
    {.name = "band2", .type = FieldType::kI16, .offset = 42, .min = -6000, .max = 6000, .def = 0,
     .unit = kUnitPitchHz},
    {.name = "band2-width", .type = FieldType::kI16, .offset = 44, .min = 100, .max = 600, .def = 300,
     .unit = kUnitCents},
    {.name = "band3", .type = FieldType::kI16, .offset = 46, .min = -6000, .max = 6000, .def = 1200,
     .unit = kUnitPitchHz},
    {.name = "band3-width", .type = FieldType::kI16, .offset = 48, .min = 100, .max = 600, .def = 300,
     .unit = kUnitCents},
    {.name = "low-level", .type = FieldType::kI16, .offset = 50, .min = -2000, .max = 1000, .def = 0,
     .unit = kUnitCentiDb},
    {.name = "turnover", .type = FieldType::kI16, .offset = 52, .min = 300, .max = 3600, .def = 1200,
     .unit = kUnitHz},
    {.name = "high-level", .type = FieldType::kI16, .offset = 54, .min = -2000, .max = 1000, .def = -600,
     .unit = kUnitCentiDb},
    {.name = "length", .type = FieldType::kI16, .offset = 56, .min = 10, .max = 60, .def = 20,
     .unit = kUnitTenthSeconds},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

constexpr double kSpeedOfSound = 343.0;  // m/s
constexpr double kRoomDepth = 6.0;       // m (y)
constexpr double kRoomHeight = 3.0;      // m (z)
constexpr double kEarHeight = 1.5;       // m
constexpr double kMinDistance = 0.1;     // m
constexpr double kMicSplay = 55.0;       // degrees each side of the facing direction
constexpr double kBandGainDb = 4.0;
constexpr double kTailReferenceSeconds = 0.5;
constexpr std::uint32_t kNoiseSeed = 0x52564231;
constexpr std::array<double, 6> kPatternOmni = {1.0, 0.7, 0.5, 0.37, 0.25, 0.0};

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

// A second-order section in direct form I, run in double.
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  void Run(std::vector<double>& x, std::size_t from) const {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t i = from; i < x.size(); ++i) {
      const double in = x[i];
      const double out = b0 * in + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1;
      x1 = in;
      y2 = y1;
      y1 = out;
      x[i] = out;
    }
  }
};

Biquad Normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
  return Biquad{b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// Peak of `db` at `hz`, `octaves` wide (the familiar cookbook forms).
Biquad Peak(double hz, double octaves, double db, double rate) {
  const double a = std::pow(10.0, db / 40.0);
  const double w = 2 * std::numbers::pi * hz / rate;
  const double alpha = std::sin(w) * std::sinh(std::numbers::ln2 / 2 * octaves * w / std::sin(w));
  return Normalised(1 + alpha * a, -2 * std::cos(w), 1 - alpha * a, 1 + alpha / a, -2 * std::cos(w), 1 - alpha / a);
}

// Shelf of `db` below (low) or above `hz`, slope 1.
Biquad Shelf(bool low, double hz, double db, double rate) {
  const double a = std::pow(10.0, db / 40.0);
  const double w = 2 * std::numbers::pi * hz / rate;
  const double c = std::cos(w), alpha = std::sin(w) / 2 * std::sqrt(2.0);
  const double s = 2 * std::sqrt(a) * alpha;
  if (low) {
    return Normalised(a * ((a + 1) - (a - 1) * c + s), 2 * a * ((a - 1) - (a + 1) * c), a * ((a + 1) - (a - 1) * c - s),
                      (a + 1) + (a - 1) * c + s, -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - s);
  }
  return Normalised(a * ((a + 1) + (a - 1) * c + s), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - s),
                    (a + 1) - (a - 1) * c + s, 2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - s);
}

// Image source coordinate along one axis of length `size` for index m
// (|m| reflections off that axis' walls).
double Image(int m, double pos, double size) {
  return (m % 2 == 0) ? m * size + pos : (m + 1) * size - pos;
}

bool Inside(double x, double y, double width) {
  return std::isfinite(x) && std::isfinite(y) && x > 0 && x < width && y > 0 && y < kRoomDepth;
}

// Adds `gain` at fractional frame `at` (linear interpolation).
void Place(std::vector<double>& h, double at, double gain) {
  const auto i = static_cast<std::size_t>(at);
  const double frac = at - static_cast<double>(i);
  if (i < h.size()) h[i] += gain * (1 - frac);
  if (i + 1 < h.size()) h[i + 1] += gain * frac;
}

// Uniform noise of unit variance from a 32-bit generator (the same on every
// platform).
double Noise(std::mt19937& gen) {
  const double u = (static_cast<double>(gen()) + 0.5) / 4294967296.0;
  return (2 * u - 1) * std::sqrt(3.0);
}

struct Settings {
  double source_x, source_y, listener_x, listener_y;
  double wall, floor_abs;
  int shape, reflections;
  double diffusion, floor_db;
  int pattern;
  bool direct;
  double mic_angle, mic_spacing;
  double bands[3][2];
  double low_db, turnover, high_db;
  double length;
};

Settings Decode(const SettingsBlock& stored, std::uint32_t rate) {
  const SettingsBlock b = LoadBlock(kLayout, stored, rate);
  const auto f = [&](Field i) { return GetField(kFields[i], b.bytes); };
  Settings s{};
  s.source_x = f(kSourceX);
  s.source_y = f(kSourceY);
  s.listener_x = f(kListenerX);
  s.listener_y = f(kListenerY);
  s.wall = f(kWallAbsorption);
  s.floor_abs = f(kFloorAbsorption);
  s.shape = static_cast<int>(f(kShape));
  s.reflections = static_cast<int>(f(kReflections));
  s.diffusion = f(kDiffusion);
  s.floor_db = f(kFloor) / 100.0;
  s.pattern = static_cast<int>(f(kPattern));
  s.direct = f(kDirect) != 0;
  s.mic_angle = f(kMicAngle);
  s.mic_spacing = f(kMicSpacing) / 100.0;
  for (std::size_t band = 0; band < 3; ++band) {
    s.bands[band][0] = 1000.0 * std::exp2(f(static_cast<Field>(kBand1Freq + 2 * band)) / 1200.0);
    s.bands[band][1] = f(static_cast<Field>(kBand1Width + 2 * band)) / 1200.0;
  }
  s.low_db = f(kLowLevel) / 100.0;
  s.turnover = f(kTurnover);
  s.high_db = f(kHighLevel) / 100.0;
  s.length = f(kLength) / 10.0;
  return s;
}

}  // namespace

const SettingsLayout& Layout() { return kLayout; }

bool NormaliseOption(const SettingsBlock& block, std::uint32_t rate) {
  return GetField(kFields[kNormalise], LoadBlock(kLayout, block, rate).bytes) != 0;
}

Error SynthesiseRoomResponse(const SettingsBlock& block, std::uint32_t rate, NS_EFFECT::ImpulseResponse* out,
                             bool* moved) {
  *out = NS_EFFECT::ImpulseResponse{};
  if (rate == 0) return err::kSizeLimit;
  return TryAlloc([&]() -> Error {
    Settings s = Decode(block, rate);
    const double width = 2.0 * s.shape;
    const Vec3 room{width, kRoomDepth, kRoomHeight};
    bool replaced = false;
    if (!Inside(s.source_x, s.source_y, width)) {
      s.source_x = kFallbackX;
      s.source_y = kFallbackY;
      replaced = true;
    }
    if (!Inside(s.listener_x, s.listener_y, width)) {
      s.listener_x = kFallbackX;
      s.listener_y = kFallbackY;
      replaced = true;
    }
    if (moved) *moved = replaced;
    const Vec3 source{s.source_x, s.source_y, kEarHeight};

    // The microphones face the source turned by the angle.
    double facing = std::atan2(s.source_y - s.listener_y, s.source_x - s.listener_x);
    if (s.source_x == s.listener_x && s.source_y == s.listener_y) facing = std::numbers::pi / 2;
    facing += s.mic_angle * std::numbers::pi / 180.0;
    const double splay = kMicSplay * std::numbers::pi / 180.0;
    struct Mic {
      Vec3 at;
      Vec3 axis;
    };
    std::array<Mic, 2> mics;
    for (int m = 0; m < 2; ++m) {
      const double side = m == 0 ? 1.0 : -1.0;  // left of the facing direction first
      const double across = facing + side * std::numbers::pi / 2;
      mics[m].at = {s.listener_x + s.mic_spacing / 2 * std::cos(across),
                    s.listener_y + s.mic_spacing / 2 * std::sin(across), kEarHeight};
      const double aim = facing + side * splay;
      mics[m].axis = {std::cos(aim), std::sin(aim), 0.0};
    }
    const double omni = kPatternOmni[static_cast<std::size_t>(s.pattern)];
    const auto pattern_gain = [&](const Mic& mic, const Vec3& from, double distance) {
      const double c = ((from.x - mic.at.x) * mic.axis.x + (from.y - mic.at.y) * mic.axis.y +
                        (from.z - mic.at.z) * mic.axis.z) / distance;
      return omni + (1 - omni) * c;
    };
    const auto distance_to = [](const Vec3& a, const Vec3& b) {
      return std::max(kMinDistance, std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                                              (a.z - b.z) * (a.z - b.z)));
    };
    const double frames_per_metre = rate / kSpeedOfSound;
    double direct_frames[2];
    for (int m = 0; m < 2; ++m) direct_frames[m] = distance_to(source, mics[m].at) * frames_per_metre;
    const double direct_at = std::min(direct_frames[0], direct_frames[1]);

    const int n = s.reflections;
    const double t60 = s.length * 125.0 / ((2 * s.wall + s.floor_abs) / 3);
    const double tail_end = direct_at + t60 * (s.floor_db / -60.0) * rate;
    const double frames_d = std::ceil(tail_end) + 2;
    if (frames_d > NS_EFFECT::CPartConv::kMaxLength) return err::kSizeLimit;
    const auto frames = static_cast<std::size_t>(frames_d);

    const double r_wall = std::sqrt(1 - s.wall / 200.0);
    const double r_floor = std::sqrt(1 - s.floor_abs / 200.0);
    const double tb = (100.0 - s.diffusion) * 0.002 * rate;  // frames
    const double decay = std::log(1000.0) / (t60 * rate);    // amplitude, per frame
    // Tail energy = direct sound at 1 m x T60 / 0.5 s x the pattern's
    // diffuse-field power; the envelope's sum of squares sets its scale.
    const double diffuse_power = omni * omni + (1 - omni) * (1 - omni) / 3;
    double envelope_energy = 0;
    for (std::size_t i = static_cast<std::size_t>(direct_at); i < frames; ++i) {
      const double t = static_cast<double>(i) - direct_at;
      if (t < 0) continue;
      const double e = (1 - std::exp(-t / tb)) * std::exp(-decay * t);
      envelope_energy += e * e;
    }
    const double tail_gain =
        envelope_energy > 0 ? std::sqrt(t60 / kTailReferenceSeconds * diffuse_power / envelope_energy) : 0.0;

    std::vector<Biquad> colour;
    for (const auto& band : s.bands)
      if (band[0] < 0.45 * rate) colour.push_back(Peak(band[0], band[1], kBandGainDb, rate));
    if (s.turnover < 0.45 * rate) {
      colour.push_back(Shelf(true, s.turnover, s.low_db, rate));
      colour.push_back(Shelf(false, s.turnover, s.high_db, rate));
    }

    out->rate = rate;
    out->frames = static_cast<std::uint32_t>(frames);
    out->delay = static_cast<std::uint32_t>(direct_at);
    out->channels.assign(2, std::vector<float>(frames));
    std::mt19937 gen(kNoiseSeed);
    std::vector<double> h(frames), tail(frames);
    for (int m = 0; m < 2; ++m) {
      std::fill(h.begin(), h.end(), 0.0);
      const Mic& mic = mics[m];
      for (int nx = -n; nx <= n; ++nx) {
        const Vec3 ix{Image(nx, source.x, room.x), 0, 0};
        const int left_x = n - std::abs(nx);
        for (int ny = -left_x; ny <= left_x; ++ny) {
          const int left_y = left_x - std::abs(ny);
          for (int nz = -left_y; nz <= left_y; ++nz) {
            const int walls = std::abs(nx) + std::abs(ny);
            const int floors = std::abs(nz);
            if (walls + floors == 0 && !s.direct) continue;
            const Vec3 image{ix.x, Image(ny, source.y, room.y), Image(nz, source.z, room.z)};
            const double d = distance_to(image, mic.at);
            const double at = d * frames_per_metre;
            if (at >= static_cast<double>(frames)) continue;
            const double gain =
                std::pow(r_wall, walls) * std::pow(r_floor, floors) / d * pattern_gain(mic, image, d);
            Place(h, at, gain);
          }
        }
      }
      // The tail, coloured on its own.
      std::fill(tail.begin(), tail.end(), 0.0);
      const auto first = static_cast<std::size_t>(std::ceil(direct_at));
      for (std::size_t i = first; i < frames; ++i) {
        const double t = static_cast<double>(i) - direct_at;
        tail[i] = tail_gain * (1 - std::exp(-t / tb)) * std::exp(-decay * t) * Noise(gen);
      }
      for (const Biquad& q : colour) q.Run(tail, first);
      for (std::size_t i = 0; i < frames; ++i) out->channels[m][i] = static_cast<float>(h[i] + tail[i]);
    }
    return err::kOk;
  });
}

CMyEffEntry::CMyEffEntry() : CEffEntry(309) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.rate = mine.target ? mine.target->rate : kFallbackRate;
  mine.normalise = NormaliseOption(block, mine.rate);
  // Two microphones: a mono selection becomes stereo.
  mine.output_channels = 2;
  mine.channel_mask = 3;
  return SynthesiseRoomResponse(block, mine.rate, &mine.ir);
}

Error CMyEffEntry::CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) {
  const auto& p = static_cast<const MySetupParams&>(params);
  if (p.ir.channels.size() != 2) return NS_EFFECT::kResponseLength;
  const float* responses[2] = {p.ir.channels[0].data(), p.ir.channels[1].data()};
  return NS_EFFECT::MakeConvolutionRun(responses, p.ir.frames, 2, 2, p.rate, p.normalise, p.ir.delay, false, run,
                                       scope);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_REVERB
