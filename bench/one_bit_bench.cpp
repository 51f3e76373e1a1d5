// 1-bit to PCM conversion speed: "one_bit_bench [FOLDER [MINUTES]]" writes a
// DSD64 stereo DSDIFF file of a 1 kHz tone (10 minutes by default, about
// 423 MB), converts all of it to 88.2 kHz float through the converting
// source, and times the same conversion by ffmpeg (two threads, output to
// /dev/null) for comparison. The file is deleted afterwards.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/samples/sample_format.h"
#include "dsp/one_bit/one_bit_input_bits.h"
#include "dsp/one_bit/one_bit_lpf.h"
#include "dsp/one_bit/one_bit_plan.h"
#include "formats/one_bit/one_bit_source.h"
#include "formats/one_bit/one_bit_writer.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint32_t kRate = 2822400;
// Ten seconds of the tone, repeated: 1 kHz has a whole number of cycles in
// 14112 samples, so the repetition is seamless.
constexpr std::size_t kChunkBits = 10 * kRate;

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// A second-order sigma-delta loop of a 1 kHz tone at half the modulator's
// range, packed most significant bit first.
std::vector<std::uint8_t> ToneBytes() {
  std::vector<double> period(14112);
  for (std::size_t n = 0; n < period.size(); ++n)
    period[n] = 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(n) / kRate);
  std::vector<std::uint8_t> bytes(kChunkBits / 8);
  double i1 = 0, i2 = 0, y = 1;
  std::size_t phase = 0;
  for (std::uint8_t& b : bytes) {
    unsigned v = 0;
    for (unsigned q = 0; q < 8; ++q) {
      i1 += period[phase] - y;
      i2 += i1 - y;
      y = i2 >= 0 ? 1.0 : -1.0;
      v = (v << 1) | (y > 0 ? 1u : 0u);
      if (++phase == period.size()) phase = 0;
    }
    b = static_cast<std::uint8_t>(v);
  }
  return bytes;
}

bool WriteFile(const std::string& path, unsigned minutes, std::uint64_t* data_offset, std::uint64_t* data_bytes) {
  const std::vector<std::uint8_t> tone = ToneBytes();
  const std::uint32_t chunk = static_cast<std::uint32_t>(tone.size());
  const std::uint64_t chunks = std::uint64_t{minutes} * 6;
  *data_bytes = chunks * chunk * 2;
  std::unique_ptr<COneBitWriter> w = MakeOneBitWriter(".dff");
  if (!w) return false;
  if (w->Open(path) || w->Begin(kRate, 2, *data_bytes)) return false;
  const std::uint8_t* planes[2] = {tone.data(), tone.data()};
  for (std::uint64_t i = 0; i < chunks; ++i)
    if (w->WritePlanar(planes, chunk, 2)) return false;
  *data_offset = w->HeaderSize();
  if (w->Finish() || w->Close()) return false;
  return true;
}

// Converts the whole file; seconds, and the peak of the left channel.
double ConvertAll(const std::string& path, std::uint64_t offset, std::uint64_t bytes, float* peak, unsigned* threads) {
  SourceRef ref;
  if (OneBitSource::Create(path, offset, bytes, kRate, 2, OneBitLayout::kByteInterleaved, false, &ref)) return -1;
  const std::uint32_t frames = AsOneBitSource(ref.get())->frames();
  const std::uint32_t piece = 65536;
  std::vector<float> buf(std::size_t{piece} * 2);
  float p = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (std::uint32_t f = 0; f < frames; f += piece) {
    const std::uint32_t n = std::min(piece, frames - f);
    if (ref->Read(f, n, buf.data(), sample_code::kFloat)) return -1;
    p = std::max(p, buf[0]);
  }
  const double s = Seconds(t0);
  *peak = p;
  *threads = AsOneBitSource(ref.get())->threads();
  return s;
}

// The filter alone on in-memory blocks: seconds per block.
double FilterOnly(std::uint32_t wanted_threads, unsigned* threads) {
  OneBitPlan p;
  if (MakeOneBitPlan(kRate, 2, true, false, 0, &p)) return -1;
  std::unique_ptr<COneBitLpf> lpf;
  if (COneBitLpf::Create(p.first_length, p.first_ratio, 130, p.second_length, p.stages, 100, 2.0f, p.block_length, 2,
                         wanted_threads, true, &lpf))
    return -1;
  *threads = lpf->threads();
  std::vector<std::uint8_t> data(lpf->input_bytes() * 2);
  std::mt19937 gen(1);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  const CInputBitsStd in(data.data(), lpf->input_bytes(), 2, IdentityBitOrder());
  std::vector<float> out(lpf->output_frames() * 2);
  const int blocks = 40;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < blocks; ++i)
    if (lpf->Process(in, out.data())) return -1;
  return Seconds(t0) / blocks;
}

int Run(int argc, char** argv) {
  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/one_bit_bench.XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
  }
  const unsigned minutes = argc > 2 ? static_cast<unsigned>(std::max(1, std::atoi(argv[2]))) : 10;
  const std::string path = folder + "/one_bit_bench.dff";
  std::uint64_t offset = 0, bytes = 0;
  auto t0 = std::chrono::steady_clock::now();
  if (!WriteFile(path, minutes, &offset, &bytes)) {
    std::fprintf(stderr, "writing %s failed\n", path.c_str());
    return 1;
  }
  const double audio = static_cast<double>(minutes) * 60.0;
  std::printf("file: %s, %u min DSD64 stereo, %.1f MB, written in %.2f s\n", path.c_str(), minutes,
              static_cast<double>(bytes) / 1e6, Seconds(t0));

  unsigned filter_threads = 0;
  const double block1 = FilterOnly(1, &filter_threads);
  const double blockn = FilterOnly(4, &filter_threads);
  const double blocks = audio * kRate / 1048576.0;
  std::printf("filter alone: %.2f ms per block (1 thread), %.2f ms (%u threads): %.2f s / %.2f s for the file\n",
              block1 * 1e3, blockn * 1e3, filter_threads, block1 * blocks, blockn * blocks);

  double ours = 1e30, theirs = 1e30;
  float peak = 0;
  unsigned threads = 0;
  const std::string cmd = "ffmpeg -v error -threads 2 -i '" + path + "' -af aresample=88200 -f f32le -y /dev/null";
  for (int round = 0; round < 2; ++round) {
    const double s = ConvertAll(path, offset, bytes, &peak, &threads);
    if (s < 0) {
      std::fprintf(stderr, "conversion failed\n");
      return 1;
    }
    ours = std::min(ours, s);
    t0 = std::chrono::steady_clock::now();
    const int rc = std::system(cmd.c_str());
    const double f = Seconds(t0);
    if (rc != 0) {
      std::fprintf(stderr, "ffmpeg failed (%d)\n", rc);
      theirs = -1;
    } else {
      theirs = std::min(theirs, f);
    }
    std::printf("round %d: converting source %.2f s, ffmpeg %.2f s\n", round + 1, s, f);
  }
  std::printf("converting source: %.2f s, %.1f x realtime, %u threads, peak %.3f\n", ours, audio / ours, threads,
              peak);
  if (theirs > 0)
    std::printf("ffmpeg -threads 2: %.2f s, %.1f x realtime\nratio ffmpeg / converting source: %.2f\n", theirs,
                audio / theirs, theirs / ours);
  std::remove(path.c_str());
  if (argc <= 1) rmdir(folder.c_str());
  return 0;
}

}  // namespace
}  // namespace tidemark::NS_1BIT

int main(int argc, char** argv) { return tidemark::NS_1BIT::Run(argc, argv); }
