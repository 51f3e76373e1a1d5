#include "platform/clipboard.h"

#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/error_numbers.h"
#include "platform/file_ops.h"

namespace tidemark {
namespace {

constexpr const char* kFileName = "tidemark-clipboard.wav";

struct ClipboardPlace {
  std::mutex lock;
  std::string fallback;
};

ClipboardPlace& Place() {
  static ClipboardPlace place;
  return place;
}

std::atomic<bool>& OpenFails() {
  static std::atomic<bool> fails{false};
  return fails;
}

std::string Joined(const std::string& folder) {
  if (folder.empty()) return kFileName;
  return folder.back() == '/' ? folder + kFileName : folder + "/" + kFileName;
}

Error WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kWrite;
  options.disposition = FileDisposition::kCreateAlways;
  options.mode = 0600;
  if (const Error rc = file.Open(path, options)) return rc;
  std::size_t done = 0;
  if (const Error rc = file.WriteAt(bytes.data(), bytes.size(), 0, &done)) {
    (void)file.Close();
    (void)UnlinkFile(path);
    return rc;
  }
  if (const Error rc = file.Close()) {
    (void)UnlinkFile(path);
    return rc;
  }
  return err::kOk;
}

Error ReadAll(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>* out) {
  out->clear();
  PosixFile file;
  FileOpenOptions options;
  if (const Error rc = file.Open(path, options))
    return file.last_errno() == ENOENT ? err::kOk : rc;  // no file: nothing on the clipboard
  std::uint64_t size = 0;
  if (const Error rc = file.Size(&size)) return rc;
  if (size > limit) return err::kMalformed;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t done = 0;
  if (const Error rc = file.ReadAt(bytes.data(), bytes.size(), 0, &done)) return rc;
  bytes.resize(done);
  *out = std::move(bytes);
  return err::kOk;
}

}  // namespace

void SetClipboardFallbackFolder(const std::string& folder) {
  std::lock_guard<std::mutex> hold(Place().lock);
  Place().fallback = folder;
}

std::string ClipboardPath() {
  if (const char* file = std::getenv("TIDEMARK_CLIPBOARD"); file && *file) return file;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return Joined(runtime);
  std::lock_guard<std::mutex> hold(Place().lock);
  return Joined(Place().fallback);
}

void SetClipboardOpenFailsForTesting(bool fail) { OpenFails() = fail; }

ClipboardSession::~ClipboardSession() { (void)Close(); }

Error ClipboardSession::Open() {
  if (lock_.is_open()) return err::kOk;
  if (OpenFails()) return err::kClipboardUnavailable;
  path_ = ClipboardPath();
  FileOpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kOpenAlways;
  options.mode = 0600;
  if (lock_.Open(path_ + ".lock", options) != err::kOk) return err::kClipboardUnavailable;
  // Another program holding the clipboard gets a moment to let go.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::flock(lock_.fd(), LOCK_EX | LOCK_NB) == 0) return err::kOk;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  (void)lock_.Close();
  return err::kClipboardUnavailable;
}

Error ClipboardSession::Empty() {
  if (!lock_.is_open()) return err::kClipboardUnavailable;
  pending_ = nullptr;
  (void)UnlinkFile(path_ + ".owner");
  const Error rc = UnlinkFile(path_);
  return rc == err::OsError(ENOENT) ? err::kOk : rc;
}

void ClipboardSession::OfferWave(Renderer renderer) { pending_ = std::move(renderer); }

Error ClipboardSession::ReadWave(std::vector<std::uint8_t>* image) {
  if (!lock_.is_open()) return err::kClipboardUnavailable;
  return ReadAll(path_, kClipboardReadLimit, image);
}

bool ClipboardSession::OwnedByThisProcess() {
  if (!lock_.is_open()) return false;
  std::vector<std::uint8_t> mark;
  if (ReadAll(path_ + ".owner", 64, &mark) != err::kOk || mark.empty()) return false;
  return std::string(mark.begin(), mark.end()) == std::to_string(::getpid());
}

Error ClipboardSession::Close() {
  if (!lock_.is_open()) return err::kOk;
  Error rc = err::kOk;
  if (Renderer render = std::move(pending_)) {
    pending_ = nullptr;
    std::vector<std::uint8_t> image;
    rc = render(&image);
    if (rc == err::kOk) {
      const std::string temp = path_ + ".new" + std::to_string(::getpid());
      rc = WriteAll(temp, image);
      if (rc == err::kOk) {
        rc = RenameFile(temp, path_, false);
        if (rc != err::kOk) (void)UnlinkFile(temp);
      }
      if (rc == err::kOk) {
        const std::string pid = std::to_string(::getpid());
        rc = WriteAll(path_ + ".owner", std::vector<std::uint8_t>(pid.begin(), pid.end()));
      }
    }
  }
  (void)::flock(lock_.fd(), LOCK_UN);
  (void)lock_.Close();
  return rc;
}

}  // namespace tidemark
