#include "platform/system_info.h"

#include <limits.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace tidemark {
namespace {

struct CpuSetFree {
  void operator()(cpu_set_t* set) const { CPU_FREE(set); }
};

}  // namespace

std::string ProgramFolder() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(n));
      const auto slash = path.rfind('/');
      if (slash == std::string::npos) return {};
      path.resize(slash == 0 ? 1 : slash);
      return path;
    }
    buffer.resize(buffer.size() * 2);  // the name may have been cut
  }
}

std::uint64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  if (pages <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * PageSize();
}

std::size_t PageSize() {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<std::size_t>(size) : 4096;
}

std::uint64_t TickCountMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

unsigned ProcessorCount() {
  // The mask may be wider than the default cpu_set_t on very large machines.
  for (int cpus = 1024; cpus <= (1 << 16); cpus *= 2) {
    const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
    const std::unique_ptr<cpu_set_t, CpuSetFree> set(CPU_ALLOC(cpus));
    if (!set) break;
    CPU_ZERO_S(bytes, set.get());
    const int rc = sched_getaffinity(0, bytes, set.get());
    const int count = rc == 0 ? CPU_COUNT_S(bytes, set.get()) : 0;
    if (rc == 0) return count > 0 ? static_cast<unsigned>(count) : 1u;
    if (errno != EINVAL) break;
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1u;
}

}  // namespace tidemark
