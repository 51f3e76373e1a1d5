#include "playback/play_engine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "config/error_codes.h"
#include "config/settings.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/samples/sample_convert.h"
#include "dsp/stretch/time_stretcher.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "playback/internal/range_source.h"
#include "playback/play_shaping.h"
#include "playback/snd_out_dev.h"

namespace tidemark::playback {

namespace {

// The notice queue: the UI's side of the engine.
std::mutex g_notice_mutex;
std::condition_variable g_notice_wake;
std::deque<PlayNotice> g_notices;
std::string g_device_words;  // guarded by g_notice_mutex

void SetDeviceWords(std::string words) {
  std::lock_guard lock(g_notice_mutex);
  g_device_words = std::move(words);
}

void Post(const PlayNotice& notice) {
  {
    std::lock_guard lock(g_notice_mutex);
    g_notices.push_back(notice);
  }
  g_notice_wake.notify_all();
}

void PostState(std::uint32_t state) {
  PlayNotice n;
  n.kind = PlayNotice::kState;
  n.value = state;
  Post(n);
}

enum Command : std::uint32_t { kPause, kStop, kChangeRange, kRestart, kAnalysis, kVolume, kCommandCount };

struct PlayRequest {
  explicit PlayRequest(std::pmr::memory_resource* heap)
      : device(heap), peaks(heap), tails(heap), converted(heap) {}

  SourceProc source = nullptr;
  void* context = nullptr;
  std::uint32_t rate = 0;
  SampleCode code = sample_code::kS16;
  std::uint16_t channels = 0;
  bool loop = false;
  std::uint32_t flags = 0;
  std::pmr::string device;  // kept whole: a file device carries a path
  int volume_percent = -1;
  bool large_buffers = false;
  bool post_levels = true;
  std::thread thread;
  std::atomic<bool> paused{false};

  // Commands: the last arguments of each kind, merged until the thread looks.
  std::mutex command_mutex;
  std::uint32_t pending = 0;
  std::uint64_t args[kCommandCount][2] = {};
  int command_fd = -1;

  // The thread's own.
  std::pmr::vector<std::uint32_t> peaks;  // per device buffer, per channel
  std::pmr::vector<float> tails;          // per device buffer, analysis frames per channel
  std::pmr::vector<float> converted;
  std::uint32_t analysis = 0;

  std::mutex ready_mutex;
  std::condition_variable ready_wake;
  bool ready = false;
  // Set once the caller has recorded the playback and posted state 0, so
  // that no notice of the thread comes before it.
  bool go = false;
};

// The heap of one playback, and the request that lives on it.
struct Playback {
  std::pmr::monotonic_buffer_resource heap;
  PlayRequest* request = nullptr;
};

std::mutex g_current_mutex;
Playback* g_current = nullptr;

std::uint64_t Send(PlayRequest& r, std::uint32_t kind, std::uint64_t count = 0, void* buffer = nullptr,
                   std::uint64_t a = 0, std::uint64_t b = 0) {
  PlaybackSource s;
  s.kind = kind;
  s.count = count;
  s.code = r.code;
  s.buffer = buffer;
  s.pair[0] = a;
  s.pair[1] = b;
  return r.source(r.context, s);
}

void PostCommand(PlayRequest& r, Command c, std::uint64_t a, std::uint64_t b) {
  {
    std::lock_guard lock(r.command_mutex);
    r.pending |= 1u << c;
    r.args[c][0] = a;
    r.args[c][1] = b;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(r.command_fd, &one, sizeof one);
}

class PlayThread {
 public:
  explicit PlayThread(PlayRequest& r) : r_(r), fade_(r.rate / 20) {}

  void Run() {
    {
      std::unique_lock lock(r_.ready_mutex);
      r_.ready = true;
      r_.ready_wake.notify_all();
      r_.ready_wake.wait(lock, [&] { return r_.go; });
    }
    const std::uint32_t pick = r_.flags & 3;
    const bool large = pick == 0 ? r_.large_buffers : pick != kSmallBuffers;
    const OutBuffers buffers{large ? 20u : 10u, std::max<std::uint32_t>(r_.rate / 20, 1)};
    std::string detail;
    const Error open = OpenSndOutDev(r_.device, OutFormat{r_.rate, r_.channels, r_.code}, buffers, &dev_, &detail);
    if (open) {
      Fail(open, detail);
      WaitForStop();
      return;
    }
    (void)dev_->SetVolume(r_.volume_percent < 0 ? 1.0f : static_cast<float>(r_.volume_percent) / 100.0f);
    if (!TryAlloc([&] { r_.peaks.assign(static_cast<std::size_t>(buffers.count) * r_.channels, 0); }).ok()) {
      Fail(err::kOutOfMemory);
      WaitForStop();
      return;
    }
    Send(r_, kSourceOpened);
    if (!Prefill()) {
      WaitForStop();
      Finish();
      return;
    }
    started_ = true;
    Send(r_, kSourceStarted, 0);
    PostLevels(nullptr, false);
    Loop();
    Finish();
  }

 private:
  void Finish() {
    if (!error_ && dev_ != nullptr) (void)dev_->Reset();
    if (started_) Send(r_, kSourceEnded);
    dev_.reset();
  }

  // The device's own words go with its failure; the end notice follows them.
  void Fail(Error rc, std::string words = {}) {
    if (words.empty() && dev_) words = dev_->LastError();
    SetDeviceWords(std::move(words));
    error_ = true;
    Send(r_, kSourceFailed, rc.code(), nullptr, 0, 0);
  }

  void WaitForStop() {
    for (;;) {
      pollfd p{r_.command_fd, POLLIN, 0};
      ::poll(&p, 1, -1);
      if (TakeCommands() & (1u << kStop)) return;
    }
  }

  // Fills the device's current buffer; false when nothing was left.
  bool Fill(std::uint32_t* frames) {
    if (pos_ == 0 || (r_.loop && pos_ >= total_)) {
      total_ = std::max<std::uint64_t>(Send(r_, kSourceRewind), 1);
      pos_ = 0;
    }
    if (pos_ >= total_) {
      nothing_left_ = true;
      return false;
    }
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(total_ - pos_, dev_->FramesPerBuffer()));
    std::uint8_t* data = dev_->Data();
    if (const std::uint64_t rc = Send(r_, kSourceFill, n, data); rc != 0) {
      Fail(Error(static_cast<std::uint32_t>(rc)));
      return false;
    }
    ApplyFades(data, r_.code, r_.channels, n, pos_, total_, fade_);
    const std::uint32_t slot = fill_slot_ % dev_->BufferCount();
    MeasurePeaks(data, r_.code, r_.channels, n, r_.peaks.data() + static_cast<std::size_t>(slot) * r_.channels);
    KeepTail(data, n, slot);
    pos_ += n;
    if (!r_.loop && pos_ >= total_) {
      nothing_left_ = true;
      last_queued_ = true;
    }
    *frames = n;
    return true;
  }

  // The last analysis-length frames, as float runs per channel.
  void KeepTail(const std::uint8_t* data, std::uint32_t n, std::uint32_t slot) {
    if (r_.analysis == 0) return;
    const std::uint32_t k = std::min(r_.analysis, n);
    const std::size_t frame_bytes = static_cast<std::size_t>(r_.code & sample_code::kSizeMask) * r_.channels;
    const std::size_t per_slot = static_cast<std::size_t>(r_.analysis) * r_.channels;
    Convert(data + (n - k) * frame_bytes, r_.converted.data(), static_cast<std::size_t>(k) * r_.channels, r_.code,
            sample_code::kFloat);
    float* tail = r_.tails.data() + slot * per_slot;
    for (std::uint16_t c = 0; c < r_.channels; ++c)
      for (std::uint32_t f = 0; f < k; ++f)
        tail[static_cast<std::size_t>(c) * r_.analysis + f] = r_.converted[static_cast<std::size_t>(f) * r_.channels + c];
    tail_frames_ = k;
  }

  bool FillAndSubmit() {
    std::uint32_t n = 0;
    if (!Fill(&n)) return false;
    if (const Error rc = dev_->Submit(n)) {
      Fail(rc);
      return false;
    }
    ++fill_slot_;
    submitted_ += n;
    if (last_queued_) {
      last_queued_ = false;
      PostLevels(nullptr, true);
    }
    return true;
  }

  bool Prefill() {
    pos_ = 0;
    fill_slot_ = free_slot_ = 0;
    submitted_ = 0;
    nothing_left_ = false;
    end_posted_ = false;
    for (std::uint32_t i = 0; i < dev_->BufferCount() && !nothing_left_; ++i)
      if (!FillAndSubmit()) break;
    if (error_) return false;
    if (const Error rc = dev_->Start()) {
      Fail(rc);
      return false;
    }
    return true;
  }

  void PostLevels(const std::uint32_t* peaks, bool last, std::uint64_t played = 0) {
    if (peaks != nullptr && !r_.post_levels) return;
    PlayNotice n;
    n.position = played;
    n.kind = PlayNotice::kLevels;
    n.peaks = peaks;
    n.channels = r_.channels;
    n.last = last;
    if (peaks != nullptr && r_.analysis != 0) {
      const std::size_t slot = static_cast<std::size_t>(peaks - r_.peaks.data()) / r_.channels;
      n.tail = r_.tails.data() + slot * r_.analysis * r_.channels;
      n.tail_frames = tail_frames_;
    }
    Post(n);
  }

  std::uint32_t TakeCommands() {
    std::uint64_t drained;
    [[maybe_unused]] const ssize_t n = ::read(r_.command_fd, &drained, sizeof drained);
    std::lock_guard lock(r_.command_mutex);
    const std::uint32_t mask = r_.pending;
    r_.pending = 0;
    std::copy(&r_.args[0][0], &r_.args[0][0] + 2 * kCommandCount, &args_[0][0]);
    return mask;
  }

  // False when the thread is to leave.
  bool HandleCommands() {
    const std::uint32_t mask = TakeCommands();
    if (mask & (1u << kStop)) return false;
    if (mask & (1u << kPause)) {
      const Error rc = args_[kPause][0] != 0 ? dev_->Pause() : dev_->Resume();
      if (rc) Fail(rc);
    }
    if ((mask & (1u << kChangeRange)) && (r_.loop || !nothing_left_)) {
      total_ = Send(r_, kSourceRangeChanged, total_, nullptr, args_[kChangeRange][0], args_[kChangeRange][1]);
      if (pos_ >= total_) total_ = pos_ + 1;
    }
    if ((mask & (1u << kRestart)) && !error_ && !r_.loop && !nothing_left_) {
      if (const Error rc = dev_->Reset()) {
        Fail(rc);
      } else {
        total_ = Send(r_, kSourceRestarted, total_, nullptr, args_[kRestart][0], args_[kRestart][1]);
        (void)Prefill();
      }
    }
    if (mask & (1u << kAnalysis)) {
      std::uint64_t n = args_[kAnalysis][0];
      while (n > dev_->FramesPerBuffer()) n /= 2;
      const auto frames = static_cast<std::uint32_t>(n);
      if (TryAlloc([&] {
            r_.tails.assign(static_cast<std::size_t>(frames) * r_.channels * dev_->BufferCount(), 0.0f);
            r_.converted.assign(static_cast<std::size_t>(frames) * r_.channels, 0.0f);
          }).ok())
        r_.analysis = frames;
    }
    if (mask & (1u << kVolume)) (void)dev_->SetVolumePercent(static_cast<int>(args_[kVolume][0]));
    return true;
  }

  void Loop() {
    for (;;) {
      pollfd p[2] = {{r_.command_fd, POLLIN, 0}, {error_ ? -1 : dev_->FreeEvent(), POLLIN, 0}};
      ::poll(p, 2, -1);
      if ((p[0].revents & POLLIN) && !HandleCommands()) return;
      if (error_ || !(p[1].revents & POLLIN)) continue;
      std::uint64_t played = 0;
      if (const Error rc = dev_->NextFreeBuffer(&played)) {
        Fail(rc);
        continue;
      }
      Send(r_, kSourceBufferDone, played);
      PostLevels(r_.peaks.data() + static_cast<std::size_t>(free_slot_++ % dev_->BufferCount()) * r_.channels,
                 false, played);
      if (!nothing_left_) {
        (void)FillAndSubmit();
      } else if (!r_.loop && played >= submitted_ && !end_posted_) {
        end_posted_ = true;
        PostEndNotice(0, played);
      }
    }
  }

  PlayRequest& r_;
  const std::uint64_t fade_;
  std::unique_ptr<CSndOutDev> dev_;
  std::uint64_t args_[kCommandCount][2] = {};
  std::uint64_t pos_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t submitted_ = 0;
  std::uint32_t fill_slot_ = 0;
  std::uint32_t free_slot_ = 0;
  std::uint32_t tail_frames_ = 0;
  bool started_ = false;
  bool error_ = false;
  bool nothing_left_ = false;
  bool last_queued_ = false;
  bool end_posted_ = false;
};

PlayRequest* Current() {
  std::lock_guard lock(g_current_mutex);
  return g_current != nullptr ? g_current->request : nullptr;
}

// Reads a document range; frees itself after the stop.
struct DocumentSource {
  SoundDocument* document = nullptr;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::optional<SegmentCursor> cursor;

  std::uint64_t Restart() {
    cursor->Seek(start);
    return length;
  }
  Error Fill(std::uint32_t frames, void* buffer, SampleCode code) { return cursor->Read(frames, buffer, code); }
};

// The playback scaler's source: the document range through the time
// stretcher, as float, then in the output code. Totals count output frames.
struct ScaledSource {
  SoundDocument* document = nullptr;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  double speed = 1.0;
  std::optional<SegmentCursor> cursor;
  dsp::TimeStretcher stretcher;
  std::vector<float> in, out;
  std::uint32_t read = 0;  // frames of the range pushed
  std::uint16_t channels = 1;

  std::uint64_t Total() const {
    return static_cast<std::uint64_t>(std::ceil(static_cast<double>(length) / speed));
  }

  Error Fill(std::uint32_t frames, void* buffer, SampleCode code) {
    out.resize(static_cast<std::size_t>(frames) * channels);
    std::size_t done = 0;
    while (done < frames) {
      const std::size_t pulled = stretcher.Pull(out.data() + done * channels, frames - done);
      done += pulled;
      if (done == frames) break;
      const std::size_t space = std::min<std::size_t>(stretcher.InputSpace(), length - read);
      if (space == 0) {
        if (read < length) {
          if (pulled > 0) continue;  // pulling made room
          return err::kMalformed;    // a stretcher that neither takes nor gives
        }
        stretcher.Finish();
        const std::size_t more = stretcher.Pull(out.data() + done * channels, frames - done);
        if (more == 0) {
          std::fill(out.begin() + static_cast<std::ptrdiff_t>(done * channels), out.end(), 0.0f);
          break;
        }
        done += more;
        continue;
      }
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(space, 4096));
      in.resize(static_cast<std::size_t>(n) * channels);
      if (const Error rc = cursor->Read(n, in.data(), sample_code::kFloat)) return rc;
      read += static_cast<std::uint32_t>(stretcher.Push(in.data(), n));
    }
    Convert(out.data(), buffer, static_cast<std::size_t>(frames) * channels, sample_code::kFloat, code);
    return {};
  }

  std::uint64_t Restart() {
    cursor->Seek(start);
    stretcher.Reset();
    read = 0;
    return Total();
  }
};

}  // namespace

std::uint32_t DialogNumber(const Settings& settings, std::string_view dialog, std::uint32_t fallback) {
  for (const DialogEntry& d : settings.dialogs) {
    if (d.name != dialog) continue;
    std::uint32_t value = 0;
    const std::string_view v = d.values;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    if (ec == std::errc() && (end == v.data() + v.size() || *end == ',')) return value;
  }
  return fallback;
}

double ScalerSpeed(std::uint32_t speed_16_16) {
  const double s = speed_16_16 / 65536.0;
  return s >= 1.0 / 1.03 && s < 1.03 ? 1.0 : s;
}

SampleCode OutputCode(const PlaySettings& settings, std::uint32_t flags) {
  if (flags & kForce16Bit) return sample_code::kS16;
  if (settings.output_interface == 2) return sample_code::kFloat;
  return settings.output_24bit ? sample_code::kS24 : sample_code::kS16;
}

void PostEndNotice(std::uint32_t code, std::uint64_t position) {
  PlayNotice n;
  n.kind = PlayNotice::kEnd;
  n.value = code;
  n.position = position;
  Post(n);
}

Error StartPlayback(const PlayStart& start, const PlaySettings& settings) {
  std::unique_lock current(g_current_mutex);
  if (g_current != nullptr) return err::kPlaybackRunning;
  std::unique_ptr<Playback> pb;
  if (const Error rc = MakeNew(&pb)) return rc;
  PlayRequest* r = nullptr;
  if (const Error rc = TryAlloc([&] {
        std::pmr::polymorphic_allocator<PlayRequest> alloc(&pb->heap);
        r = alloc.allocate(1);
        alloc.construct(r, &pb->heap);
        r->device = settings.device;
      }))
    return rc;
  pb->request = r;
  r->source = start.source;
  r->context = start.context;
  r->rate = start.rate;
  r->channels = start.channels;
  r->loop = start.loop;
  r->flags = start.flags;
  r->code = OutputCode(settings, start.flags);
  r->volume_percent = settings.volume_percent;
  r->large_buffers = settings.large_buffers;
  r->post_levels = settings.post_levels;
  r->command_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  auto release = [&] {
    if (r->command_fd >= 0) ::close(r->command_fd);
    r->~PlayRequest();
  };
  if (r->command_fd < 0) {
    release();
    return err::kOutOfMemory;
  }
  SoundDocument* document = nullptr;
  Send(*r, kSourceDocument, 0, &document);
  try {
    r->thread = std::thread([r] { PlayThread(*r).Run(); });
  } catch (const std::system_error&) {
    release();
    return err::kThreadCreate;
  }
  {
    std::unique_lock lock(r->ready_mutex);
    r->ready_wake.wait(lock, [&] { return r->ready; });
  }
  g_current = pb.release();
  current.unlock();
  PostState(0);
  {
    std::lock_guard lock(r->ready_mutex);
    r->go = true;
  }
  r->ready_wake.notify_all();
  return {};
}

Error PlayDocumentRange(SoundDocument& document, std::uint32_t start, std::uint32_t length, bool loop,
                        const PlaySettings& settings) {
  if (PlaybackExists()) return err::kPlaybackRunning;
  if (settings.scaler_speed != kScalerOff) {
    if (settings.scaler_method > 1) return err::kUnsupportedFormat;
    const double speed = ScalerSpeed(settings.scaler_speed);
    if (speed != 1.0) {
      std::unique_ptr<ScaledSource> scaled;
      if (const Error rc = MakeNew(&scaled)) return rc;
      dsp::StretchOptions options;
      options.method = settings.scaler_method == 0 ? dsp::StretchMethod::kWsola : dsp::StretchMethod::kPhaseVocoder;
      options.speed = speed;
      if (const Error rc = scaled->stretcher.Init(document.channels, document.rate, options)) return rc;
      scaled->document = &document;
      scaled->start = start;
      scaled->length = length;
      scaled->speed = speed;
      scaled->channels = document.channels;
      scaled->cursor.emplace(document.segments, document.channels, document.length);
      // Playback through the scaler leaves the buffer count to the setting.
      PlayStart s{&RangeSourceProc<ScaledSource>, scaled.get(), document.rate, document.channels, loop, 0};
      if (const Error rc = StartPlayback(s, settings)) return rc;
      scaled.release();  // the source frees itself after the stop
      return {};
    }
  }
  std::unique_ptr<DocumentSource> source;
  if (const Error rc = MakeNew(&source)) return rc;
  source->document = &document;
  source->start = start;
  source->length = length;
  source->cursor.emplace(document.segments, document.channels, document.length);
  PlayStart s;
  s.source = &RangeSourceProc<DocumentSource>;
  s.context = source.get();
  s.rate = document.rate;
  s.channels = document.channels;
  s.loop = loop;
  s.flags = kLargeBuffers;
  if (const Error rc = StartPlayback(s, settings)) return rc;
  source.release();  // the source frees itself after the stop
  return {};
}

bool PlaybackExists() { return Current() != nullptr; }

bool PlaybackPaused() {
  PlayRequest* r = Current();
  return r != nullptr && r->paused.load();
}

void TogglePause() {
  PlayRequest* r = Current();
  if (r == nullptr) return;
  const bool paused = !r->paused.load();
  r->paused = paused;
  PostCommand(*r, kPause, paused ? 1 : 0, 0);
  PostState(1);
}

void ChangeRange(std::uint64_t a, std::uint64_t b) {
  if (PlayRequest* r = Current()) PostCommand(*r, kChangeRange, a, b);
}
void RestartRange(std::uint64_t a, std::uint64_t b) {
  if (PlayRequest* r = Current()) PostCommand(*r, kRestart, a, b);
}
void SetAnalysisLength(std::uint32_t frames) {
  if (PlayRequest* r = Current()) PostCommand(*r, kAnalysis, frames, 0);
}
void SetPlaybackVolume(int percent) {
  if (PlayRequest* r = Current()) PostCommand(*r, kVolume, static_cast<std::uint64_t>(std::max(percent, 0)), 0);
}

void StopPlayback() {
  Playback* pb = nullptr;
  {
    std::lock_guard lock(g_current_mutex);
    pb = g_current;
  }
  if (pb == nullptr) return;
  PlayRequest& r = *pb->request;
  Send(r, kSourceBeforeStop);
  if (r.thread.joinable()) {
    PostCommand(r, kStop, 0, 0);
    r.thread.join();
  }
  {
    // Level notices point into the request's heap, which goes below.
    std::lock_guard lock(g_notice_mutex);
    std::erase_if(g_notices, [](const PlayNotice& n) { return n.kind == PlayNotice::kLevels; });
  }
  PostState(2);
  Send(r, kSourceAfterStop);
  ::close(r.command_fd);
  r.~PlayRequest();
  {
    std::lock_guard lock(g_current_mutex);
    g_current = nullptr;
  }
  delete pb;
}

bool TakeNotice(PlayNotice* notice, int timeout_ms) {
  std::unique_lock lock(g_notice_mutex);
  if (!g_notice_wake.wait_for(lock, std::chrono::milliseconds(timeout_ms), [] { return !g_notices.empty(); }))
    return false;
  *notice = g_notices.front();
  g_notices.pop_front();
  return true;
}

std::string LastDeviceError() {
  std::lock_guard lock(g_notice_mutex);
  return g_device_words;
}

void ClearNotices() {
  std::lock_guard lock(g_notice_mutex);
  g_notices.clear();
}

}  // namespace tidemark::playback
