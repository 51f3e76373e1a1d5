// Tidemark's entry point. Until the editor lands, the program generates a
// stereo test sound, stores it in several sample types through the converter,
// reads each back and reports what it did and how close the round trip came.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/sample_convert.h"
#include "core/sample_type_text.h"

namespace {

using namespace tidemark;

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kFrames = kRate * 2;
constexpr double kPi = 3.14159265358979323846;

// Left: 440 Hz at -6 dBFS. Right: a 100 Hz to 8 kHz logarithmic sweep at -3 dBFS
// with a full-scale click at the middle, to show saturation and rounding.
std::vector<float> MakeTestSound() {
  std::vector<float> pcm(std::size_t(kFrames) * 2);
  const double f0 = 100.0, f1 = 8000.0, seconds = double(kFrames) / kRate;
  const double k = std::log(f1 / f0) / seconds;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    const double t = double(i) / kRate;
    pcm[2 * i] = float(0.5 * std::sin(2 * kPi * 440.0 * t));
    pcm[2 * i + 1] = float(0.7071 * std::sin(2 * kPi * f0 * (std::exp(k * t) - 1.0) / k));
  }
  pcm[kFrames] = 1.0f;       // left channel, mid-point: exactly full scale
  pcm[kFrames + 3] = -1.0f;  // right channel, one frame later
  return pcm;
}

struct Outcome {
  double peak_error;
  double snr_db;
};

Outcome Compare(const std::vector<float>& ref, const std::vector<float>& got) {
  double err_peak = 0, signal = 0, noise = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    const double e = double(got[i]) - double(ref[i]);
    err_peak = std::max(err_peak, std::fabs(e));
    signal += double(ref[i]) * ref[i];
    noise += e * e;
  }
  return {err_peak, noise == 0 ? INFINITY : 10 * std::log10(signal / noise)};
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path out_dir = argc > 1 ? argv[1] : "tidemark-demo";
  std::error_code ec;
  std::filesystem::create_directories(out_dir, ec);
  if (ec) {
    std::fprintf(stderr, "tidemark: cannot create the folder %s: %s\n", out_dir.c_str(), ec.message().c_str());
    return 1;
  }

  const std::vector<float> sound = MakeTestSound();
  std::printf("Generated a stereo test sound: %u Hz, %u frames (%.1f s), 32-bit float.\n", kRate, kFrames,
              double(kFrames) / kRate);
  std::printf("Writing it in each sample type to %s:\n\n", out_dir.c_str());
  std::printf("  %-22s %-7s %10s %12s %10s\n", "sample type", "code", "bytes", "peak error", "SNR (dB)");

  const char* types[] = {"Wave8",           "Wave16",          "Wave24",           "Wave32",
                         "WaveFloat",       "WaveDouble",      "AIFF16",           "AIFC24",
                         "AU Float",        "Raw BigEndian 32", "RawSigned8",       "RawBigEndianDouble"};
  int failures = 0;
  for (const char* text : types) {
    const auto parsed = ParseSampleTypeText(text);
    if (!parsed) {
      std::fprintf(stderr, "tidemark: cannot parse the sample type \"%s\"\n", text);
      ++failures;
      continue;
    }
    const std::size_t samples = sound.size();
    std::vector<std::uint8_t> stored(samples * BytesPerSample(parsed->code));
    Convert(sound.data(), stored.data(), samples, sample_code::kFloat, parsed->code);

    const std::string name = SampleTypeText(parsed->kind, parsed->code);
    const std::filesystem::path file = out_dir / ("demo-" + name + ".raw");
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(stored.data()), std::streamsize(stored.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "tidemark: cannot write %s\n", file.c_str());
      ++failures;
      continue;
    }

    std::vector<float> back(samples);
    Convert(stored.data(), back.data(), samples, parsed->code, sample_code::kFloat);
    const Outcome o = Compare(sound, back);
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", parsed->code);
    std::printf("  %-22s %-7s %10zu %12.3g %10.1f\n", name.c_str(), code, stored.size(), o.peak_error, o.snr_db);
  }
  std::printf("\nConverter variant in use: %s.\n",
              ActiveConvertIsa() == ConvertIsa::Avx2    ? "AVX2"
              : ActiveConvertIsa() == ConvertIsa::Sse41 ? "SSE4.1"
                                                        : "scalar");
  std::printf("Play one with, for example: sox -t raw -r %u -c 2 -e signed -b 16 -L %s -d\n", kRate,
              (out_dir / "demo-Wave16.raw").c_str());
  return failures == 0 ? 0 : 1;
}
