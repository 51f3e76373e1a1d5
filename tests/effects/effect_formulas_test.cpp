// Every effect over a document against its definition written here: one
// row per effect, settings and material, through one driver that also
// checks what every run leaves besides the samples (one undo step named
// by the effect that restores the document, the selection, the dialog
// asked only by effects that have one, working files only for effects
// that rewrite samples, and the channels the editor hears as processed).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "core/undo/undo_history.h"
#include "effects/framework/block_run_worker.h"
#include "tests/effects/effect_references.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark::testing {
namespace {

struct Material {
  std::uint16_t channels;
  std::uint32_t frames, from, to;  // the selection is [from, to)
  std::uint32_t mask;              // selected channels
  std::uint32_t rate = 44100;
};

using Samples = std::vector<double>;
// The whole document the effect must leave, interleaved; its channel count
// follows from its size.
using Reference = std::function<Samples(const std::vector<float>& x, const Material& m)>;
using Values = std::vector<std::pair<std::string, double>>;

struct FormulaCase {
  const char* name;
  const char* key;
  Values values;  // what the dialog writes, stored values by console name
  Material m;
  Reference want;
  double tolerance;              // relative to max(1, |want|)
  bool rewrites;                 // the result lives in working files
  std::uint32_t processed = 0;   // the mask the editor hears as processed; 0: none checked
  void (*shape)(std::vector<float>& x, const Material& m) = nullptr;  // beyond seeded noise
};

bool Masked(const Material& m, std::size_t c) { return (m.mask >> c) & 1; }
Samples Doubles(const std::vector<float>& x) { return Samples(x.begin(), x.end()); }

// The selected frames of the masked channels (or every channel) multiplied
// by gain(c, i, n), i counting from the selection's start over n frames.
Reference Scaled(std::function<double(std::size_t c, std::size_t i, std::size_t n)> gain, bool all = false) {
  return [=](const std::vector<float>& x, const Material& m) {
    Samples y = Doubles(x);
    for (std::size_t f = m.from; f < m.to; ++f)
      for (std::size_t c = 0; c < m.channels; ++c)
        if (all || Masked(m, c)) y[f * m.channels + c] *= gain(c, f - m.from, m.to - m.from);
    return y;
  };
}
Reference Gain(double k) { return Scaled([=](std::size_t, std::size_t, std::size_t) { return k; }); }

// A fade line from 0 to 1 (d = 0) or from 1 to 0 (d = 1).
double Line(int d, std::size_t i, std::size_t n) { return d == 0 ? double(i) / double(n) : 1.0 - double(i) / double(n); }
Reference Fade(int d0, int d1) {
  const bool crossed = d0 != d1;
  return [=](const std::vector<float>& x, const Material& m) {
    Material out = m;
    std::vector<float> stereo = x;
    if (crossed && m.channels == 1) {  // the crossed shapes make a mono selection stereo
      stereo.clear();
      for (const float v : x) stereo.insert(stereo.end(), {v, v});
      out.channels = 2;
    }
    if (crossed) out.mask = 3;
    return Scaled([=](std::size_t c, std::size_t i, std::size_t n) { return Line(c == 0 ? d0 : d1, i, n); })(stereo,
                                                                                                          out);
  };
}

// Stereo frames of the selection through f(l, r).
Reference Stereo(std::function<std::pair<double, double>(double, double)> f) {
  return [=](const std::vector<float>& x, const Material& m) {
    Samples y = Doubles(x);
    for (std::size_t i = m.from; i < m.to; ++i) std::tie(y[2 * i], y[2 * i + 1]) = f(y[2 * i], y[2 * i + 1]);
    return y;
  };
}
Reference Mono(int source, int centi_db) {
  const double k = std::pow(10.0, centi_db / 2000.0);
  return Stereo([=](double l, double r) {
    const double v = (source == 0 ? l + r : source == 1 ? l : r) * k;
    return std::pair{v, v};
  });
}

// The selected frames in reverse order, every channel whatever the mask.
Reference Reversed() {
  return [](const std::vector<float>& x, const Material& m) {
    Samples y = Doubles(x);
    for (std::size_t f = m.from; f < m.to; ++f)
      for (std::size_t c = 0; c < m.channels; ++c) y[f * m.channels + c] = x[(m.to - 1 - (f - m.from)) * m.channels + c];
    return y;
  };
}

// Mode 0 removes each masked channel's mean over the selection; mode 1 adds `value`.
Reference Offset(int mode, double value) {
  return [=](const std::vector<float>& x, const Material& m) {
    Samples y = Doubles(x);
    for (std::size_t c = 0; c < m.channels; ++c) {
      double sum = 0;
      for (std::size_t f = m.from; f < m.to; ++f) sum += x[f * m.channels + c];
      const double add = mode == 0 ? -sum / (m.to - m.from) : value;
      for (std::size_t f = m.from; f < m.to; ++f)
        if (Masked(m, c)) y[f * m.channels + c] += add;
    }
    return y;
  };
}

// Normalize: the mode's level of the masked channels (peak, the loudest
// one-second window after silence, or the RMS with n - 1) brought to
// `target`, the clip guard holding the peak at 0.9999. `guard_bites` says
// whether the target takes the peak past 0.9999, so the row tests what it says.
Reference Normalize(int mode, int target, bool guard, bool guard_bites) {
  return [=](const std::vector<float>& x, const Material& m) {
    double peak = 0, squares = 0;
    std::vector<double> power(m.to - m.from, 0.0);
    int used = 0;
    for (std::size_t c = 0; c < m.channels; ++c) {
      if (!Masked(m, c)) continue;
      ++used;
      for (std::size_t f = m.from; f < m.to; ++f) {
        const double v = x[f * m.channels + c];
        peak = std::max(peak, std::fabs(v));
        squares += v * v;
        power[f - m.from] += v * v;
      }
    }
    const double n = double(m.to - m.from) * used;
    std::vector<long double> prefix(power.size() + 1, 0.0L);
    for (std::size_t k = 0; k < power.size(); ++k) prefix[k + 1] = prefix[k] + power[k];
    long double best = 0;
    for (std::size_t end = 1; end <= power.size(); ++end)
      best = std::max(best, prefix[end] - prefix[end > m.rate ? end - m.rate : 0]);
    const double level = mode == 0   ? peak
                         : mode == 1 ? std::sqrt(double(best) / (double(m.rate) * used))
                                     : std::sqrt(squares / (n < 2 ? n : n - 1));
    double factor = std::pow(10.0, target / 2000.0) / level;
    EXPECT_EQ(peak * factor > 0.9999, guard_bites) << "the row does not test what it says";
    if (guard && mode != 0 && peak * factor > 0.9999) factor = 0.9999 / peak;
    return Gain(factor)(x, m);
  };
}

// Pan over the whole document, a mono one made stereo first.
Reference Pan(int angle, int distance, int spacing, bool widen) {
  return [=](const std::vector<float>& x, const Material& m) {
    Samples stereo;
    for (std::size_t f = 0; f < m.frames; ++f)
      for (std::size_t c = 0; c < 2; ++c) stereo.push_back(x[f * m.channels + (m.channels == 2 ? c : 0)]);
    return ReferencePan(stereo, Microphones(angle, distance, spacing, m.rate), widen, m.rate);
  };
}

// The selection of every channel through a line of time ms.
Reference Delay(int time, int feedback, int output, int mode) {
  return [=](const std::vector<float>& x, const Material& m) {
    Samples y = Doubles(x);
    const std::size_t d = static_cast<std::size_t>(time) * m.rate / 1000;
    for (std::size_t c = 0; c < m.channels; ++c) {
      Samples in;
      for (std::size_t f = m.from; f < m.to; ++f) in.push_back(x[f * m.channels + c]);
      const Samples out =
          ReferenceDelay(in, d, std::pow(10.0, feedback / 2000.0), std::pow(10.0, output / 2000.0), mode != 0);
      for (std::size_t i = 0; i < out.size(); ++i) y[(m.from + i) * m.channels + c] = out[i];
    }
    return y;
  };
}

// The tone added to every channel of the selection.
Reference Sine(double freq, int level) {
  return [=](const std::vector<float>& x, const Material& m) {
    Samples y = Doubles(x);
    const Samples tone = ReferenceSine(freq, level / 100.0, m.rate, m.to - m.from);
    for (std::size_t f = m.from; f < m.to; ++f)
      for (std::size_t c = 0; c < m.channels; ++c) y[f * m.channels + c] += tone[f - m.from];
    return y;
  };
}

// Material for Normalize: a loud stretch in the left channel and a spike in
// the right one, which is never selected.
void LoudStretch(std::vector<float>& x, const Material&) {
  for (float& v : x) v *= 0.6f;
  for (std::size_t i = 9000; i < 12000; ++i) x[2 * i] *= 2.5f;
  x[2 * 20000 + 1] = 0.99f;
}
// A peak of exactly 0.5, so 0 dB doubles every sample exactly.
void PeakOfHalf(std::vector<float>& x, const Material&) {
  for (float& v : x) v *= 0.8f;
  x[2 * 1700 + 1] = -0.5f;
}
// Offsets of +0.1 left and -0.03 right to remove.
void DcOffsets(std::vector<float>& x, const Material&) {
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = x[i] * 0.8f + (i % 2 == 0 ? 0.1f : -0.03f);
}

constexpr Material kGainStereo{2, 5000, 700, 4100, 3}, kFade{2, 3000, 500, 2300, 3}, kChannel{2, 1200, 100, 1000, 3};
constexpr Material kNormalize{2, 30000, 2000, 27000, 1, 8000}, kOffset{2, 80000, 1500, 77000, 3};
constexpr Material kDelay{2, 5000, 300, 5000, 3, 8000}, kSine{2, 70000, 1000, 69000, 3};

Material With(Material m, std::uint32_t mask, std::uint16_t channels = 0, std::uint32_t rate = 0) {
  m.mask = mask;
  if (channels) m.channels = channels;
  if (rate) m.rate = rate;
  return m;
}

const FormulaCase kCases[] = {
    {"silence_mono", "Silence", {}, With(kGainStereo, 1, 1), Gain(0), 0, false},
    {"silence_stereo", "Silence", {}, kGainStereo, Gain(0), 0, false},
    {"silence_right", "Silence", {}, With(kGainStereo, 2), Gain(0), 0, false},
    {"sign_mono", "SignReverse", {}, With(kGainStereo, 1, 1), Gain(-1), 0, false},
    {"sign_stereo", "SignReverse", {}, kGainStereo, Gain(-1), 0, false},
    {"sign_left", "SignReverse", {}, With(kGainStereo, 1), Gain(-1), 0, false},
    {"volume_left", "Volume", {{"gain", -600}}, With(kGainStereo, 1), Gain(std::pow(10.0, -0.3)), 1e-6, false},

    {"normalize_half_peak_to_0_db", "Normalize", {{"mode", 0}, {"peak", 0}}, {2, 3000, 0, 3000, 3, 8000}, Gain(2), 0,
     false, 0, PeakOfHalf},
    {"normalize_peak", "Normalize", {{"mode", 0}, {"peak", -600}, {"shortguard", 1}, {"rmsguard", 1}}, kNormalize,
     Normalize(0, -600, true, false), 2e-6, false, 0, LoudStretch},
    {"normalize_peak_guard_ignored", "Normalize", {{"mode", 0}, {"peak", 0}, {"shortguard", 1}, {"rmsguard", 1}},
     kNormalize, Normalize(0, 0, true, true), 2e-6, false, 0, LoudStretch},
    {"normalize_short_rms", "Normalize", {{"mode", 1}, {"shortrms", -1500}, {"shortguard", 0}, {"rmsguard", 0}},
     kNormalize, Normalize(1, -1500, false, false), 2e-6, false, 0, LoudStretch},
    {"normalize_short_rms_unguarded", "Normalize", {{"mode", 1}, {"shortrms", -100}, {"shortguard", 0}},
     kNormalize, Normalize(1, -100, false, true), 2e-6, false, 0, LoudStretch},
    {"normalize_short_rms_guarded", "Normalize", {{"mode", 1}, {"shortrms", -100}, {"shortguard", 1}}, kNormalize,
     Normalize(1, -100, true, true), 2e-6, false, 0, LoudStretch},
    {"normalize_rms", "Normalize", {{"mode", 2}, {"rms", -1500}, {"rmsguard", 1}}, kNormalize,
     Normalize(2, -1500, true, false), 2e-6, false, 0, LoudStretch},
    {"normalize_rms_unguarded", "Normalize", {{"mode", 2}, {"rms", 0}, {"rmsguard", 0}}, kNormalize,
     Normalize(2, 0, false, true), 2e-6, false, 0, LoudStretch},
    {"normalize_rms_guarded", "Normalize", {{"mode", 2}, {"rms", 0}, {"rmsguard", 1}}, kNormalize,
     Normalize(2, 0, true, true), 2e-6, false, 0, LoudStretch},

    {"offset_measure_both", "Offset", {{"mode", 0}, {"value", 0.5}}, kOffset, Offset(0, 0), 1e-6, false, 0, DcOffsets},
    {"offset_measure_left", "Offset", {{"mode", 0}}, With(kOffset, 1), Offset(0, 0), 1e-6, false, 0, DcOffsets},
    {"offset_measure_right", "Offset", {{"mode", 0}}, With(kOffset, 2), Offset(0, 0), 1e-6, false, 0, DcOffsets},
    {"offset_fixed_both", "Offset", {{"mode", 1}, {"value", 0.125}}, kOffset, Offset(1, 0.125), 1e-6, false, 0,
     DcOffsets},
    {"offset_fixed_right", "Offset", {{"mode", 1}, {"value", -0.75}}, With(kOffset, 2), Offset(1, -0.75), 1e-6, false,
     0, DcOffsets},

    // 100000 stereo frames: three whole blocks of 32768 and a part; 138999
    // mono frames: two whole blocks of 65536 and a part.
    {"reverse_stereo_inside", "TimeReverse", {}, {2, 120000, 7, 100007, 3}, Reversed(), 0, true},
    {"reverse_stereo_left", "TimeReverse", {}, {2, 120000, 19999, 119999, 1}, Reversed(), 0, true},
    {"reverse_stereo_one_block", "TimeReverse", {}, {2, 40000, 0, 32768, 3}, Reversed(), 0, true},
    {"reverse_two_frames_right", "TimeReverse", {}, {2, 10, 4, 6, 2}, Reversed(), 0, true},
    {"reverse_one_frame", "TimeReverse", {}, {2, 10, 4, 5, 3}, Reversed(), 0, true},
    {"reverse_mono_inside", "TimeReverse", {}, {1, 150000, 1000, 139999, 1}, Reversed(), 0, true},
    {"reverse_mono_to_the_end", "TimeReverse", {}, {1, 70000, 3, 70000, 1}, Reversed(), 0, true},

    {"fade_in", "Fade", {{"shape", 0}}, kFade, Fade(0, 0), 1e-7, true, 3},
    {"fade_out", "Fade", {{"shape", 1}}, kFade, Fade(1, 1), 1e-7, true, 3},
    {"fade_out_in", "Fade", {{"shape", 2}}, kFade, Fade(1, 0), 1e-7, true, 3},
    {"fade_in_out", "Fade", {{"shape", 3}}, kFade, Fade(0, 1), 1e-7, true, 3},
    {"fade_out_left", "Fade", {{"shape", 1}}, With(kFade, 1), Fade(1, 1), 1e-7, true, 1},
    {"fade_crossed_whatever_the_mask", "Fade", {{"shape", 3}}, With(kFade, 1), Fade(0, 1), 1e-7, true, 3},
    {"fade_in_mono", "Fade", {{"shape", 0}}, {1, 2000, 0, 2000, 1}, Fade(0, 0), 1e-7, true},
    {"fade_out_mono", "Fade", {{"shape", 1}}, {1, 2000, 0, 2000, 1}, Fade(1, 1), 1e-7, true},
    {"fade_out_in_mono_made_stereo", "Fade", {{"shape", 2}}, {1, 2000, 0, 2000, 1}, Fade(1, 0), 1e-7, true},
    {"fade_in_out_mono_made_stereo", "Fade", {{"shape", 3}}, {1, 2000, 0, 2000, 1}, Fade(0, 1), 1e-7, true},

    {"exchange", "ChannelExchange", {}, kChannel, Stereo([](double l, double r) { return std::pair{r, l}; }), 1e-6,
     true, 3},
    {"midside", "MidSide", {}, kChannel,
     Stereo([](double l, double r) { return std::pair{(l + r) / 2, (l - r) / 2}; }), 1e-6, true},
    {"mono_sum", "MonoOutput", {{"gain", -600}}, kChannel, Mono(0, -600), 1e-6, true},
    {"mono_left", "MonoOutput", {{"source", 1}, {"gain", -600}}, kChannel, Mono(1, -600), 1e-6, true},
    {"mono_right", "MonoOutput", {{"source", 2}, {"gain", -600}}, kChannel, Mono(2, -600), 1e-6, true},
    {"mono_sum_0_db", "MonoOutput", {{"source", 0}, {"gain", 0}}, kChannel, Mono(0, 0), 1e-6, true},
    {"mono_right_minus_20_db", "MonoOutput", {{"source", 2}, {"gain", -2000}}, kChannel, Mono(2, -2000), 1e-6, true},
    {"mono_output_passes_a_mono_document", "MonoOutput", {{"source", 1}, {"gain", -2000}}, {1, 900, 0, 900, 1},
     Gain(1), 0, true},

    {"pan_zero_mono", "Pan", {{"angle", 0}, {"distance", 100}, {"spacing", 24}, {"widen", 0}}, {1, 700, 0, 700, 1},
     Pan(0, 100, 24, false), 0, true},
    {"pan_mono_60", "Pan", {{"angle", 60}, {"distance", 200}, {"spacing", 28}, {"widen", 0}},
     {1, 2000, 0, 2000, 1, 8000}, Pan(60, 200, 28, false), 1e-6, true},
    {"pan_mono_widened", "Pan", {{"angle", -90}, {"distance", 200}, {"spacing", 28}, {"widen", 1}},
     {1, 2000, 0, 2000, 1, 8000}, Pan(-90, 200, 28, true), 1e-6, true},
    // Pan works on both channels whatever is selected.
    {"pan_left_selected_45", "Pan", {{"angle", 45}, {"distance", 200}, {"spacing", 28}, {"widen", 0}},
     {2, 2000, 0, 2000, 1, 8000}, Pan(45, 200, 28, false), 1e-6, true, 3},
    {"pan_left_selected_widened", "Pan", {{"angle", -30}, {"distance", 200}, {"spacing", 28}, {"widen", 1}},
     {2, 2000, 0, 2000, 1, 8000}, Pan(-30, 200, 28, true), 1e-6, true, 3},
    {"pan_zero_widened", "Pan", {{"angle", 0}, {"distance", 200}, {"spacing", 28}, {"widen", 1}},
     {2, 2000, 0, 2000, 1, 8000}, Pan(0, 200, 28, true), 1e-6, true},

    {"delay_feedback", "Delay", {{"time", 100}, {"feedback", -300}, {"output", 0}, {"mode", 0}}, kDelay,
     Delay(100, -300, 0, 0), 2e-6, true},
    {"delay_feedback_quieter", "Delay", {{"time", 250}, {"feedback", -100}, {"output", -600}, {"mode", 0}}, kDelay,
     Delay(250, -100, -600, 0), 2e-6, true},
    {"delay_forward", "Delay", {{"time", 100}, {"feedback", -300}, {"output", 0}, {"mode", 1}}, kDelay,
     Delay(100, -300, 0, 1), 2e-6, true},
    {"delay_forward_long", "Delay", {{"time", 370}, {"feedback", -1500}, {"output", -1200}, {"mode", 1}}, kDelay,
     Delay(370, -1500, -1200, 1), 2e-6, true},

    {"sine_440", "SineGenerator", {{"freq", 440}, {"level", 50}}, kSine, Sine(440, 50), 1e-6, true},
    {"sine_full_level", "SineGenerator", {{"freq", 1234.5}, {"level", 100}}, kSine, Sine(1234.5, 100), 1e-6, true},
    {"sine_near_the_top", "SineGenerator", {{"freq", 19999}, {"level", 30}}, With(kSine, 3, 2, 48000),
     Sine(19999, 30), 1e-6, true},
    {"sine_1_hz", "SineGenerator", {{"freq", 1}, {"level", 70}}, With(kSine, 3, 2, 8000), Sine(1, 70), 1e-6, true},
    {"sine_silent", "SineGenerator", {{"freq", 3000.25}, {"level", 0}}, With(kSine, 3, 2, 22050), Sine(3000.25, 0),
     1e-6, true},
};

class EffectFormula : public LevelEffectTest, public ::testing::WithParamInterface<FormulaCase> {};

TEST_P(EffectFormula, DocumentFollowsTheDefinition) {
  const FormulaCase& c = GetParam();
  const Material& m = c.m;
  std::vector<float> x = RandomSamples(std::size_t{m.frames} * m.channels, m.frames, 0.5f);
  if (c.shape) c.shape(x, m);
  Open(x, m.channels, m.rate);
  Select(*doc_, m.from, m.to);
  SetChannelMask(*doc_, m.mask);
  editor().ClearLog();
  CEffEntry& entry = EntryNamed(c.key);
  StubDialog dialog;
  dialog.values = c.values;
  {
    ScopedSettingsDialog installed(&dialog);
    ASSERT_EQ(entry.Execute(doc_.get()), err::kOk);
  }
  EXPECT_EQ(dialog.shown, entry.HasSetupDialog() ? 1 : 0);

  const Samples want = c.want(x, m);
  ASSERT_EQ(doc_->length, m.frames);
  const auto channels = static_cast<std::uint16_t>(want.size() / m.frames);
  ASSERT_EQ(doc_->channels, channels);
  const std::vector<float> out = ReadAll(*doc_);
  for (std::size_t i = 0; i < want.size(); ++i)
    ASSERT_NEAR(out[i], want[i], c.tolerance * std::max(1.0, std::fabs(want[i])))
        << "frame " << i / channels << " channel " << i % channels;

  EXPECT_EQ(WorkFiles() > 0, c.rewrites);
  EXPECT_EQ(editor().selection_from(), m.from);
  EXPECT_EQ(editor().selection_to(), m.to);
  if (c.processed) {
    const ReceivedMessage processed{effect_msg::kChannelsProcessed, c.processed, 0};
    EXPECT_NE(std::find(editor().log().begin(), editor().log().end(), processed), editor().log().end());
  }
  ASSERT_EQ(doc_->history.size(), 1u);
  std::string name;
  ASSERT_EQ(doc_->history.at(0).GetName(&name), err::kOk);
  EXPECT_EQ(name, entry.GetDisplayName());
  // Undo restores the samples; a mono document made stereo stays stereo,
  // both channels the old one.
  ASSERT_EQ(Undo(*doc_), err::kOk);
  std::vector<float> restored;
  for (const float v : x) restored.insert(restored.end(), channels / m.channels, v);
  EXPECT_EQ(ReadAll(*doc_), restored);
}

INSTANTIATE_TEST_SUITE_P(Effects, EffectFormula, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark::testing
