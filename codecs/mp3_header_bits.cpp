#include "codecs/internal/mp3_header_bits.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/error_numbers.h"

namespace tidemark::codec_detail {
namespace {

constexpr std::array<std::uint32_t, 15> kMpeg1Kbps = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<std::uint32_t, 15> kMpeg2Kbps = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::uint32_t kRates[3][3] = {{11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};

// The length of the Layer III frame whose header is `h`; 0 when `h` is not one.
std::uint32_t FrameLength(std::uint32_t h) {
  if ((h >> 21) != 0x7FF) return 0;
  const std::uint32_t version = (h >> 19) & 3;  // 0: 2.5, 2: 2, 3: 1
  const std::uint32_t layer = (h >> 17) & 3;
  const std::uint32_t bitrate = (h >> 12) & 15;
  const std::uint32_t rate = (h >> 10) & 3;
  if (version == 1 || layer != 1 || bitrate == 0 || bitrate == 15 || rate == 3) return 0;
  const bool mpeg1 = version == 3;
  const std::uint32_t kbps = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitrate];
  const std::uint32_t hz = kRates[mpeg1 ? 2 : version == 2 ? 1 : 0][rate];
  return (mpeg1 ? 144000u : 72000u) * kbps / hz + ((h >> 9) & 1);
}

std::uint32_t BigEndian(const std::uint8_t* b) {
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

Error SetMp3HeaderBits(const std::string& path, const Mp3HeaderBits& bits) {
  Fd file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (file.get() < 0) return err::kCreateFailed;
  std::uint8_t head[10];
  off_t at = 0;
  if (::pread(file.get(), head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
      std::memcmp(head, "ID3", 3) == 0) {
    const std::uint32_t size = (std::uint32_t{head[6]} << 21) | (std::uint32_t{head[7]} << 14) |
                               (std::uint32_t{head[8]} << 7) | head[9];
    at = static_cast<off_t>(10 + size + ((head[5] & 0x10) ? 10 : 0));
  }
  for (bool first = true;; first = false) {
    std::uint8_t frame[64];
    const ssize_t got = ::pread(file.get(), frame, sizeof frame, at);
    if (got < 4) return Error{};
    const std::uint32_t h = BigEndian(frame);
    const std::uint32_t length = FrameLength(h);
    if (length < 4) return Error{};
    const std::string_view seen(reinterpret_cast<const char*>(frame), static_cast<std::size_t>(got));
    const bool info_frame = first && (seen.find("Xing") != seen.npos || seen.find("Info") != seen.npos);
    const bool protected_by_crc = ((h >> 16) & 1) == 0;
    if (!info_frame && !protected_by_crc) {
      const std::uint8_t b2 = static_cast<std::uint8_t>((frame[2] & 0xFE) | (bits.private_bit ? 1 : 0));
      const std::uint8_t b3 = static_cast<std::uint8_t>((frame[3] & 0xF3) | (bits.copyright ? 8 : 0) | (bits.original ? 4 : 0));
      if (b2 != frame[2] || b3 != frame[3]) {
        const std::uint8_t out[2] = {b2, b3};
        if (::pwrite(file.get(), out, 2, at + 2) != 2) return err::kWriteFailed;
      }
    }
    at += static_cast<off_t>(length);
  }
}

}  // namespace tidemark::codec_detail
