// The recording engine: one thread per recorder that captures from an input
// device, keeps the latest input in a pre-record ring, and on command writes
// a WAV target: the header, the wanted pre-record (oldest first), then every
// captured buffer.
//
// The owner (the recording window's stand-in) takes notices from the
// recorder's queue: kError (WM_APP + 6) when capturing or writing fails,
// kLevels (WM_APP + 7) after a captured buffer, carrying the level record;
// the thread sets the record's ready flag and posts the next levels only
// after the owner has cleared it. kTakeDone (not in the design: the console
// needs it) when a target ended on its own: its frame limit was reached or
// the input ended; the result is then final.
//
// Float input: NaN and infinities count as 0 in the levels and the energy;
// the written file holds the samples as captured.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/io/buffered_file.h"
#include "platform/error.h"
#include "platform/page_buffer.h"
#include "playback/snd_in_dev.h"

namespace tidemark {
struct Settings;
}

namespace tidemark::playback {

// The ring's length when the settings give none: the "Record" entry of the
// "Dialogs" section, first value (type "i"), in whole seconds.
inline constexpr std::uint32_t kDefaultPrerecordSeconds = 10;
inline constexpr std::uint32_t kMaxPrerecordSeconds = 600;
std::uint32_t PrerecordSeconds(const Settings& settings);

struct RecordOptions {
  std::string device = "default";
  InFormat format;  // zeros leave the choice to the device
  std::uint32_t ring_seconds = kDefaultPrerecordSeconds;
  std::uint32_t buffer_frames = 0;  // 0: a tenth of a second
  // Frames a target may hold; 0: as many as keep header and data within
  // the 32-bit size limit of a WAV file.
  std::uint64_t capacity_frames = 0;
};

struct RecordResult {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  std::uint32_t bytes_per_sample = 0;  // code & 15
  std::uint64_t frames = 0;
  std::uint32_t header_size = 0;
  std::string path;
  Error error;  // what ended writing (17 at the capacity), else the end's
};

struct RecordLevels {
  std::atomic<bool> ready{false};  // set by the thread, cleared by the owner
  std::uint16_t channels = 0;
  std::uint32_t peaks[32] = {};     // 16-bit scale; 32768 at full scale
  double energy[32] = {};           // mean square, full scale 1.0
  std::uint64_t captured = 0;       // frames captured since the start
  std::uint64_t written = 0;        // frames in the current target
};

struct RecordNotice {
  enum Kind : std::uint8_t { kError, kLevels, kTakeDone } kind = kError;
  Error error;
  std::string detail;  // kError: the device's words, when it said any
  RecordLevels* levels = nullptr;
};

// The peaks and the energy of `frames` frames of `format` into `levels`:
// every k-th frame, k = floor(rate / 10000) above 9999 Hz and 1 below.
void MeasureRecordLevels(const std::uint8_t* data, std::uint32_t frames, const InFormat& format,
                         RecordLevels* levels);

// The largest frame count of a WAV target of `format` whose header and data
// stay within 0xFFFFFFFE bytes (and whose RIFF size fits in 32 bits).
std::uint64_t RecordCapacityFrames(const InFormat& format, std::uint32_t header_size);

class Recorder {
 public:
  explicit Recorder(RecordOptions options);
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  ~Recorder();  // stops

  // Starts the thread and waits until the device has started (0 at once
  // when it runs). Errors: the device's (15, 0x10000, 0x10001), 2, 39;
  // `detail` gets the device's words.
  [[nodiscard]] Error Start(std::string* detail = nullptr);
  // Command 0: ends the current target; then, for a non-empty path, opens
  // it, writes the header and min(pre_frames, ring frames) frames of the
  // ring and goes on appending, at most `limit_frames` after the pre-record
  // (0: no limit). Resumes a paused capture.
  void Write(const std::string& path, std::uint64_t pre_frames, std::uint64_t limit_frames = 0);
  // Command 1: ends the target and the thread; gives the exit result.
  Error Stop();
  // Command 2.
  void Pause(bool pause);

  bool TakeNotice(RecordNotice* notice, int timeout_ms);
  // The result of the last ended target (valid after Stop or kTakeDone).
  RecordResult result() const;
  const InFormat& format() const { return format_; }
  std::uint64_t ring_frames() const { return ring_frames_; }
  // Frames captured since the start.
  std::uint64_t captured() const { return captured_.load(); }
  bool running() const { return thread_.joinable(); }

 private:
  struct Command {
    int kind = 0;
    std::string path;
    std::uint64_t pre = 0;
    std::uint64_t limit = 0;
    bool flag = false;
  };
  void Run();
  // Takes one filled buffer (waiting at most `timeout_ms`) into the ring and
  // the target; false when none was taken.
  bool ServeBuffer(int timeout_ms, bool* ended);
  void EndTake();
  void Fail(Error rc, std::string detail, bool record_result);
  Error OpenDevice();
  void Post(RecordNotice notice);
  void PostCommand(Command c);
  bool ServeCommands();  // false once stopped
  Error OpenTarget(const Command& c);
  Error Append(const std::uint8_t* data, std::uint32_t frames, bool* full);
  Error EndTarget();
  void CopyToRing(const std::uint8_t* data, std::uint32_t frames);

  const RecordOptions options_;
  InFormat format_;
  std::uint32_t block_ = 0;
  std::unique_ptr<CSndInDev> device_;
  std::string detail_;

  PageBuffer ring_;
  std::uint64_t ring_frames_ = 0;
  std::uint64_t ring_pos_ = 0;

  std::unique_ptr<BufferedFile> target_;
  std::string target_path_;
  std::uint32_t header_size_ = 0;
  std::uint64_t written_ = 0;
  std::uint64_t capacity_ = 0;
  std::uint64_t limit_ = 0;  // frames written at which the take ends; 0: none
  bool unpaced_ = false;

  RecordLevels levels_;
  std::atomic<std::uint64_t> captured_{0};

  std::thread thread_;
  Error start_result_;
  Error exit_result_;
  bool ready_ = false;
  bool error_pending_ = false;
  bool paused_ = false;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Command> commands_;
  std::deque<RecordNotice> notices_;
  RecordResult result_;
};

}  // namespace tidemark::playback
