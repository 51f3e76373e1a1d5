// The delta-sigma modulator's figures: for each loop mode, the SINAD of a
// 1 kHz tone at -6 dBFS over 20 Hz - 20 kHz, measured on the 1-bit stream
// itself (bits as ±1, times 2) at DSD64, and the modulation speed of a
// stereo stream in multiples of real time.
//
//   delta_sigma_bench [SECONDS]   (length of the speed run, 20 by default)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "dsp/delta_sigma/delta_sigma_modulator.h"
#include "dsp/analysis/tone_analysis.h"

namespace {

using tidemark::dsp::DeltaSigmaMode;
using tidemark::dsp::DeltaSigmaModulator;
using tidemark::dsp::DeltaSigmaOptions;

constexpr std::uint32_t kPcmRate = 44100;
constexpr std::uint32_t kRatio = 64;

std::vector<float> Tone(std::size_t frames, double level_db, double hz) {
  std::vector<float> pcm(frames * 2);
  const double amp = std::pow(10.0, level_db / 20.0);
  for (std::size_t i = 0; i < frames; ++i) {
    const float v = static_cast<float>(amp * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / kPcmRate));
    pcm[2 * i] = v;
    pcm[2 * i + 1] = v;
  }
  return pcm;
}

bool Modulate(DeltaSigmaMode mode, const std::vector<float>& pcm, std::vector<std::uint8_t>* left,
              std::vector<std::uint8_t>* right, DeltaSigmaModulator* m) {
  DeltaSigmaOptions o;
  o.mode = mode;
  o.pcm_rate = kPcmRate;
  o.one_bit_rate = kPcmRate * kRatio;
  o.channels = 2;
  if (m->Init(o) != 0) return false;
  const std::size_t frames = pcm.size() / 2;
  left->resize(frames * kRatio / 8);
  right->resize(frames * kRatio / 8);
  std::uint8_t* out[2] = {left->data(), right->data()};
  return m->Process(pcm.data(), static_cast<std::uint32_t>(frames), out) == 0;
}

double BitDomainSinad(const std::vector<std::uint8_t>& bytes, std::size_t skip_bits) {
  std::vector<float> bits;
  bits.reserve(bytes.size() * 8 - skip_bits);
  for (std::size_t i = skip_bits; i < bytes.size() * 8; ++i)
    bits.push_back((bytes[i / 8] >> (7 - i % 8)) & 1 ? 2.0f : -2.0f);
  return tidemark::dsp::MeasureSinadDb(bits.data(), bits.size(), kPcmRate * kRatio, 1000.0, 20.0, 20000.0);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
  const struct {
    DeltaSigmaMode mode;
    const char* name;
  } modes[] = {{DeltaSigmaMode::kTenthOrder, "tenth order (5 sections)"},
               {DeltaSigmaMode::kSixthOrder, "sixth order (3 sections)"}};
  std::printf("DSD64 (%u Hz from %u Hz), 1 kHz tone, SINAD over 20 Hz - 20 kHz on the 1-bit stream\n",
              kPcmRate * kRatio, kPcmRate);
  for (const auto& m : modes) {
    DeltaSigmaModulator mod;
    std::vector<std::uint8_t> left, right;
    // 2^20 bits measured after 2^19 bits (0.19 s) of start-up.
    const std::size_t frames = ((std::size_t{1} << 20) + (std::size_t{1} << 19)) / kRatio;
    for (double level : {-6.0, -3.0, -60.0}) {
      if (!Modulate(m.mode, Tone(frames, level, 1000.0), &left, &right, &mod)) {
        std::printf("%s: modulator failed\n", m.name);
        return 1;
      }
      std::printf("%s: %6.1f dBFS  SINAD %6.1f dB  peak state %.2f  clipped bytes %llu\n", m.name, level,
                  BitDomainSinad(left, std::size_t{1} << 19), mod.peak_state(),
                  static_cast<unsigned long long>(mod.clipped_bytes()));
    }
    const std::size_t speed_frames = static_cast<std::size_t>(seconds * kPcmRate);
    const std::vector<float> pcm = Tone(speed_frames, -6.0, 1000.0);
    const auto t0 = std::chrono::steady_clock::now();
    if (!Modulate(m.mode, pcm, &left, &right, &mod)) return 1;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s: stereo modulation %.1f s in %.2f s = %.1f x real time\n", m.name, seconds, elapsed,
                seconds / elapsed);
  }
  return 0;
}
