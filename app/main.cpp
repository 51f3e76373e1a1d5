// Tidemark's entry point. Until the editor lands, the program generates a
// stereo test sound, saves it as a sound file in several types (WAV, AIFF,
// AIFC, AU and raw PCM, each with its header), opens each file again through
// the format probe, reads the samples back and reports how close the round
// trip came; the 16-bit WAV file also gets two markers and a title. Then a
// tone goes the 1-bit way: modulated to DSD64, saved as DSF, DSDIFF and WSD,
// and converted back to PCM. Last, effects run on the 16-bit WAV file
// through the console editor's commands, with its statistics.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/effects_demo.h"
#include "app/one_bit_demo.h"
#include "core/markers/marker.h"
#include "core/samples/sample_convert.h"
#include "core/samples/sample_type_text.h"
#include "effects/framework/effect_registry.h"
#include "formats/chunks/file_io.h"
#include "formats/file_kind.h"
#include "codecs/codec_install.h"
#include "formats/file_kind_table.h"
#include "formats/file_markers.h"
#include "formats/pcm_probe.h"
#include "formats/tags/tags.h"
#include "formats/wav/wav_cues.h"
#include "formats/wav/wav_probe.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"

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

const char* Extension(PcmFileKind kind) {
  switch (kind) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      return ".wav";
    case PcmFileKind::AIFF:
      return ".aif";
    case PcmFileKind::AIFC:
      return ".aifc";
    case PcmFileKind::AU:
      return ".au";
    default:
      return ".raw";
  }
}

// Writes header and samples; 0 or the error number.
Error SaveSoundFile(const std::string& path, PcmFileKind kind, SampleCode code,
                    const std::vector<std::uint8_t>& samples) {
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kCreateAlways;
  if (const Error rc = file.Open(path, options)) return rc;
  if (const Error rc = PrepareSoundFile(file, kind, kRate, code, 2, kFrames)) return rc;
  std::uint32_t header = 0;
  if (const Error rc = HeaderSize(kind, code, &header)) return rc;
  if (const Error rc = WriteExact(file, samples.data(), samples.size(), header)) return rc;
  return file.Close();
}

// Opens the file again as a reader would: the probe's description (raw files
// have none), then the sample bytes from its data offset.
Error LoadSoundFile(const std::string& path, PcmFileKind kind, SampleCode code, std::size_t bytes,
                    std::vector<std::uint8_t>* samples) {
  std::uint64_t offset = 0;
  if (kind != PcmFileKind::Raw) {
    SoundFileInfo info;
    if (const Error rc = ProbePcmFile(path, &info)) return rc;
    if (info.code != code || info.channels != 2 || info.rate != kRate || info.frames != kFrames)
      return err::kLayoutMismatch;
    offset = info.data_offset;
  }
  PosixFile file;
  if (const Error rc = file.Open(path, FileOpenOptions{})) return rc;
  samples->resize(bytes);
  std::size_t done = 0;
  if (const Error rc = file.ReadAt(samples->data(), bytes, offset, &done)) return rc;
  return done == bytes ? err::kOk : err::kReadFailed;
}

// Two markers and a title in the 16-bit WAV file, read back for the report.
void MarkAndTitle(const std::string& path) {
  MarkerList markers;
  markers.InsertAfterAdopt(nullptr, NewMarker("Click", "full scale on the left", kFrames / 2));
  markers.InsertAfterAdopt(nullptr, NewMarker("Start", "", 0));
  TagSet tags;
  tags[InfoText::Name] = "Tidemark test sound";
  Error rc = WriteCueList(path, markers);
  if (rc == err::kOk) rc = WriteTags(path, PcmFileKind::Wave, tags);
  MarkerList back;
  TagSet back_tags;
  if (rc.ok()) rc = ReadFileMarkers(path, PcmFileKind::Wave, kFrames, &back);
  if (rc.ok()) rc = ReadTags(path, PcmFileKind::Wave, &back_tags);
  if (!rc.ok()) {
    std::printf("\nMarkers and title could not be stored in %s (error %u).\n", path.c_str(), rc.code());
    return;
  }
  std::printf("\n%s carries %zu markers and the title \"%s\":\n", path.c_str(), back.size(),
              back_tags[InfoText::Name].value_or("").c_str());
  for (const Marker* m = back.first(); m; m = m->next)
    std::printf("  %-8s at frame %6u  %s\n", m->name.c_str(), m->position, m->comment ? m->comment->c_str() : "");
}

}  // namespace

int main(int argc, char** argv) {
  InstallFileKinds();
  InstallCodecs();
  EffectRegistry::Install();
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
  std::printf("Saving it as a sound file of each type in %s and opening each again:\n\n", out_dir.c_str());
  std::printf("  %-22s %-7s %10s %12s %10s\n", "sample type", "code", "bytes", "peak error", "SNR (dB)");

  const char* types[] = {"Wave8",           "Wave16",          "Wave24",           "Wave32",
                         "WaveFloat",       "WaveDouble",      "AIFF16",           "AIFC24",
                         "AU Float",        "Raw BigEndian 32", "RawSigned8",       "RawBigEndianDouble"};
  int failures = 0;
  std::string wave16;
  for (const char* text : types) {
    const auto parsed = ParseSampleTypeText(text);
    if (!parsed) {
      std::fprintf(stderr, "tidemark: cannot parse the sample type \"%s\"\n", text);
      ++failures;
      continue;
    }
    const std::size_t samples = sound.size();
    bool converted = false;
    const SampleCode stored_code = StoredSampleFormat(parsed->kind, parsed->code, &converted);
    std::vector<std::uint8_t> stored(samples * BytesPerSample(stored_code));
    Convert(sound.data(), stored.data(), samples, sample_code::kFloat, stored_code);

    const std::string name = SampleTypeText(parsed->kind, stored_code);
    const std::string file = (out_dir / ("demo-" + name + Extension(parsed->kind))).string();
    std::vector<std::uint8_t> loaded;
    Error rc = SaveSoundFile(file, parsed->kind, stored_code, stored);
    if (rc == err::kOk) rc = LoadSoundFile(file, parsed->kind, stored_code, stored.size(), &loaded);
    if (rc != err::kOk) {
      std::fprintf(stderr, "tidemark: %s failed with error %u\n", file.c_str(), rc.code());
      ++failures;
      continue;
    }
    if (parsed->kind == PcmFileKind::Wave && stored_code == sample_code::kS16) wave16 = file;

    std::vector<float> back(samples);
    Convert(loaded.data(), back.data(), samples, stored_code, sample_code::kFloat);
    const Outcome o = Compare(sound, back);
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", stored_code);
    std::printf("  %-22s %-7s %10zu %12.3g %10.1f\n", name.c_str(), code, stored.size(), o.peak_error, o.snr_db);
  }
  if (!wave16.empty()) MarkAndTitle(wave16);
  failures += RunOneBitDemo(out_dir);
  if (!wave16.empty()) failures += RunEffectsDemo(wave16, out_dir);
  std::printf("\nConverter variant in use: %s.\n",
              ActiveConvertIsa() == ConvertIsa::Avx2    ? "AVX2"
              : ActiveConvertIsa() == ConvertIsa::Sse41 ? "SSE4.1"
                                                        : "scalar");
  if (!wave16.empty()) std::printf("Play one with, for example: play %s\n", wave16.c_str());
  return failures == 0 ? 0 : 1;
}
