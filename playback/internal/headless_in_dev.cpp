// "null" and "file:PATH[?fast]": inputs paced by the buffer period, so that
// tests and headless machines record as a sound card would.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "config/error_codes.h"
#include "config/error_messages.h"
#include "core/samples/sample_convert.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"
#include "playback/internal/in_devs.h"

namespace tidemark::playback::internal {

namespace {

using Clock = std::chrono::steady_clock;

std::uint32_t DefaultFrames(const InFormat& f, std::uint32_t asked) {
  return asked != 0 ? asked : std::max(1u, f.rate / 10);
}

// Buffer n is filled once n + 1 buffer periods have passed since Start,
// not counting paused time.
class PacedInDev : public CSndInDev {
 public:
  PacedInDev(const InFormat& format, std::uint32_t frames) : format_(format), frames_(frames) {}

  Error Start() override {
    origin_ = Clock::now();
    taken_ = 0;
    running_ = true;
    paused_ = false;
    return {};
  }
  Error Stop() override {
    running_ = false;
    return {};
  }
  Error Pause() override {
    if (running_ && !paused_) {
      paused_ = true;
      paused_at_ = Clock::now();
    }
    return {};
  }
  Error Resume() override {
    if (paused_) {
      paused_ = false;
      origin_ += Clock::now() - paused_at_;
    }
    return {};
  }
  Error WaitFilled(int timeout_ms, bool* ready, bool* ended) override {
    *ready = false;
    *ended = AtEnd();
    if (*ended || !running_) return {};
    if (paused_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
      return {};
    }
    if (!unpaced_) {
      const auto due = Due();
      const auto limit = Clock::now() + std::chrono::milliseconds(timeout_ms);
      std::this_thread::sleep_until(std::min(due, limit));
      if (Clock::now() < due) return {};
    }
    *ready = true;
    return {};
  }
  Error TakeBuffer(std::uint32_t* frames) override {
    ++taken_;
    return Fill(frames);
  }
  void GiveBack() override {}
  std::optional<Clock::time_point> NextDue() const override {
    if (!running_ || AtEnd()) return std::nullopt;
    // Paused, only a command (resume, stop) brings the next buffer nearer.
    if (paused_) return Clock::now() + std::chrono::seconds(1);
    return unpaced_ ? Clock::now() : Due();
  }
  std::uint32_t FramesPerBuffer() const override { return frames_; }
  const InFormat& Format() const override { return format_; }
  std::string LastError() const override { return error_; }

 protected:
  virtual bool AtEnd() const { return false; }
  virtual Error Fill(std::uint32_t* frames) = 0;

  InFormat format_;
  const std::uint32_t frames_;
  bool unpaced_ = false;
  std::string error_;

 private:
  Clock::time_point Due() const {
    return origin_ + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(static_cast<double>(taken_ + 1) * frames_ / format_.rate));
  }

  Clock::time_point origin_;
  Clock::time_point paused_at_;
  std::uint64_t taken_ = 0;
  bool running_ = false;
  bool paused_ = false;
};

class NullInDev final : public PacedInDev {
 public:
  NullInDev(const InFormat& format, std::uint32_t frames) : PacedInDev(format, frames) {}
  Error Allocate() {
    const std::uint8_t silence = format_.code == sample_code::kU8 ? 128 : 0;
    try {
      data_.assign(static_cast<std::size_t>(frames_) * format_.channels * InSampleBytes(format_.code), silence);
    } catch (const std::bad_alloc&) {
      return err::kOutOfMemory;
    }
    return {};
  }
  const std::uint8_t* Data() const override { return data_.data(); }

 protected:
  Error Fill(std::uint32_t* frames) override {
    *frames = frames_;
    return {};
  }

 private:
  std::vector<std::uint8_t> data_;
};

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

class FileInDev final : public PacedInDev {
 public:
  FileInDev(const InFormat& format, std::uint32_t frames, bool fast) : PacedInDev(format, frames), fast_(fast) {}

  // Reads the RIFF chunks up to "data"; `wanted` may leave rate, channels
  // and code to the file.
  Error Open(const std::string& path, const InFormat& wanted, std::string* detail) {
    FileOpenOptions options;
    if (const Error rc = file_.Open(path, options)) {
      *detail = "cannot open the input file \"" + path + "\": " + DescribeError(rc);
      return err::kWaveInOpenFailed;
    }
    std::uint8_t head[12];
    std::size_t done = 0;
    if (file_.ReadAt(head, 12, 0, &done) || done != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
      return NotWav(path, detail);
    std::uint64_t at = 12;
    bool have_format = false;
    for (;;) {
      std::uint8_t chunk[8];
      if (file_.ReadAt(chunk, 8, at, &done) || done != 8) return NotWav(path, detail);
      const std::uint32_t size = Le32(chunk + 4);
      if (std::memcmp(chunk, "fmt ", 4) == 0) {
        std::uint8_t fmt[40] = {};
        const std::size_t n = std::min<std::size_t>(size, sizeof fmt);
        if (size < 16 || file_.ReadAt(fmt, n, at + 8, &done) || done != n) return NotWav(path, detail);
        std::uint16_t tag = Le16(fmt);
        if (tag == 0xFFFE && size >= 40) tag = Le16(fmt + 24);
        file_format_.channels = Le16(fmt + 2);
        file_format_.rate = Le32(fmt + 4);
        const std::uint16_t bits = Le16(fmt + 14);
        file_format_.code = tag == 3 && bits == 32   ? sample_code::kFloat
                            : tag != 1               ? 0
                            : bits == 8              ? sample_code::kU8
                            : bits == 16             ? sample_code::kS16
                            : bits == 24             ? sample_code::kS24
                            : bits == 32             ? sample_code::kS32
                                                     : 0;
        have_format = true;
      } else if (std::memcmp(chunk, "data", 4) == 0) {
        if (!have_format) return NotWav(path, detail);
        data_offset_ = at + 8;
        data_bytes_ = size;
        break;
      }
      at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
    if (file_format_.code == 0 || file_format_.channels == 0 || file_format_.rate == 0) {
      *detail = "the input file \"" + path + "\" is not PCM or float sound this device can read";
      return err::kWaveInOpenFailed;
    }
    if ((wanted.rate != 0 && wanted.rate != file_format_.rate) ||
        (wanted.channels != 0 && wanted.channels != file_format_.channels)) {
      *detail = "the input file \"" + path + "\" holds " + std::to_string(file_format_.rate) + " Hz, " +
                std::to_string(file_format_.channels) + " channels; it cannot be recorded in another rate or channel count";
      return err::kWaveInOpenFailed;
    }
    format_ = file_format_;
    if (wanted.code != 0) format_.code = wanted.code;
    // A data size past the file's end (a file still being written) ends where the file does.
    std::uint64_t size = 0;
    if (file_.Size(&size) == err::kOk && size >= data_offset_)
      data_bytes_ = std::min<std::uint64_t>(data_bytes_, size - data_offset_);
    file_block_ = file_format_.channels * InSampleBytes(file_format_.code);
    data_bytes_ -= data_bytes_ % file_block_;
    const std::size_t samples = static_cast<std::size_t>(frames_) * format_.channels;
    try {
      raw_.resize(samples * InSampleBytes(file_format_.code));
      data_.resize(samples * InSampleBytes(format_.code));
    } catch (const std::bad_alloc&) {
      return err::kOutOfMemory;
    }
    return {};
  }

  const std::uint8_t* Data() const override { return data_.data(); }
  void Unpace() override {
    if (fast_) unpaced_ = true;
  }

 protected:
  bool AtEnd() const override { return read_ >= data_bytes_; }
  Error Fill(std::uint32_t* frames) override {
    const std::uint64_t left = (data_bytes_ - read_) / file_block_;
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames_, left));
    const std::size_t bytes = static_cast<std::size_t>(n) * file_block_;
    std::size_t done = 0;
    if (const Error rc = file_.ReadAt(raw_.data(), bytes, data_offset_ + read_, &done); rc || done != bytes) {
      error_ = "reading the input file failed: " + DescribeError(rc ? rc : err::kReadFailed);
      *frames = 0;
      return err::kWaveInFailed;
    }
    read_ += bytes;
    Convert(raw_.data(), data_.data(), static_cast<std::size_t>(n) * format_.channels, file_format_.code, format_.code);
    *frames = n;
    return {};
  }

 private:
  Error NotWav(const std::string& path, std::string* detail) {
    *detail = "the input file \"" + path + "\" is not a WAV file";
    return err::kWaveInOpenFailed;
  }

  const bool fast_;
  PosixFile file_;
  InFormat file_format_;
  std::uint32_t file_block_ = 1;
  std::uint64_t data_offset_ = 0;
  std::uint64_t data_bytes_ = 0;
  std::uint64_t read_ = 0;
  std::vector<std::uint8_t> raw_;
  std::vector<std::uint8_t> data_;
};

}  // namespace

Error OpenNullInDev(const InFormat& format, std::uint32_t buffer_frames, std::unique_ptr<CSndInDev>* out) {
  std::unique_ptr<NullInDev> dev;
  if (const Error rc = MakeNew(&dev, format, DefaultFrames(format, buffer_frames))) return rc;
  if (const Error rc = dev->Allocate()) return rc;
  *out = std::move(dev);
  return {};
}

Error OpenFileInDev(const std::string& target, const InFormat& wanted, std::uint32_t buffer_frames,
                    std::unique_ptr<CSndInDev>* out, std::string* detail) {
  std::string path = target;
  bool fast = false;
  constexpr std::string_view kFast = "?fast";
  if (path.size() >= kFast.size() && path.compare(path.size() - kFast.size(), kFast.size(), kFast) == 0) {
    path.resize(path.size() - kFast.size());
    fast = true;
  }
  if (path.empty()) {
    *detail = "a file input needs a path: file:PATH";
    return err::kWaveInOpenFailed;
  }
  // The buffer length follows the file's rate when the rate is left to it;
  // the device is made once that rate is known.
  FileInDev probe(wanted, 1, fast);
  if (const Error rc = probe.Open(path, wanted, detail)) return rc;
  const InFormat f = probe.Format();
  std::unique_ptr<FileInDev> dev;
  if (const Error rc = MakeNew(&dev, f, DefaultFrames(f, buffer_frames), fast)) return rc;
  if (const Error rc = dev->Open(path, wanted, detail)) return rc;
  *out = std::move(dev);
  return {};
}

}  // namespace tidemark::playback::internal
