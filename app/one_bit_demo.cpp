#include "app/one_bit_demo.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "dsp/delta_sigma/delta_sigma_modulator.h"
#include "dsp/analysis/tone_analysis.h"
#include "formats/one_bit/one_bit_document.h"
#include "formats/one_bit/one_bit_writer.h"
#include "formats/tags/tag_set.h"
#include "platform/error_numbers.h"

namespace {

using namespace tidemark;

constexpr std::uint32_t kPcmRate = 44100;
constexpr std::uint32_t kOneBitRate = 2822400;  // DSD64
constexpr std::uint32_t kFrames = kPcmRate * 3;
constexpr std::uint32_t kBytesPerFrame = kOneBitRate / kPcmRate / 8;

// Both channels: 1 kHz at -6 dBFS.
std::vector<float> MakeTone() {
  std::vector<float> x(std::size_t{kFrames} * 2);
  for (std::uint32_t i = 0; i < kFrames; ++i)
    x[2 * i] = x[2 * i + 1] = static_cast<float>(0.5 * std::sin(2 * 3.14159265358979323846 * 1000.0 * i / kPcmRate));
  return x;
}

// Modulates the tone and writes it with a title; returns the error.
Error WriteFile(const std::string& path, const char* ext, dsp::DeltaSigmaMode mode, const std::vector<float>& tone) {
  auto writer = NS_1BIT::MakeOneBitWriter(ext);
  if (!writer) return err::kUnsupportedFormat;
  dsp::DeltaSigmaOptions options;
  options.mode = mode;
  options.one_bit_rate = kOneBitRate;
  options.pcm_rate = kPcmRate;
  options.channels = 2;
  options.lsb_first = writer->lsb_first();
  dsp::DeltaSigmaModulator modulator;
  if (const Error rc = modulator.Init(options)) return rc;
  std::vector<std::uint8_t> left(std::size_t{kFrames} * kBytesPerFrame), right(left.size());
  std::uint8_t* out[2] = {left.data(), right.data()};
  if (const Error rc = modulator.Process(tone.data(), kFrames, out)) return rc;
  const std::uint8_t* in[2] = {left.data(), right.data()};
  TagSet tags;
  SetTagText(tags, InfoText::Name, "Tidemark 1-bit demonstration");
  Error rc = writer->Open(path);
  if (rc == err::kOk) rc = writer->Begin(kOneBitRate, 2, left.size() * 2);
  if (rc == err::kOk) rc = writer->WritePlanar(in, static_cast<std::uint32_t>(left.size()), 2);
  if (rc == err::kOk) rc = writer->Finish();
  if (rc == err::kOk) rc = writer->WriteMetadata(kOneBitRate, tags);
  const Error closed = writer->Close();
  return rc ? rc : closed;
}

}  // namespace

int RunOneBitDemo(const std::filesystem::path& out_dir) {
  std::printf("\nA 1 kHz tone at -6 dBFS turned into DSD64 by the delta-sigma modulator, saved as a 1-bit\n"
              "file of each type, and opened again as a 32-bit float document through the converter:\n\n");
  std::printf("  %-20s %-12s %10s %9s %9s %11s\n", "file", "modulator", "bytes", "rate", "frames", "SINAD (dB)");
  const std::vector<float> tone = MakeTone();
  struct Row {
    const char* ext;
    dsp::DeltaSigmaMode mode;
    const char* mode_name;
  };
  const Row rows[] = {{".dsf", dsp::DeltaSigmaMode::kTenthOrder, "10th order"},
                      {".dff", dsp::DeltaSigmaMode::kTenthOrder, "10th order"},
                      {".wsd", dsp::DeltaSigmaMode::kTenthOrder, "10th order"},
                      {".dsf", dsp::DeltaSigmaMode::kSixthOrder, "6th order"}};
  int failures = 0;
  for (const Row& row : rows) {
    const std::string name = std::string("demo-dsd64-") + (row.mode == dsp::DeltaSigmaMode::kTenthOrder ? "10" : "6");
    const std::string path = (out_dir / (name + row.ext)).string();
    Error rc = WriteFile(path, row.ext, row.mode, tone);
    SegmentList segments;
    SoundFileInfo info;
    SourceRef source;
    if (rc == err::kOk) rc = NS_1BIT::OpenOneBitFile(path, true, false, &segments, &info, &source);
    std::vector<float> pcm(std::size_t{info.frames} * info.channels);
    if (rc == err::kOk) rc = source->Read(0, info.frames, pcm.data(), sample_code::kFloat);
    if (rc != err::kOk) {
      std::fprintf(stderr, "tidemark: %s failed with error %u\n", path.c_str(), rc.code());
      ++failures;
      continue;
    }
    // The left channel from half a second in, past the start-up.
    std::vector<float> left;
    for (std::size_t i = info.rate / 2; i < info.frames; ++i) left.push_back(pcm[i * info.channels]);
    const double sinad = dsp::MeasureSinadDb(left.data(), left.size(), info.rate, 1000.0, 20.0, 20000.0);
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    std::printf("  %-20s %-12s %10llu %9u %9u %11.1f\n", (name + row.ext).c_str(), row.mode_name,
                static_cast<unsigned long long>(ec ? 0 : bytes), info.rate, info.frames, sinad);
  }
  return failures;
}
