// Little- and big-endian loads and stores on byte buffers, and four-character
// chunk identifiers.
#pragma once

#include <cstdint>

namespace tidemark {

inline std::uint16_t LoadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
inline std::uint16_t LoadBe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
}
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
  return std::uint64_t{LoadLe32(p)} | std::uint64_t{LoadLe32(p + 4)} << 32;
}
inline std::uint64_t LoadBe64(const std::uint8_t* p) {
  return std::uint64_t{LoadBe32(p)} << 32 | LoadBe32(p + 4);
}
inline void StoreLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  StoreLe16(p, static_cast<std::uint16_t>(v));
  StoreLe16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  StoreLe32(p, static_cast<std::uint32_t>(v));
  StoreLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void StoreBe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  StoreBe16(p, static_cast<std::uint16_t>(v >> 16));
  StoreBe16(p + 2, static_cast<std::uint16_t>(v));
}

// A chunk identifier as a number: the four bytes exactly as stored, loaded
// little-endian, so FourCc("fmt ") equals LoadLe32 of the bytes "fmt ".
constexpr std::uint32_t FourCc(const char (&id)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(id[0])} | std::uint32_t{static_cast<std::uint8_t>(id[1])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(id[2])} << 16 | std::uint32_t{static_cast<std::uint8_t>(id[3])} << 24;
}
inline void StoreFourCc(std::uint8_t* p, std::uint32_t id) { StoreLe32(p, id); }

}  // namespace tidemark
