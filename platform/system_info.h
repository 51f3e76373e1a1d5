// Facts about the machine and the running program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tidemark {

// The folder holding the program's executable (the directory of
// /proc/self/exe), without a trailing slash; empty when it cannot be read.
std::string ProgramFolder();

// Installed physical memory in bytes.
std::uint64_t PhysicalMemoryBytes();

// The virtual-memory page size in bytes.
std::size_t PageSize();

// Milliseconds of a monotonic clock (CLOCK_MONOTONIC); only differences mean
// anything.
std::uint64_t TickCountMs();

// Processors this process may run on (its affinity mask), at least 1.
unsigned ProcessorCount();

}  // namespace tidemark
