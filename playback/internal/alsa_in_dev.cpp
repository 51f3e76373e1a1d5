// ALSA capture: the PCM is read one buffer (one period) at a time; an
// overrun (the recorder too slow) or a suspend recovers and goes on.
#include <alsa/asoundlib.h>

#include <chrono>
#include <thread>
#include <vector>

#include "config/error_codes.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "playback/internal/in_devs.h"

namespace tidemark::playback::internal {

namespace {

void Quiet(const char*, int, const char*, int, const char*, ...) {}

snd_pcm_format_t AlsaFormat(SampleCode code) {
  switch (code) {
    case sample_code::kU8:
      return SND_PCM_FORMAT_U8;
    case sample_code::kS24:
      return SND_PCM_FORMAT_S24_3LE;
    case sample_code::kS32:
      return SND_PCM_FORMAT_S32_LE;
    case sample_code::kFloat:
      return SND_PCM_FORMAT_FLOAT_LE;
    default:
      return SND_PCM_FORMAT_S16_LE;
  }
}

std::string AlsaText(const std::string& pcm, const char* step, int rc) {
  return "ALSA capture device \"" + pcm + "\": " + step + ": " + snd_strerror(rc);
}

class AlsaInDev final : public CSndInDev {
 public:
  AlsaInDev(const InFormat& format, std::uint32_t frames) : format_(format), frames_(frames) {}
  ~AlsaInDev() override {
    if (pcm_ != nullptr) {
      snd_pcm_drop(pcm_);
      snd_pcm_close(pcm_);
    }
  }

  Error Open(const std::string& name, std::string* detail) {
    name_ = name;
    snd_lib_error_set_handler(&Quiet);
    int rc = snd_pcm_open(&pcm_, name.c_str(), SND_PCM_STREAM_CAPTURE, 0);
    if (rc < 0) {
      pcm_ = nullptr;
      *detail = AlsaText(name, "cannot open", rc);
      return err::kWaveInOpenFailed;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t period = frames_;
    snd_pcm_uframes_t size = static_cast<snd_pcm_uframes_t>(frames_) * 8;
    const char* step = "no configuration";
    if ((rc = snd_pcm_hw_params_any(pcm_, hw)) < 0 ||
        (step = "interleaved access", rc = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (step = "sample format", rc = snd_pcm_hw_params_set_format(pcm_, hw, AlsaFormat(format_.code))) < 0 ||
        (step = "channel count", rc = snd_pcm_hw_params_set_channels(pcm_, hw, format_.channels)) < 0 ||
        (step = "sample rate", rc = snd_pcm_hw_params_set_rate(pcm_, hw, format_.rate, 0)) < 0 ||
        (step = "period size", rc = snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr)) < 0 ||
        (step = "buffer size", rc = snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &size)) < 0 ||
        (step = "hardware parameters", rc = snd_pcm_hw_params(pcm_, hw)) < 0) {
      *detail = AlsaText(name, step, rc);
      return err::kWaveInOpenFailed;
    }
    can_pause_ = snd_pcm_hw_params_can_pause(hw) != 0;
    try {
      data_.resize(static_cast<std::size_t>(frames_) * format_.channels * InSampleBytes(format_.code));
    } catch (const std::bad_alloc&) {
      return err::kOutOfMemory;
    }
    if ((rc = snd_pcm_prepare(pcm_)) < 0) {
      *detail = AlsaText(name, "prepare", rc);
      return err::kWaveInOpenFailed;
    }
    return {};
  }

  Error Start() override { return Check(snd_pcm_start(pcm_), "start"); }
  Error Stop() override {
    snd_pcm_drop(pcm_);
    return Check(snd_pcm_prepare(pcm_), "stop");
  }
  Error WaitFilled(int timeout_ms, bool* ready, bool* ended) override {
    *ended = false;
    *ready = false;
    if (paused_) {
      // A paused PCM would answer a wait at once.
      std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
      return {};
    }
    snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm_);
    if (avail >= 0 && static_cast<snd_pcm_uframes_t>(avail) < frames_) {
      snd_pcm_wait(pcm_, timeout_ms);
      avail = snd_pcm_avail_update(pcm_);
    }
    if (avail < 0) {
      const int rc = snd_pcm_recover(pcm_, static_cast<int>(avail), 1);
      if (rc < 0) return Check(rc, "capture");
      return Check(snd_pcm_start(pcm_), "restart");
    }
    *ready = static_cast<snd_pcm_uframes_t>(avail) >= frames_;
    return {};
  }
  Error TakeBuffer(std::uint32_t* frames) override {
    *frames = 0;
    for (;;) {
      const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, data_.data(), frames_);
      if (n >= 0) {
        *frames = static_cast<std::uint32_t>(n);
        return {};
      }
      const int rc = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
      if (rc < 0) return Check(rc, "read");
      if (const Error e = Check(snd_pcm_start(pcm_), "restart")) return e;
    }
  }
  void GiveBack() override {}
  Error Pause() override {
    if (paused_) return {};
    paused_ = true;
    if (can_pause_ && snd_pcm_pause(pcm_, 1) == 0) return {};
    snd_pcm_drop(pcm_);
    return {};
  }
  Error Resume() override {
    if (!paused_) return {};
    paused_ = false;
    if (can_pause_ && snd_pcm_pause(pcm_, 0) == 0) return {};
    if (const Error rc = Check(snd_pcm_prepare(pcm_), "resume")) return rc;
    return Check(snd_pcm_start(pcm_), "resume");
  }
  const std::uint8_t* Data() const override { return data_.data(); }
  std::uint32_t FramesPerBuffer() const override { return frames_; }
  const InFormat& Format() const override { return format_; }
  std::string LastError() const override { return error_; }

 private:
  Error Check(int rc, const char* step) {
    if (rc >= 0) return {};
    error_ = AlsaText(name_, step, rc);
    return err::kWaveInFailed;
  }

  InFormat format_;
  const std::uint32_t frames_;
  snd_pcm_t* pcm_ = nullptr;
  std::string name_;
  std::string error_;
  std::vector<std::uint8_t> data_;
  bool can_pause_ = false;
  bool paused_ = false;
};

}  // namespace

Error OpenAlsaInDev(const std::string& pcm, const InFormat& format, std::uint32_t buffer_frames,
                    std::unique_ptr<CSndInDev>* out, std::string* detail) {
  std::unique_ptr<AlsaInDev> dev;
  const std::uint32_t frames = buffer_frames != 0 ? buffer_frames : std::max(1u, format.rate / 10);
  if (const Error rc = MakeNew(&dev, format, frames)) return rc;
  if (const Error rc = dev->Open(pcm, detail)) return rc;
  *out = std::move(dev);
  return {};
}

}  // namespace tidemark::playback::internal
