#include <alsa/asoundlib.h>

#include <cstdarg>

#include "config/error_codes.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "playback/internal/file_out_dev.h"
#include "playback/internal/queued_out_dev.h"

namespace tidemark::playback::internal {

namespace {

// ALSA prints its own complaints on stderr; ours carry the same words.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_format_t AlsaFormat(SampleCode code) {
  if (code == sample_code::kS24) return SND_PCM_FORMAT_S24_3LE;
  if (code == sample_code::kFloat) return SND_PCM_FORMAT_FLOAT_LE;
  return SND_PCM_FORMAT_S16_LE;
}

std::string AlsaText(const std::string& pcm, const char* step, int rc) {
  return "ALSA device \"" + pcm + "\": " + step + ": " + snd_strerror(rc);
}

class AlsaOutDev final : public QueuedOutDev {
 public:
  AlsaOutDev(const OutFormat& format, const OutBuffers& buffers) : QueuedOutDev(format, buffers, false) {}
  ~AlsaOutDev() override {
    StopThread();
    if (pcm_ != nullptr) {
      snd_pcm_drop(pcm_);
      snd_pcm_close(pcm_);
    }
  }

  Error Open(const std::string& name, std::uint32_t frames, std::uint32_t count, std::string* detail) {
    name_ = name;
    snd_lib_error_set_handler(&Quiet);
    int rc = snd_pcm_open(&pcm_, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (rc < 0) {
      pcm_ = nullptr;
      *detail = AlsaText(name, "cannot open", rc);
      return err::kWaveOutOpenFailed;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = format_.rate;
    snd_pcm_uframes_t period = frames;
    snd_pcm_uframes_t size = static_cast<snd_pcm_uframes_t>(frames) * count;
    const char* step = "no configuration";
    if ((rc = snd_pcm_hw_params_any(pcm_, hw)) < 0 ||
        (step = "interleaved access", rc = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (step = "sample format", rc = snd_pcm_hw_params_set_format(pcm_, hw, AlsaFormat(format_.code))) < 0 ||
        (step = "channel count", rc = snd_pcm_hw_params_set_channels(pcm_, hw, format_.channels)) < 0 ||
        (step = "sample rate", rc = snd_pcm_hw_params_set_rate(pcm_, hw, rate, 0)) < 0 ||
        (step = "period size", rc = snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr)) < 0 ||
        (step = "buffer size", rc = snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &size)) < 0 ||
        (step = "hardware parameters", rc = snd_pcm_hw_params(pcm_, hw)) < 0) {
      *detail = AlsaText(name, step, rc);
      return err::kWaveOutOpenFailed;
    }
    can_pause_ = snd_pcm_hw_params_can_pause(hw) != 0;
    if ((rc = snd_pcm_prepare(pcm_)) < 0) {
      *detail = AlsaText(name, "prepare", rc);
      return err::kWaveOutOpenFailed;
    }
    return StartThread();
  }

 protected:
  Error Deliver(const std::uint8_t* data, std::uint32_t frames, std::string* text) override {
    while (frames > 0) {
      snd_pcm_sframes_t n = snd_pcm_writei(pcm_, data, frames);
      if (n < 0) {
        // Underruns (after a pause without hardware support, or a slow fill) and suspends recover.
        n = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
        if (n < 0) {
          *text = AlsaText(name_, "write", static_cast<int>(n));
          return err::kWaveOutFailed;
        }
        continue;
      }
      frames -= static_cast<std::uint32_t>(n);
      data += static_cast<std::size_t>(n) * frame_bytes_;
    }
    return {};
  }

  void OnPause(bool paused) override {
    if (can_pause_ && snd_pcm_pause(pcm_, paused ? 1 : 0) == 0) return;
    // Without hardware pause: drop what the device holds, and start afresh on resume.
    if (paused)
      snd_pcm_drop(pcm_);
    else
      snd_pcm_prepare(pcm_);
  }

  void OnReset() override {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
  }

 private:
  snd_pcm_t* pcm_ = nullptr;
  std::string name_;
  bool can_pause_ = false;
};

}  // namespace

Error OpenAlsaOutDev(const std::string& pcm, const OutFormat& format, const OutBuffers& buffers,
                     std::unique_ptr<CSndOutDev>* out, std::string* detail) {
  std::unique_ptr<AlsaOutDev> dev;
  if (const Error rc = MakeNew(&dev, format, buffers)) return rc;
  if (const Error rc = dev->Open(pcm, buffers.frames, buffers.count, detail)) return rc;
  *out = std::move(dev);
  return {};
}

}  // namespace tidemark::playback::internal
