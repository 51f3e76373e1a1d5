#include "playback/internal/file_out_dev.h"

#include <cstring>

#include "config/error_codes.h"
#include "config/error_messages.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"
#include "playback/internal/queued_out_dev.h"

namespace tidemark::playback::internal {

namespace {

void Put16(std::string* s, std::uint32_t v) {
  s->push_back(static_cast<char>(v & 0xFF));
  s->push_back(static_cast<char>(v >> 8 & 0xFF));
}
void Put32(std::string* s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

class FileOutDev final : public QueuedOutDev {
 public:
  FileOutDev(const OutFormat& format, const OutBuffers& buffers, bool fast)
      : QueuedOutDev(format, buffers, !fast) {}
  ~FileOutDev() override {
    StopThread();
    // The header is rewritten even after a failed write: what was written stays playable.
    const std::string header = WavHeader(format_, static_cast<std::uint32_t>(data_bytes_));
    std::size_t done = 0;
    (void)file_.WriteAt(header.data(), header.size(), 0, &done);
    (void)file_.Close();
  }

  Error Open(const std::string& path, std::string* detail) {
    FileOpenOptions options;
    options.access = FileAccess::kWrite;
    options.disposition = FileDisposition::kCreateAlways;
    if (const Error rc = file_.Open(path, options)) {
      *detail = "cannot create \"" + path + "\": " + DescribeError(rc);
      return err::kWaveOutOpenFailed;
    }
    header_bytes_ = WavHeader(format_, 0).size();
    std::size_t done = 0;
    const std::string header = WavHeader(format_, 0);
    if (const Error rc = file_.WriteAt(header.data(), header.size(), 0, &done)) {
      *detail = "cannot write \"" + path + "\": " + DescribeError(rc);
      return err::kWaveOutOpenFailed;
    }
    if (const Error rc = StartThread()) {
      *detail = "cannot start the device thread";
      return rc;
    }
    return {};
  }

 protected:
  Error Deliver(const std::uint8_t* data, std::uint32_t frames, std::string* text) override {
    const std::uint64_t bytes = static_cast<std::uint64_t>(frames) * frame_bytes_;
    // The RIFF size field must hold header and data.
    if (header_bytes_ + data_bytes_ + bytes - 8 > 0xFFFFFFFFull) {
      *text = "the output file has reached the 4 GiB limit of a WAV file";
      return err::kWaveOutFailed;
    }
    std::size_t done = 0;
    const Error rc = file_.WriteAt(data, static_cast<std::size_t>(bytes), header_bytes_ + data_bytes_, &done);
    // Whole frames that reached the file are kept.
    data_bytes_ += done / frame_bytes_ * frame_bytes_;
    if (rc) {
      *text = "writing the output file failed: " + DescribeError(rc);
      return err::kWaveOutFailed;
    }
    return {};
  }

 private:
  PosixFile file_;
  std::uint64_t header_bytes_ = 0;
  std::uint64_t data_bytes_ = 0;
};

}  // namespace

std::string WavHeader(const OutFormat& format, std::uint32_t data_bytes) {
  const std::uint32_t bytes = OutSampleBytes(format.code);
  const bool is_float = format.code == sample_code::kFloat;
  const bool extensible = bytes == 3;
  const std::uint32_t fmt_size = extensible ? 40 : is_float ? 18 : 16;
  std::string s;
  s += "RIFF";
  Put32(&s, 4 + 8 + fmt_size + (is_float ? 12 : 0) + 8 + data_bytes);
  s += "WAVEfmt ";
  Put32(&s, fmt_size);
  Put16(&s, extensible ? 0xFFFE : is_float ? 3 : 1);
  Put16(&s, format.channels);
  Put32(&s, format.rate);
  Put32(&s, format.rate * bytes * format.channels);
  Put16(&s, bytes * format.channels);
  Put16(&s, bytes * 8);
  if (is_float) Put16(&s, 0);
  if (extensible) {
    Put16(&s, 22);
    Put16(&s, bytes * 8);
    Put32(&s, 0);  // no speaker mask
    // The PCM subformat GUID.
    static const unsigned char kPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                           0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    s.append(reinterpret_cast<const char*>(kPcm), sizeof kPcm);
  }
  if (is_float) {
    // Readers expect the frame count of a float file in a fact chunk.
    s += "fact";
    Put32(&s, 4);
    Put32(&s, data_bytes / (bytes * format.channels));
  }
  s += "data";
  Put32(&s, data_bytes);
  return s;
}

Error OpenFileOutDev(const std::string& target, const OutFormat& format, const OutBuffers& buffers,
                     std::unique_ptr<CSndOutDev>* out, std::string* detail) {
  std::string path = target;
  bool fast = false;
  constexpr std::string_view kFast = "?fast";
  if (path.size() >= kFast.size() && path.compare(path.size() - kFast.size(), kFast.size(), kFast) == 0) {
    path.resize(path.size() - kFast.size());
    fast = true;
  }
  if (path.empty()) {
    *detail = "a file device needs a path: file:PATH";
    return err::kWaveOutOpenFailed;
  }
  std::unique_ptr<FileOutDev> dev;
  if (const Error rc = MakeNew(&dev, format, buffers, fast)) return rc;
  if (const Error rc = dev->Open(path, detail)) return rc;
  *out = std::move(dev);
  return {};
}

}  // namespace tidemark::playback::internal
