// The system clipboard of this platform: a file "tidemark-clipboard.wav" in
// $XDG_RUNTIME_DIR (else the fallback folder the program sets, normally its
// working folder; $TIDEMARK_CLIPBOARD names the file outright) holding the
// WAVE image other programs exchange, and beside it "<file>.owner" with the
// id of the process that wrote it, to tell whether this program still owns
// the clipboard. A session holds an exclusive lock on "<file>.lock" while
// open; data offered with delayed rendering is produced when the session
// closes, since other programs read the file itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/error_numbers.h"
#include "platform/posix_file.h"

namespace tidemark {

// A clipboard image larger than this is not read.
inline constexpr std::uint64_t kClipboardReadLimit = 64u << 20;

// The folder used when neither variable gives one (empty: the current folder).
void SetClipboardFallbackFolder(const std::string& folder);
// The clipboard file's path as it is found now.
std::string ClipboardPath();
// For tests: while set, every Open fails with 38.
void SetClipboardOpenFailsForTesting(bool fail);

class ClipboardSession {
 public:
  // Produces the image when it is needed; a non-zero result keeps the old file.
  using Renderer = std::function<Error(std::vector<std::uint8_t>* image)>;

  ClipboardSession() = default;
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ~ClipboardSession();  // closes (rendering what is pending), ignoring errors

  // Takes the lock, waiting briefly for another holder. 38 when the lock
  // file cannot be opened or stays locked.
  [[nodiscard]] Error Open();
  // Removes the image and its owner mark.
  [[nodiscard]] Error Empty();
  // Announces a wave image to be produced later (at Close).
  void OfferWave(Renderer renderer);
  // Reads the current image; an empty vector when there is none. 14 when it
  // is larger than kClipboardReadLimit, the read errors otherwise.
  [[nodiscard]] Error ReadWave(std::vector<std::uint8_t>* image);
  // Whether the image on the clipboard was written by this process.
  bool OwnedByThisProcess();
  // Renders what was offered, writes it (atomically, by renaming) with the
  // owner mark, and lets go of the lock. Its error is the renderer's or the
  // writing's.
  [[nodiscard]] Error Close();

 private:
  std::string path_;
  PosixFile lock_;
  Renderer pending_;
};

}  // namespace tidemark
