// The program's error code as a type of its own: a 32-bit value, 0 meaning
// success (config/error_codes.h describes its layout). It never converts to
// or from an integer by itself, so an error cannot be mistaken for a count;
// code() gives the number where it leaves the program (messages, files,
// exit status).
#pragma once

#include <cstdint>
#include <iosfwd>

namespace tidemark {

class [[nodiscard]] Error {
 public:
  constexpr Error() = default;  // success
  constexpr explicit Error(std::uint32_t code) : code_(code) {}

  constexpr std::uint32_t code() const { return code_; }
  constexpr bool ok() const { return code_ == 0; }
  // True for a failure: `if (const Error rc = Step()) return rc;`.
  constexpr explicit operator bool() const { return code_ != 0; }

  friend constexpr bool operator==(Error a, Error b) { return a.code_ == b.code_; }
  // Comparison with a raw number only (for numbers from outside and tests);
  // != and the reversed forms follow from it.
  friend constexpr bool operator==(Error a, std::uint32_t code) { return a.code_ == code; }

 private:
  std::uint32_t code_ = 0;
};

// Writes the code in decimal and hexadecimal, "14 (0xE)"; test failures show it.
std::ostream& operator<<(std::ostream& out, Error error);

}  // namespace tidemark
