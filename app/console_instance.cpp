#include "app/console_instance.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/error_numbers.h"

namespace tidemark::console {
namespace {

constexpr int kReceiveTimeoutMs = 2000;

// An abstract address: a zero byte, then the name (cut to what fits).
socklen_t AbstractAddress(const std::string& name, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  const std::size_t room = sizeof address->sun_path - 1;
  const std::size_t n = name.size() < room ? name.size() : room;
  std::memcpy(address->sun_path + 1, name.data(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

Error LastError() { return err::OsError(errno); }

// Closes a descriptor when it goes out of scope.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::string InstanceSocketName() {
  if (const char* name = std::getenv("TIDEMARK_INSTANCE"); name && *name) return name;
  return "tidemark-instance-" + std::to_string(::getuid());
}

InstanceServer::InstanceServer(InstanceServer&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
InstanceServer& InstanceServer::operator=(InstanceServer&& o) noexcept {
  std::swap(fd_, o.fd_);
  return *this;
}
InstanceServer::~InstanceServer() {
  if (fd_ >= 0) ::close(fd_);
}

Error InstanceServer::Listen(const std::string& name, bool* held_elsewhere) {
  *held_elsewhere = false;
  FdCloser s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
  if (s.fd < 0) return LastError();
  sockaddr_un address;
  const socklen_t length = AbstractAddress(name, &address);
  if (::bind(s.fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    if (errno == EADDRINUSE) {
      *held_elsewhere = true;
      return err::kOk;
    }
    return LastError();
  }
  if (::listen(s.fd, 8) != 0) return LastError();
  if (fd_ >= 0) ::close(fd_);
  fd_ = std::exchange(s.fd, -1);
  return err::kOk;
}

Error InstanceServer::Receive(std::vector<std::string>* paths) {
  paths->clear();
  if (fd_ < 0) return err::kOk;
  FdCloser c{::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)};
  if (c.fd < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? err::kOk : LastError();
  std::string message;
  char buffer[4096];
  for (;;) {
    pollfd p{c.fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, kReceiveTimeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // a silent sender is given up
    const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t room = kMaxInstanceMessage - message.size();
    message.append(buffer, std::size_t(n) < room ? std::size_t(n) : room);
    if (message.size() >= kMaxInstanceMessage) break;
  }
  // Only complete paths count: a piece after the last zero byte is dropped.
  std::size_t start = 0;
  for (std::size_t end; (end = message.find('\0', start)) != std::string::npos; start = end + 1)
    if (end > start) paths->push_back(message.substr(start, end - start));
  return err::kOk;
}

Error SendToInstance(const std::string& name, const std::vector<std::string>& paths) {
  FdCloser s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  if (s.fd < 0) return LastError();
  sockaddr_un address;
  const socklen_t length = AbstractAddress(name, &address);
  if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) return LastError();
  std::string message;
  for (const std::string& p : paths) {
    message += p;
    message += '\0';
  }
  std::size_t done = 0;
  while (done < message.size()) {
    const ssize_t n = ::send(s.fd, message.data() + done, message.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return LastError();
    done += std::size_t(n);
  }
  return err::kOk;
}

}  // namespace tidemark::console
