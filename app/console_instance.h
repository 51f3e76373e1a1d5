// The single-instance socket of the interactive console editor: the first
// interactive instance listens on an abstract-namespace UNIX socket named
// after the user; a later interactive start sends its files (absolute
// paths) there and exits, and the first instance opens them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <cstddef>

#include "platform/error.h"

namespace tidemark::console {

// $TIDEMARK_INSTANCE when set (so that tests can run side by side), else
// "tidemark-instance-" and the user id.
std::string InstanceSocketName();

// The longest message an instance accepts; longer ones are cut off there.
inline constexpr std::size_t kMaxInstanceMessage = std::size_t{1} << 20;

class InstanceServer {
 public:
  InstanceServer() = default;
  InstanceServer(InstanceServer&&) noexcept;
  InstanceServer& operator=(InstanceServer&&) noexcept;
  InstanceServer(const InstanceServer&) = delete;
  InstanceServer& operator=(const InstanceServer&) = delete;
  ~InstanceServer();

  // Takes the name. `*held_elsewhere` tells that another process has it
  // (0 is returned then, and the server stays closed). Errors: the
  // system's (err::OsError) when no socket can be made.
  [[nodiscard]] Error Listen(const std::string& name, bool* held_elsewhere);
  bool listening() const { return fd_ >= 0; }
  // The listening descriptor, for polling; -1 when closed.
  int fd() const { return fd_; }
  // Takes one waiting connection (none: 0 and no paths) and reads the
  // paths it sends, each ended by a zero byte. A sender that stays silent
  // is given up after a short time.
  [[nodiscard]] Error Receive(std::vector<std::string>* paths);

 private:
  int fd_ = -1;
};

// Sends `paths` to the instance that holds `name`. The system's error when
// none listens or the sending fails.
[[nodiscard]] Error SendToInstance(const std::string& name, const std::vector<std::string>& paths);

}  // namespace tidemark::console
