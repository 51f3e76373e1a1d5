// Helpers shared by the WAV, AIFF and AU tests: a RIFF file builder over the chunk byte builder,
// hand-made AIFF, AIFC and AU headers, PCM files with the program's own headers, probing bytes,
// and running and checking the peers.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/pcm_header.h"
#include "core/sources/sound_source.h"
#include "formats/aiff_au/internal/iff_numbers.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/pcm_probe.h"
#include "formats/wav/wav_probe.h"
#include "platform/error_numbers.h"
#include "tests/core/source_test_util.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark::testing {

// Little-endian field packing for chunk bodies.
using Body = ChunkBytes;

// Builds a RIFF file chunk by chunk; Bytes() fills in the RIFF size.
class RiffBuilder {
 public:
  explicit RiffBuilder(std::string_view form = "WAVE") : form_(form) {}
  // A chunk with `body`; `declared` overrides the size field. A pad byte
  // follows an odd body.
  RiffBuilder& Chunk(std::string_view id, const std::vector<std::uint8_t>& body, long long declared = -1) {
    chunks_.Text(id).U32(declared >= 0 ? static_cast<std::uint32_t>(declared) : static_cast<std::uint32_t>(body.size()));
    chunks_.Raw(body);
    if (body.size() & 1) chunks_.Zeros(1);
    return *this;
  }
  std::vector<std::uint8_t> Bytes() const {
    ChunkBytes out;
    out.Text("RIFF").U32(static_cast<std::uint32_t>(4 + chunks_.size())).Text(form_).Raw(chunks_.bytes());
    return out.bytes();
  }

 private:
  std::string form_;
  ChunkBytes chunks_;
};

// The 16 bytes every format body starts with.
inline Body FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t block,
                       std::uint16_t bits) {
  Body b;
  b.U16(tag).U16(channels).U32(rate).U32(rate * block).U16(block).U16(bits);
  return b;
}

inline constexpr std::uint8_t kPcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
inline constexpr std::uint8_t kFloatGuid[16] = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

// An extensible format body of 40 bytes.
inline Body ExtensibleBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t width, const std::uint8_t* guid) {
  Body b = FormatBody(0xFFFE, channels, rate, static_cast<std::uint16_t>(width * channels),
                      static_cast<std::uint16_t>(width * 8));
  b.U16(22).U16(static_cast<std::uint16_t>(width * 8)).U32(channels == 1 ? 4 : 3).Raw(guid, 16);
  return b;
}

// A PCM file with the program's own header and `samples` after it (plus a
// pad byte for an odd count).
inline std::vector<std::uint8_t> PcmFile(SampleCode code, std::uint16_t channels, std::uint32_t rate,
                                         const std::vector<std::uint8_t>& samples, bool extensible = false) {
  PcmHeaderRequest r;
  r.kind = PcmFileKind::Wave;
  r.code = code;
  r.channels = channels;
  r.rate = rate;
  r.frames = static_cast<std::uint32_t>(samples.size() / (BytesPerSample(code) * channels));
  r.extensible = extensible;
  std::vector<std::uint8_t> out(kMaxPcmHeaderBytes);
  std::uint32_t header = 0;
  EXPECT_EQ(BuildPcmHeader(r, reinterpret_cast<std::byte*>(out.data()), &header), 0u);
  out.resize(header);
  out.insert(out.end(), samples.begin(), samples.end());
  if (samples.size() & 1) out.push_back(0);
  return out;
}

// What a probe found, to compare at once: kind, code, channels, rate,
// frames and data offset.
using Layout = std::tuple<PcmFileKind, SampleCode, std::uint16_t, std::uint32_t, std::uint32_t, std::uint32_t>;
inline Layout LayoutOf(const SoundFileInfo& i) {
  return {i.kind, i.code, i.channels, i.rate, i.frames, i.data_offset};
}

inline auto ProbeBytes(const Bytes& bytes, SoundFileInfo* info) {
  MemoryInput input(bytes);
  return ProbePcm(input, bytes.size(), info);
}

// The frames of a probed file as a file source reads them, converted to
// `code`; the read must answer `read_rc`.
inline Bytes ReadThroughSource(const std::string& path, const SoundFileInfo& info, SampleCode code,
                               Error read_rc = err::kOk) {
  SourceRef source;
  EXPECT_EQ(OpenFileSource(path, info.data_offset, info.rate, info.code, info.channels, info.frames, 0, nullptr,
                           &source),
            0u);
  if (!source) return {};
  Bytes out(std::size_t{info.frames} * info.channels * BytesPerSample(code));
  EXPECT_EQ(source->Read(0, info.frames, out.data(), code), read_rc);
  return out;
}

// Samples in the little-endian form of `code` that pass through sox's 32-bit
// integer pipeline unchanged: floats on a 2^-20 grid, integers of any value.
inline Bytes PeerSafeSamples(SampleCode code, std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const unsigned width = BytesPerSample(code);
  Bytes out(count * width);
  for (std::size_t i = 0; i < count; ++i) {
    const double v = static_cast<double>(static_cast<std::int32_t>(rng() % (1u << 21)) - (1 << 20)) / (1 << 20);
    if (IsFloatCode(code) && width == 4) {
      const float f = static_cast<float>(v);
      std::memcpy(&out[i * 4], &f, 4);
    } else if (IsFloatCode(code)) {
      std::memcpy(&out[i * 8], &v, 8);
    } else {
      for (unsigned b = 0; b < width; ++b) out[i * width + b] = static_cast<std::uint8_t>(rng());
    }
  }
  return out;
}

// Samples of `code` as a file holds them and as sox decodes them: integers
// exactly, floats within sox's 32-bit integer pipeline.
inline void ExpectSameSamples(const Bytes& got, const Bytes& want, SampleCode code) {
  ASSERT_EQ(got.size(), want.size());
  if (!IsFloatCode(code)) {
    EXPECT_EQ(got, want);
    return;
  }
  const unsigned width = BytesPerSample(code);
  for (std::size_t i = 0; i < got.size(); i += width) {
    double a = 0, b = 0;
    if (width == 4) {
      float fa, fb;
      std::memcpy(&fa, &got[i], 4);
      std::memcpy(&fb, &want[i], 4);
      a = fa, b = fb;
    } else {
      std::memcpy(&a, &got[i], 8);
      std::memcpy(&b, &want[i], 8);
    }
    ASSERT_NEAR(a, b, 1e-6) << "sample " << i / width;
  }
}

// sox's raw output options for little-endian samples of `code`.
inline std::string SoxRaw(SampleCode code) {
  const char* kind = IsFloatCode(code) ? "floating-point" : IsUnsignedCode(code) ? "unsigned-integer" : "signed-integer";
  return std::string("-e ") + kind + " -b " + std::to_string(BitsPerSample(code)) + " -L";
}

// RF64 and BW64 files: the twin of a RIFF file, byte by byte.
struct Rf64Options {
  const char* magic = "RF64";
  // Chunks whose size field holds 0xFFFFFFFF: "data" finds its size in the
  // "ds64" data field, any other in the "ds64" table.
  std::set<std::string> large = {"data"};
  // Size fields of the whole file and of "ds64" as stored, unless 0.
  std::uint32_t riff_field = 0xFFFFFFFFu;
  std::uint64_t ds64_riff = 0;    // 0: the true size
  std::uint64_t sample_count = 0;
  std::uint32_t ds64_body = 0;    // 0: 28 + 12 per table entry
};

// The RF64 twin of the RIFF file `riff`: the same chunks after a "ds64"
// chunk, with the 32-bit sizes taken out as `options` say.
inline Bytes Rf64Twin(const Bytes& riff, const Rf64Options& options = {}) {
  ChunkBytes chunks, table;
  std::uint32_t entries = 0;
  std::uint64_t data_size = 0;
  for (std::size_t at = 12; at + 8 <= riff.size();) {
    const auto from = riff.begin() + static_cast<std::ptrdiff_t>(at);
    const std::string id(from, from + 4);
    const std::uint32_t size = LoadLe32(&riff[at + 4]);
    const bool large = options.large.count(id) != 0;
    chunks.Raw(&riff[at], 4).U32(large ? 0xFFFFFFFFu : size);
    const std::size_t whole = std::min<std::size_t>(riff.size() - at - 8, (size + 1) & ~std::size_t{1});
    chunks.Raw(&riff[at + 8], whole);
    if (id == "data") data_size = size;
    if (large && id != "data") {
      table.Raw(&riff[at], 4).U32(size).U32(0);
      ++entries;
    }
    at += 8 + whole;
  }
  const std::uint32_t body = options.ds64_body ? options.ds64_body : 28 + 12 * entries;
  const std::uint64_t total = 12 + 8 + std::uint64_t{body} + chunks.size();
  ChunkBytes out;
  out.Text(options.magic).U32(options.riff_field).Text("WAVE").Header("ds64", body);
  const std::uint64_t riff_size = options.ds64_riff ? options.ds64_riff : total - 8;
  out.U32(static_cast<std::uint32_t>(riff_size)).U32(static_cast<std::uint32_t>(riff_size >> 32));
  out.U32(static_cast<std::uint32_t>(data_size)).U32(static_cast<std::uint32_t>(data_size >> 32));
  out.U32(static_cast<std::uint32_t>(options.sample_count)).U32(static_cast<std::uint32_t>(options.sample_count >> 32));
  out.U32(entries).Raw(table.bytes());
  Bytes bytes = out.bytes();
  bytes.resize(12 + 8 + body, 0);
  bytes.insert(bytes.end(), chunks.bytes().begin(), chunks.bytes().end());
  return bytes;
}

// The RF64 header of a mono or stereo PCM file whose "data" chunk holds
// `data_bytes` (64-bit sizes in "ds64"), and the length of the whole file.
inline std::pair<Bytes, std::uint64_t> Rf64Header(std::uint16_t channels, std::uint16_t width, std::uint64_t data_bytes) {
  ChunkBytes body;
  body.Chunk("fmt ", ChunkBytes()
                         .U16(1).U16(channels).U32(8000).U32(8000u * channels * width)
                         .U16(static_cast<std::uint16_t>(channels * width)).U16(static_cast<std::uint16_t>(8 * width))
                         .bytes())
      .Header("data", 0);
  Bytes file = Rf64Twin(RiffWave(body));
  const std::uint64_t length = file.size() + data_bytes;
  StoreLe64(&file[20], length - 8);
  StoreLe64(&file[28], data_bytes);
  return {file, length};
}

// A "COMM" body: 18 bytes, plus the compression type (and `name` as the
// raw bytes after it) when `compression` is given.
inline Bytes CommBody(std::uint16_t channels, std::uint32_t frames, std::uint16_t bits, std::uint32_t rate,
                      const char* compression = nullptr, const Bytes& name = {}) {
  ChunkBytes b(true);
  b.U16(channels).U32(frames).U16(bits);
  std::uint8_t ext[kExtended80Bytes];
  WriteExtended80(ext, rate);
  b.Raw(ext, sizeof ext);
  if (compression) b.Text(compression).Raw(name);
  return b.bytes();
}

// An "SSND" body: offset, block size, samples.
inline Bytes SsndBody(const Bytes& samples, std::uint32_t offset = 0, std::uint32_t block = 0) {
  ChunkBytes b(true);
  b.U32(offset).U32(block).Raw(samples);
  return b.bytes();
}

// An AIFC body that starts with a version-1 "FVER".
inline ChunkBytes AifcChunks() {
  ChunkBytes b(true);
  b.Header("FVER", 4).U32(0xA2805140u);
  return b;
}

// An AU file: the six header words, `annotation` zero bytes, the samples.
inline Bytes AuFile(std::uint32_t offset, std::uint32_t size, std::uint32_t encoding, std::uint32_t rate,
                    std::uint32_t channels, const Bytes& samples, std::size_t annotation = 8) {
  ChunkBytes b(true);
  b.Id(".snd").U32(offset).U32(size).U32(encoding).U32(rate).U32(channels).Zeros(annotation).Raw(samples);
  return b.bytes();
}

// Runs a shell command; its exit status, and its standard output (with
// standard error unless `quiet_errors`) in `output`.
inline int Run(const std::string& command, std::string* output = nullptr, bool quiet_errors = false) {
  FILE* pipe = ::popen((command + (quiet_errors ? " 2>/dev/null" : " 2>&1")).c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
  const int status = ::pclose(pipe);
  if (output) *output = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The little-endian code of the same numbers, as the peers write raw output.
inline SampleCode LittleEndian(SampleCode code) { return static_cast<SampleCode>(code & ~sample_code::kBigEndianBit); }

// Probes a file another program wrote: its layout is what `want` says
// (frames and data offset aside), its frame count what sox reports, and
// the samples read through a file source what sox decodes.
inline void ExpectProbeMatchesSox(const std::string& path, PcmFileKind kind, SampleCode code, std::uint16_t channels,
                                  std::uint32_t rate) {
  SCOPED_TRACE(path);
  SoundFileInfo info;
  ASSERT_EQ(ProbePcmFile(path, &info), err::kOk);
  EXPECT_EQ(std::tuple(info.kind, info.code, info.channels, info.rate), std::tuple(kind, code, channels, rate));
  std::string out;
  ASSERT_EQ(Run("sox --i -s " + path, &out, true), 0);
  EXPECT_EQ(out, std::to_string(info.frames) + "\n");
  const SampleCode le = LittleEndian(code);
  ASSERT_EQ(Run("sox " + path + " -t raw " + SoxRaw(le) + " " + path + ".raw", &out), 0) << out;
  ExpectSameSamples(ReadThroughSource(path, info, le), ReadWholeFile(path + ".raw"), le);
}

// sox reads a file the program wrote as `channels` x `frames` at `rate`,
// without a remark, and decodes `want` (little-endian `le` samples; exactly
// when `exact`, else as ExpectSameSamples compares).
inline void ExpectSoxDecodes(const std::string& path, std::uint16_t channels, std::uint32_t frames,
                             std::uint32_t rate, const Bytes& want, SampleCode le, bool exact) {
  SCOPED_TRACE(path);
  std::string out;
  for (const auto& [option, value] : {std::pair<const char*, std::string>{"-c", std::to_string(channels)},
                                      {"-s", std::to_string(frames)}, {"-r", std::to_string(rate)}}) {
    ASSERT_EQ(Run(std::string("sox --i ") + option + " " + path, &out, true), 0);
    EXPECT_EQ(out, value + "\n") << option;
  }
  ASSERT_EQ(Run("sox -V1 " + path + " -t raw " + SoxRaw(le) + " " + path + ".raw", &out), 0) << out;
  EXPECT_TRUE(out.empty()) << out;
  if (exact) {
    EXPECT_EQ(ReadWholeFile(path + ".raw"), want);
  } else {
    ExpectSameSamples(ReadWholeFile(path + ".raw"), want, le);
  }
}

}  // namespace tidemark::testing
