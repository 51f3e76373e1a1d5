#include "playback/snd_out_dev.h"

#include <alsa/asoundlib.h>

#include "config/error_codes.h"
#include "platform/error_numbers.h"
#include "playback/internal/file_out_dev.h"

namespace tidemark::playback {

namespace {

// Past these a rate or a channel count is a mistake, not a device.
constexpr std::uint32_t kMinRate = 1000;
constexpr std::uint32_t kMaxRate = 768000;
constexpr std::uint16_t kMaxChannels = 32;
// One buffer stays under 16 MiB, and the ring under 1024 buffers.
constexpr std::uint64_t kMaxBufferBytes = 16u << 20;
constexpr std::uint32_t kMaxBuffers = 1024;

}  // namespace

std::uint32_t OutSampleBytes(SampleCode code) {
  switch (code) {
    case sample_code::kS16:
      return 2;
    case sample_code::kS24:
      return 3;
    case sample_code::kFloat:
      return 4;
    default:
      return 0;
  }
}

bool CSndOutDev::AttachSession(std::string_view, int percent) {
  session_percent_ = percent;
  return false;
}

Error CSndOutDev::SetVolumePercent(int percent) {
  return SetVolume(static_cast<float>(percent) / 100.0f);
}

Error OpenSndOutDev(std::string_view name, const OutFormat& format, const OutBuffers& buffers,
                    std::unique_ptr<CSndOutDev>* out, std::string* detail) {
  detail->clear();
  const std::uint32_t bytes = OutSampleBytes(format.code);
  if (bytes == 0 || format.rate < kMinRate || format.rate > kMaxRate || format.channels == 0 ||
      format.channels > kMaxChannels || buffers.count < 2 || buffers.count > kMaxBuffers || buffers.frames == 0 ||
      static_cast<std::uint64_t>(buffers.frames) * bytes * format.channels > kMaxBufferBytes) {
    *detail = "the output device cannot play " + std::to_string(format.rate) + " Hz, " +
              std::to_string(format.channels) + " channels with these buffers";
    return err::kUnsupportedFormat;
  }
  constexpr std::string_view kFile = "file:";
  if (name == "null") return internal::OpenNullOutDev(format, buffers, out);
  if (name.substr(0, kFile.size()) == kFile)
    return internal::OpenFileOutDev(std::string(name.substr(kFile.size())), format, buffers, out, detail);
  if (name.empty()) {
    *detail = "no output device named";
    return err::kWaveOutOpenFailed;
  }
  return internal::OpenAlsaOutDev(std::string(name), format, buffers, out, detail);
}

std::vector<DeviceName> ListDevices(bool capture) {
  std::vector<DeviceName> list;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) == 0) {
    for (void** h = hints; *h != nullptr; ++h) {
      char* name = snd_device_name_get_hint(*h, "NAME");
      char* desc = snd_device_name_get_hint(*h, "DESC");
      char* io = snd_device_name_get_hint(*h, "IOID");
      // IOID is absent for PCMs that work both ways.
      const bool fits = io == nullptr || std::string_view(io) == (capture ? "Input" : "Output");
      if (fits && name != nullptr && std::string_view(name) != "null") {
        std::string text = desc != nullptr ? desc : "";
        for (char& c : text)
          if (c == '\n') c = ' ';
        list.push_back({name, text});
      }
      std::free(name);
      std::free(desc);
      std::free(io);
    }
    snd_device_name_free_hint(hints);
  }
  list.push_back({"null", capture ? "silence at the real pace" : "discards at the real pace"});
  list.push_back({"file:PATH", capture ? "reads a WAV file as the input (?fast: without pacing)"
                                       : "writes a WAV file (?fast: without pacing)"});
  return list;
}

}  // namespace tidemark::playback
