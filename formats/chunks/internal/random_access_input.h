// Where format readers take their bytes from: an open file or a block of
// memory (the clipboard image, the fuzz targets), read at explicit offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

class RandomAccessInput {
 public:
  virtual ~RandomAccessInput() = default;
  // Reads up to `n` bytes at `offset`; `*done` gets the count, short only at
  // the end of the input. 8 when the read fails.
  [[nodiscard]] virtual Error ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) = 0;
  // Reads exactly `n` bytes; 8 when the input ends first or the read fails.
  [[nodiscard]] Error ReadExact(void* buffer, std::size_t n, std::uint64_t offset);
};

class FileInput final : public RandomAccessInput {
 public:
  explicit FileInput(PosixFile& file) : file_(file) {}
  Error ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) override;

 private:
  PosixFile& file_;
};

class MemoryInput final : public RandomAccessInput {
 public:
  explicit MemoryInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  Error ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// Reads an input front to back in small pieces through a window that never
// reaches past `end`: a walk over many small chunk headers makes one read of
// the input per window instead of one per header, and never more than about
// twice the bytes it walks over.
class WindowedReader {
 public:
  static constexpr std::size_t kWindowBytes = 16384;
  WindowedReader(RandomAccessInput& input, std::uint64_t end) : input_(input), end_(end) {}
  // Exactly `n` bytes at `offset`; 8 when the input ends first or the read
  // fails. Pieces larger than the window are read directly.
  [[nodiscard]] Error ReadExact(void* out, std::size_t n, std::uint64_t offset);

 private:
  RandomAccessInput& input_;
  std::uint64_t end_;
  std::vector<std::uint8_t> window_;  // grown as the reads need it
  std::uint64_t window_at_ = 0;
  std::size_t window_bytes_ = 0;      // valid bytes from window_at_
};

// The first `length` bytes of another input with some 4-byte fields
// replaced: how a file is shown to a reader that expects another variant of
// its layout (an RF64 file to the readers of RIFF files).
class PatchedInput final : public RandomAccessInput {
 public:
  struct Patch {
    std::uint64_t offset = 0;
    std::uint8_t bytes[4] = {};
  };
  // `patches` in increasing offset order, none overlapping another.
  PatchedInput(RandomAccessInput& inner, std::uint64_t length, std::vector<Patch> patches)
      : inner_(inner), length_(length), patches_(std::move(patches)) {}
  Error ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) override;

 private:
  RandomAccessInput& inner_;
  std::uint64_t length_;
  std::vector<Patch> patches_;
};

}  // namespace tidemark
