// Helpers shared by the format tests: a byte builder for hand-made RIFF and
// FORM files, byte readers for checking results, and file helpers.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/container.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/internal/random_access_input.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"
#include "tests/core/source_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark::testing {

using Bytes = std::vector<std::uint8_t>;

// Appends identifiers, numbers and chunks to a byte string; numbers and
// chunk sizes go in the builder's byte order (big-endian for FORM files).
class ChunkBytes {
 public:
  explicit ChunkBytes(bool big_endian = false) : big_endian_(big_endian) {}

  // Four identifier bytes exactly as written.
  ChunkBytes& Id(const char (&id)[5]) {
    bytes_.insert(bytes_.end(), id, id + 4);
    return *this;
  }
  ChunkBytes& U16(std::uint16_t v) {
    std::uint8_t b[2];
    big_endian_ ? StoreBe16(b, v) : StoreLe16(b, v);
    bytes_.insert(bytes_.end(), b, b + 2);
    return *this;
  }
  ChunkBytes& U32(std::uint32_t v) {
    std::uint8_t b[4];
    big_endian_ ? StoreBe32(b, v) : StoreLe32(b, v);
    bytes_.insert(bytes_.end(), b, b + 4);
    return *this;
  }
  ChunkBytes& Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  ChunkBytes& Raw(const std::uint8_t* p, std::size_t n) {
    bytes_.insert(bytes_.end(), p, p + n);
    return *this;
  }
  ChunkBytes& Fill(std::size_t n, std::uint8_t value) {
    bytes_.insert(bytes_.end(), n, value);
    return *this;
  }
  ChunkBytes& Zeros(std::size_t n) { return Fill(n, 0); }
  // Text bytes as given, with a terminating zero when asked.
  ChunkBytes& Text(std::string_view text, bool terminate = false) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    if (terminate) bytes_.push_back(0);
    return *this;
  }
  // A chunk header claiming `size` body bytes, without the body.
  ChunkBytes& Header(const char (&id)[5], std::uint32_t size) { return Id(id).U32(size); }
  // A whole chunk: header, body and a pad byte (`pad`) after an odd body.
  ChunkBytes& Chunk(const char (&id)[5], const Bytes& body, std::uint8_t pad = 0) {
    Header(id, static_cast<std::uint32_t>(body.size())).Raw(body);
    if (body.size() & 1) bytes_.push_back(pad);
    return *this;
  }
  // A chunk of `n` body bytes of `value`.
  ChunkBytes& Chunk(const char (&id)[5], std::size_t n, std::uint8_t value) { return Chunk(id, Bytes(n, value)); }
  // A "LIST" chunk of `type` around the chunks of `inner`.
  ChunkBytes& List(const char (&type)[5], const ChunkBytes& inner) {
    Header("LIST", static_cast<std::uint32_t>(4 + inner.size())).Id(type).Raw(inner.bytes());
    if (inner.size() & 1) bytes_.push_back(0);
    return *this;
  }

  const Bytes& bytes() const { return bytes_; }
  operator const Bytes&() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }
  bool big_endian() const { return big_endian_; }

 private:
  bool big_endian_;
  Bytes bytes_;
};

// A whole container file: `id`, a size of 4 + the body (or `declared`
// when given), `form` and the body, in the body builder's byte order.
inline Bytes ContainerFile(const char (&id)[5], const char (&form)[5], const ChunkBytes& body,
                           std::int64_t declared = -1) {
  ChunkBytes out(body.big_endian());
  out.Id(id).U32(declared >= 0 ? static_cast<std::uint32_t>(declared) : static_cast<std::uint32_t>(4 + body.size()));
  out.Id(form).Raw(body.bytes());
  return out.bytes();
}
inline Bytes RiffWave(const ChunkBytes& body) { return ContainerFile("RIFF", "WAVE", body); }
inline Bytes FormFile(const char (&form)[5], const ChunkBytes& body) { return ContainerFile("FORM", form, body); }

// Numbers and identifiers read back from a byte string.
inline std::uint32_t Le32At(const Bytes& b, std::size_t at) { return LoadLe32(b.data() + at); }
inline std::uint32_t Be32At(const Bytes& b, std::size_t at) { return LoadBe32(b.data() + at); }
inline std::string IdAt(const Bytes& b, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}
inline Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

// Counts the reads made of a block of bytes, the bytes they asked for and
// the largest one.
class CountingInput final : public RandomAccessInput {
 public:
  explicit CountingInput(const Bytes& b) : memory_(b) {}
  Error ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) override {
    ++reads;
    bytes += n;
    largest = std::max<std::uint64_t>(largest, n);
    return memory_.ReadAt(buffer, n, offset, done);
  }
  std::uint64_t reads = 0, bytes = 0, largest = 0;

 private:
  MemoryInput memory_;
};

// A chunk table as "id@offset+size" words ("LIST:type@offset+size" for a
// list), to compare a whole table at once.
inline std::string Describe(const ChunkTable& table) {
  std::string out;
  for (const ChunkEntry& c : table) {
    std::uint8_t id[4], type[4];
    StoreFourCc(id, c.id);
    StoreFourCc(type, c.list_type);
    if (!out.empty()) out += ' ';
    out.append(reinterpret_cast<const char*>(id), 4);
    if (c.list_type) (out += ':').append(reinterpret_cast<const char*>(type), 4);
    out += '@' + std::to_string(c.offset) + '+' + std::to_string(c.size);
  }
  return out;
}

// The chunk table of a whole file in memory.
inline ChunkTable TableOf(const Bytes& file, const Container& container) {
  MemoryInput input(file);
  ChunkTable table;
  EXPECT_EQ(ReadFileChunkTable(input, file.size(), container, &table), err::kOk);
  return table;
}

// A path for a new file in a folder of its own below the private test folder.
inline std::string TempFilePath(const std::string& name) { return MakeTempDir("chunks") + "/" + name; }

// Writes `bytes` to a new file in a folder of its own and gives its path.
inline std::string WriteTempFile(const std::string& name, const Bytes& bytes) {
  const std::string path = TempFilePath(name);
  WriteWholeFile(path, bytes);
  return path;
}

// A file of `length` bytes that starts with `head` and is a hole after it,
// so near-4 GiB files cost no disk space.
inline std::string WriteSparseFile(const std::string& name, const Bytes& head, std::uint64_t length) {
  const std::string path = WriteTempFile(name, head);
  EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(length)), 0) << path;
  return path;
}

// The names in a folder (without "." and "..").
inline std::set<std::string> FolderEntries(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

inline std::uint64_t FileLength(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// The first `n` bytes of a file (fewer when it is shorter).
inline Bytes ReadFileHead(const std::string& path, std::size_t n) {
  Bytes out(n);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t got = ::pread(fd, out.data(), n, 0);
  ::close(fd);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

// Opens `path` with the code under test's file wrapper.
inline PosixFile OpenFile(const std::string& path, FileAccess access = FileAccess::kReadWrite) {
  PosixFile file;
  FileOpenOptions options;
  options.access = access;
  options.disposition = FileDisposition::kOpenExisting;
  EXPECT_EQ(file.Open(path, options), 0u) << path;
  return file;
}

// Everything an open file holds, read through the descriptor.
inline Bytes ReadOpenFile(PosixFile& file) {
  std::uint64_t size = 0;
  EXPECT_EQ(file.Size(&size), 0u);
  Bytes out(static_cast<std::size_t>(size));
  std::size_t done = 0;
  EXPECT_EQ(file.ReadAt(out.data(), out.size(), 0, &done), 0u);
  out.resize(done);
  return out;
}

}  // namespace tidemark::testing
