#include "playback/snd_in_dev.h"

#include "config/error_codes.h"
#include "platform/error_numbers.h"
#include "playback/internal/in_devs.h"

namespace tidemark::playback {

namespace {

// The same bounds as for output: past these it is a mistake, not a device.
constexpr std::uint32_t kMinRate = 1000;
constexpr std::uint32_t kMaxRate = 768000;
constexpr std::uint16_t kMaxChannels = 32;
constexpr std::uint64_t kMaxBufferBytes = 16u << 20;

}  // namespace

std::uint32_t InSampleBytes(SampleCode code) {
  switch (code) {
    case sample_code::kU8:
      return 1;
    case sample_code::kS16:
      return 2;
    case sample_code::kS24:
      return 3;
    case sample_code::kS32:
    case sample_code::kFloat:
      return 4;
    default:
      return 0;
  }
}

Error OpenSndInDev(std::string_view name, const InFormat& wanted, std::uint32_t buffer_frames,
                   std::unique_ptr<CSndInDev>* out, std::string* detail) {
  detail->clear();
  constexpr std::string_view kFile = "file:";
  const bool file = name.substr(0, kFile.size()) == kFile;
  // A file input may keep its own format; every other device gets the default.
  InFormat f = wanted;
  if (!file) {
    if (f.rate == 0) f.rate = 44100;
    if (f.channels == 0) f.channels = 2;
    if (f.code == 0) f.code = sample_code::kS16;
  }
  const bool rate_bad = f.rate != 0 && (f.rate < kMinRate || f.rate > kMaxRate);
  const bool channels_bad = f.channels > kMaxChannels || (f.rate != 0 && f.channels == 0);
  const bool code_bad = f.code != 0 && InSampleBytes(f.code) == 0;
  if (rate_bad || channels_bad || code_bad) {
    *detail = "the input device cannot record " + std::to_string(f.rate) + " Hz" +
              (f.channels != 0 ? ", " + std::to_string(f.channels) + " channels" : std::string()) +
              (code_bad ? " in this sample format" : "");
    return err::kUnsupportedFormat;
  }
  if (f.rate != 0 && f.channels != 0 && f.code != 0) {
    const std::uint32_t frames = buffer_frames != 0 ? buffer_frames : std::max(1u, f.rate / 10);
    if (static_cast<std::uint64_t>(frames) * f.channels * InSampleBytes(f.code) > kMaxBufferBytes) {
      *detail = "the input buffer would be larger than 16 MiB";
      return err::kUnsupportedFormat;
    }
  }
  if (name == "null") return internal::OpenNullInDev(f, buffer_frames, out);
  if (file) return internal::OpenFileInDev(std::string(name.substr(kFile.size())), f, buffer_frames, out, detail);
  if (name.empty()) {
    *detail = "no input device named";
    return err::kWaveInOpenFailed;
  }
  return internal::OpenAlsaInDev(std::string(name), f, buffer_frames, out, detail);
}

}  // namespace tidemark::playback
