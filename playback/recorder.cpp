#include "playback/recorder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "config/error_codes.h"
#include "config/settings.h"
#include "playback/play_engine.h"
#include "core/core_options.h"
#include "core/io/pcm_header.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/posix_file.h"
#include "playback/internal/queued_out_dev.h"

namespace tidemark::playback {

namespace {

// The recorder's loop wakes this often for commands while it waits for a
// hardware input (a clock-paced one sleeps until its next buffer is due).
constexpr int kWaitSliceMs = 20;
// How long a clock-paced input's buffers may wait to be served together.
constexpr std::uint64_t kPacedWakeMs = 300;

std::int32_t Sample16(const std::uint8_t* p, SampleCode code) {
  switch (code) {
    case sample_code::kU8:
      return (static_cast<std::int32_t>(p[0]) - 128) * 256;
    case sample_code::kS16:
      return static_cast<std::int16_t>(p[0] | p[1] << 8);
    case sample_code::kS24:
      return static_cast<std::int16_t>(p[1] | p[2] << 8);  // the upper two bytes
    case sample_code::kS32:
      return static_cast<std::int16_t>(p[2] | p[3] << 8);
    default:
      return 0;
  }
}

// A float on the 16-bit scale: 1.0 is 32768; NaN and infinities count as 0.
double FloatSample(const std::uint8_t* p) {
  float v = 0;
  std::memcpy(&v, p, 4);
  return std::isfinite(v) ? static_cast<double>(v) * 32768.0 : 0.0;
}

}  // namespace

void MeasureRecordLevels(const std::uint8_t* data, std::uint32_t frames, const InFormat& format,
                         RecordLevels* levels) {
  const std::uint16_t channels = std::min<std::uint16_t>(format.channels, 32);
  const std::uint32_t bytes = InSampleBytes(format.code);
  const std::size_t block = static_cast<std::size_t>(format.channels) * bytes;
  const std::uint32_t step = format.rate > 9999 ? format.rate / 10000 : 1;
  const bool is_float = format.code == sample_code::kFloat;
  levels->channels = channels;
  for (std::uint16_t c = 0; c < channels; ++c) {
    std::uint32_t peak = 0;
    double sum = 0;
    for (std::uint32_t f = 0; f < frames; ++f) {
      const std::uint8_t* p = data + f * block + static_cast<std::size_t>(c) * bytes;
      const double v = is_float ? FloatSample(p) : Sample16(p, format.code);
      sum += v * v;
      if (f % step != 0) continue;
      const double a = std::fabs(v);
      // Within half a step of a level counts as that level (float 1.0 is 32768).
      const auto level = static_cast<std::uint32_t>(std::min(a + 0.5, 2147483647.0));
      peak = std::max(peak, level);
    }
    levels->peaks[c] = peak;
    // Squares on the 16-bit scale times 2^-30: full scale is 1.0.
    levels->energy[c] = frames == 0 ? 0.0 : sum * std::ldexp(1.0, -30) / frames;
  }
}

std::uint64_t RecordCapacityFrames(const InFormat& format, std::uint32_t header_size) {
  const std::uint64_t block = static_cast<std::uint64_t>(format.channels) * InSampleBytes(format.code);
  if (block == 0 || header_size >= 0xFFFFFFFEu) return 0;
  return (0xFFFFFFFEu - header_size) / block;
}

std::uint32_t PrerecordSeconds(const Settings& settings) {
  return std::min(DialogNumber(settings, "Record", kDefaultPrerecordSeconds), kMaxPrerecordSeconds);
}

Recorder::Recorder(RecordOptions options) : options_(std::move(options)) {}

Recorder::~Recorder() { (void)Stop(); }

Error Recorder::Start(std::string* detail) {
  if (thread_.joinable()) return {};
  {
    const std::lock_guard lock(mutex_);
    ready_ = false;
    commands_.clear();
    notices_.clear();
  }
  if (fault::CheckFault(fault::kThreadStart).fire) return err::kThreadCreate;
  try {
    thread_ = std::thread(&Recorder::Run, this);
  } catch (const std::system_error&) {
    return err::kThreadCreate;
  }
  Error rc;
  {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return ready_; });
    rc = start_result_;
  }
  if (detail != nullptr) *detail = detail_;
  if (rc) thread_.join();
  return rc;
}

void Recorder::PostCommand(Command c) {
  {
    const std::lock_guard lock(mutex_);
    commands_.push_back(std::move(c));
  }
  wake_.notify_all();
}

void Recorder::Write(const std::string& path, std::uint64_t pre_frames, std::uint64_t limit_frames) {
  Command c;
  c.kind = 0;
  c.path = path;
  c.pre = pre_frames;
  c.limit = limit_frames;
  PostCommand(std::move(c));
}

void Recorder::Pause(bool pause) {
  Command c;
  c.kind = 2;
  c.flag = pause;
  PostCommand(std::move(c));
}

Error Recorder::Stop() {
  if (!thread_.joinable()) return exit_result_;
  Command c;
  c.kind = 1;
  PostCommand(std::move(c));
  thread_.join();
  return exit_result_;
}

void Recorder::Post(RecordNotice notice) {
  {
    const std::lock_guard lock(mutex_);
    notices_.push_back(std::move(notice));
  }
  wake_.notify_all();
}

bool Recorder::TakeNotice(RecordNotice* notice, int timeout_ms) {
  std::unique_lock lock(mutex_);
  if (!wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return !notices_.empty(); }))
    return false;
  *notice = std::move(notices_.front());
  notices_.pop_front();
  return true;
}

RecordResult Recorder::result() const {
  const std::lock_guard lock(mutex_);
  return result_;
}

Error Recorder::OpenDevice() {
  if (const Error rc = OpenSndInDev(options_.device, options_.format, options_.buffer_frames, &device_, &detail_))
    return rc;
  format_ = device_->Format();
  block_ = format_.channels * InSampleBytes(format_.code);
  ring_frames_ = static_cast<std::uint64_t>(std::min(options_.ring_seconds, kMaxPrerecordSeconds)) * format_.rate;
  if (ring_frames_ > 0) {
    if (const Error rc = ring_.Allocate(static_cast<std::size_t>(ring_frames_ * block_))) return rc;
    // An unfilled ring reads as silence.
    if (format_.code == sample_code::kU8) std::memset(ring_.data(), 128, ring_.size());
  }
  levels_.channels = format_.channels;
  if (const Error rc = device_->Start()) {
    detail_ = device_->LastError();
    return rc;
  }
  return {};
}

void Recorder::CopyToRing(const std::uint8_t* data, std::uint32_t frames) {
  if (ring_frames_ == 0) return;
  // Only the newest ring's worth of a long buffer matters.
  std::uint64_t n = frames;
  if (n > ring_frames_) {
    data += (n - ring_frames_) * block_;
    n = ring_frames_;
  }
  auto* ring = reinterpret_cast<std::uint8_t*>(ring_.data());
  const std::uint64_t first = std::min(n, ring_frames_ - ring_pos_);
  std::memcpy(ring + ring_pos_ * block_, data, static_cast<std::size_t>(first * block_));
  std::memcpy(ring, data + first * block_, static_cast<std::size_t>((n - first) * block_));
  ring_pos_ = (ring_pos_ + n) % ring_frames_;
}

Error Recorder::Append(const std::uint8_t* data, std::uint32_t frames, bool* full) {
  *full = false;
  const std::uint64_t room = capacity_ - written_;
  const std::uint64_t limit_room = limit_ != 0 ? limit_ - written_ : room;
  const std::uint64_t n = std::min<std::uint64_t>({frames, room, limit_room});
  if (n > 0) {
    if (const Error rc = target_->Write(data, static_cast<std::size_t>(n * block_))) return rc;
    written_ += n;
  }
  // The frame limit ends the take without an error; the capacity with 17.
  if (limit_ != 0 && written_ >= limit_) {
    *full = true;
    return {};
  }
  if (n < frames) return err::kRecordingFull;
  return {};
}

Error Recorder::OpenTarget(const Command& c) {
  target_path_ = c.path;
  written_ = 0;
  limit_ = 0;
  // A fresh file: whatever was at the path goes.
  {
    PosixFile fresh;
    FileOpenOptions o;
    o.access = FileAccess::kWrite;
    o.disposition = FileDisposition::kCreateAlways;
    if (const Error rc = fresh.Open(c.path, o)) return rc;
    if (const Error rc = fresh.Close()) return rc;
  }
  target_ = std::make_unique<BufferedFile>();
  if (const Error rc = target_->Open(c.path, buffered_open::kRecorderFile)) {
    target_.reset();
    return rc;
  }
  if (const Error rc = target_->WriteHeader(PcmFileKind::Wave, format_.rate, format_.code, format_.channels, 0,
                                            &header_size_)) {
    (void)target_->Close();
    target_.reset();
    return rc;
  }
  capacity_ = RecordCapacityFrames(format_, header_size_);
  if (options_.capacity_frames != 0) capacity_ = std::min(capacity_, options_.capacity_frames);
  // The pre-record, oldest first: the newest `n` frames of the ring.
  const std::uint64_t n = std::min(c.pre, ring_frames_);
  if (n > 0) {
    const auto* ring = reinterpret_cast<const std::uint8_t*>(ring_.data());
    const std::uint64_t start = (ring_pos_ + ring_frames_ - n) % ring_frames_;
    const std::uint64_t first = std::min(n, ring_frames_ - start);
    bool full = false;
    if (const Error rc = Append(ring + start * block_, static_cast<std::uint32_t>(first), &full)) return rc;
    if (first < n)
      if (const Error rc = Append(ring, static_cast<std::uint32_t>(n - first), &full)) return rc;
  }
  if (c.limit != 0) limit_ = written_ + c.limit;
  if (!unpaced_) {
    device_->Unpace();
    unpaced_ = true;
  }
  return {};
}

Error Recorder::EndTarget() {
  if (!target_) return {};
  // What reached the disk bounds what the header may claim: after a failed
  // write the frames in the cache are lost, those on disk are kept.
  (void)target_->Flush();
  const std::int64_t on_disk = target_->physical_size();
  std::uint64_t frames = written_;
  if (on_disk < static_cast<std::int64_t>(header_size_) + static_cast<std::int64_t>(frames * block_))
    frames = on_disk <= header_size_ ? 0 : static_cast<std::uint64_t>(on_disk - header_size_) / block_;
  Error first = target_->Close();
  target_.reset();
  // The header for the frames kept, and the file cut behind them.
  PcmHeaderRequest request;
  request.kind = PcmFileKind::Wave;
  request.rate = format_.rate;
  request.code = format_.code;
  request.channels = format_.channels;
  request.frames = static_cast<std::uint32_t>(frames);
  request.extensible = GetCoreOptions().extensible_wav_header;
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t bytes = 0;
  PosixFile file;
  FileOpenOptions o;
  o.access = FileAccess::kReadWrite;
  Error rc = BuildPcmHeader(request, header, &bytes);
  if (!rc) rc = file.Open(target_path_, o);
  std::size_t done = 0;
  if (!rc) rc = file.WriteAt(header, bytes, 0, &done);
  if (!rc) rc = file.Truncate(header_size_ + frames * block_);
  if (const Error closed = file.Close(); !rc) rc = closed;
  if (!first) first = rc;
  {
    const std::lock_guard lock(mutex_);
    result_.rate = format_.rate;
    result_.channels = format_.channels;
    result_.bytes_per_sample = format_.code & sample_code::kSizeMask;
    result_.frames = frames;
    result_.header_size = header_size_;
    result_.path = target_path_;
  }
  written_ = 0;
  limit_ = 0;
  return first;
}

bool Recorder::ServeCommands() {
  for (;;) {
    Command c;
    {
      const std::lock_guard lock(mutex_);
      if (commands_.empty()) return true;
      c = std::move(commands_.front());
      commands_.pop_front();
    }
    if (c.kind == 1) return false;
    // While an error is pending only the stop command is served.
    if (error_pending_) continue;
    if (c.kind == 2) {
      if (c.flag && !paused_) {
        paused_ = true;
        (void)device_->Pause();
      } else if (!c.flag && paused_) {
        paused_ = false;
        (void)device_->Resume();
      }
      continue;
    }
    Error rc = EndTarget();
    if (!rc && !c.path.empty()) {
      if (paused_) {
        paused_ = false;
        (void)device_->Resume();
      }
      rc = OpenTarget(c);
    }
    {
      const std::lock_guard lock(mutex_);
      result_.error = rc;
    }
    if (rc) {
      error_pending_ = true;
      exit_result_ = rc;
      Post({RecordNotice::kError, rc, {}, nullptr});
    }
  }
}

void Recorder::Fail(Error rc, std::string detail, bool record_result) {
  if (record_result) {
    const std::lock_guard lock(mutex_);
    result_.error = rc;
  }
  error_pending_ = true;
  exit_result_ = rc;
  Post({RecordNotice::kError, rc, std::move(detail), nullptr});
}

// Ends the take at the input's end or the limit, with its notice.
void Recorder::EndTake() {
  const Error rc = EndTarget();
  {
    const std::lock_guard lock(mutex_);
    result_.error = rc;
  }
  Post({rc ? RecordNotice::kError : RecordNotice::kTakeDone, rc, {}, nullptr});
  if (rc) {
    error_pending_ = true;
    exit_result_ = rc;
  }
}

bool Recorder::ServeBuffer(int timeout_ms, bool* ended) {
  bool ready = false;
  Error rc = device_->WaitFilled(timeout_ms, &ready, ended);
  if (!rc && *ended) {
    EndTake();
    return false;
  }
  std::uint32_t frames = 0;
  if (!rc && ready) rc = device_->TakeBuffer(&frames);
  if (rc) {
    Fail(rc, device_->LastError(), false);
    return false;
  }
  if (!ready) return false;
  const std::uint8_t* data = device_->Data();
  CopyToRing(data, frames);
  captured_ += frames;
  bool done = false;
  if (target_) rc = Append(data, frames, &done);
  if (!levels_.ready.load(std::memory_order_acquire)) {
    MeasureRecordLevels(data, frames, format_, &levels_);
    levels_.captured = captured_.load();
    levels_.written = written_;
    levels_.ready.store(true, std::memory_order_release);
    Post({RecordNotice::kLevels, {}, {}, &levels_});
  }
  device_->GiveBack();
  if (rc)
    Fail(rc, {}, true);
  else if (done)
    EndTake();
  return true;
}

void Recorder::Run() {
  const Error opened = OpenDevice();
  {
    const std::lock_guard lock(mutex_);
    start_result_ = opened;
    ready_ = true;
  }
  wake_.notify_all();
  if (opened) {
    device_.reset();
    ring_.Release();
    return;
  }
  exit_result_ = {};
  // A clock-paced input is served a few buffers at a wake: the thread sleeps
  // until the last of them is due.
  const std::uint64_t frames = std::max(device_->FramesPerBuffer(), 1u);
  const std::uint64_t batch = std::max<std::uint64_t>(std::uint64_t{format_.rate} * kPacedWakeMs / 1000 / frames, 1);
  const auto span = internal::FramesToTime((batch - 1) * frames, format_.rate);
  bool ended = false;
  while (ServeCommands()) {
    if (error_pending_ || ended) {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs * 5), [this] { return !commands_.empty(); });
      continue;
    }
    if (const auto due = device_->NextDue()) {
      // Asleep until the buffer is due; a command wakes the thread sooner.
      const auto wake = *due <= std::chrono::steady_clock::now() ? *due : *due + span;
      std::unique_lock lock(mutex_);
      if (wake_.wait_until(lock, wake, [this] { return !commands_.empty(); })) continue;
    }
    (void)ServeBuffer(kWaitSliceMs, &ended);
  }
  // The buffers a paced input had due when the stop came belong to the take.
  const auto stopped_at = std::chrono::steady_clock::now();
  while (target_ && !error_pending_ && !ended) {
    const auto due = device_->NextDue();
    if (!due || *due >= stopped_at || !ServeBuffer(0, &ended)) break;
  }
  const Error ended_rc = EndTarget();
  if (!exit_result_) exit_result_ = ended_rc;
  (void)device_->Stop();
  device_.reset();
  ring_.Release();
  ring_pos_ = 0;
  unpaced_ = false;
  error_pending_ = false;
  paused_ = false;
}

}  // namespace tidemark::playback
