#include "platform/error.h"

#include <ostream>

namespace tidemark {

std::ostream& operator<<(std::ostream& out, Error error) {
  const std::ios_base::fmtflags flags = out.flags();
  out << std::dec << error.code() << " (0x" << std::hex << std::uppercase << error.code() << ')';
  out.flags(flags);
  return out;
}

}  // namespace tidemark
