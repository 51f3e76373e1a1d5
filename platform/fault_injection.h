// A process-wide seam that makes the file wrappers' system calls fail on
// purpose, for disk-full tests and fault loops. Every system call made by
// PosixFile, the file functions and the volume query asks CheckFault() first;
// with no rule installed that costs one atomic load.
//
// Several rules may be installed at once. Each counts the calls it matches;
// on a call that more than one would fail, the one installed first decides
// and the others do not fire. Thread-safe.
#pragma once

#include <cerrno>
#include <cstdint>

namespace tidemark::fault {

// The operations a rule can count, as bits.
enum FaultOp : std::uint32_t {
  kOpen = 1u << 0,
  kRead = 1u << 1,       // pread
  kWrite = 1u << 2,      // pwrite
  kFsync = 1u << 3,
  kFtruncate = 1u << 4,
  kFallocate = 1u << 5,
  kRename = 1u << 6,     // rename, renameat2
  kLink = 1u << 7,
  kUnlink = 1u << 8,
  kStatvfs = 1u << 9,    // statvfs, fstatvfs, statfs, fstatfs
  kStat = 1u << 10,      // fstat
  kSetDirect = 1u << 11, // switching a descriptor to direct I/O (fcntl)
  kClose = 1u << 12,
  kThreadStart = 1u << 13,  // starting a worker thread (not in kAllOps)
};
using FaultOps = std::uint32_t;

inline constexpr FaultOps kDataOps = kRead | kWrite | kFsync | kFtruncate | kFallocate;
inline constexpr FaultOps kAllOps = (1u << 13) - 1;

enum class FaultTrigger {
  kNthCall,     // the Nth matching operation (1-based) fails
  kByteOffset,  // reads and writes reaching past `offset`, and ftruncate or
                // fallocate to a size above it, fail: a disk full at that offset
};

struct FaultRule {
  FaultOps ops = 0;
  FaultTrigger trigger = FaultTrigger::kNthCall;
  std::uint64_t nth = 1;
  std::uint64_t offset = 0;
  int error = EIO;  // the errno the failing call reports
  // Instead of failing outright, a read or write transfers part: a read
  // stops early as at end of file; a write writes part and then reports
  // `error` (with `error` 0 it merely comes back short, as a kernel may).
  // With kNthCall, `short_bytes` bytes go through; with kByteOffset, the
  // bytes below `offset`.
  bool short_transfer = false;
  std::uint64_t short_bytes = 0;
  // False: fires once. True: also fires on every later call that matches.
  bool sticky = false;

  static FaultRule FailNth(FaultOps ops, std::uint64_t n, int error);
  // Writes, ftruncate and fallocate fail with `error` beyond `offset`, sticky.
  static FaultRule DiskFullAt(std::uint64_t offset, int error = ENOSPC);
  static FaultRule ShortNth(FaultOps ops, std::uint64_t n, std::uint64_t bytes, int error);
  FaultRule& Sticky(bool on = true) {
    sticky = on;
    return *this;
  }
};

using FaultId = std::uint64_t;

FaultId InstallFault(const FaultRule& rule);
void RemoveFault(FaultId id);
void RemoveAllFaults();

// Matching operations the rule has seen since it was installed (0 for a rule
// no longer installed).
std::uint64_t FaultOpsSeen(FaultId id);
// How often the rule has fired.
std::uint64_t FaultFireCount(FaultId id);

// What the caller of a system call must do.
struct FaultDecision {
  bool fire = false;
  int error = 0;  // errno to report after `allowed` bytes; 0: a read ends as at end of file
  std::uint64_t allowed = 0;  // bytes of a read or write that still go through
};

// Asked before each system call. For a read or write, [offset, offset+length)
// is the byte range asked for; for ftruncate and fallocate, offset 0 and the
// new size as length.
FaultDecision CheckFault(FaultOp op, std::uint64_t offset = 0, std::uint64_t length = 0);

// Installs a rule for its lifetime.
class ScopedFault {
 public:
  explicit ScopedFault(const FaultRule& rule) : rule_(rule), id_(InstallFault(rule)) {}
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
  ~ScopedFault() { RemoveFault(id_); }

  const FaultRule& rule() const { return rule_; }
  std::uint64_t seen() const { return FaultOpsSeen(id_); }
  std::uint64_t fire_count() const { return FaultFireCount(id_); }
  bool fired() const { return fire_count() > 0; }

 private:
  FaultRule rule_;
  FaultId id_;
};

// The fault loop: runs `attempt(const ScopedFault&)` with the 1st, 2nd, ...
// matching operation failing with `error`, until a run in which nothing fired
// (the operation completed). Returns the number of runs that had a fault; the
// attempt checks its own outcome after each run (fault.fired() tells which
// kind of run it was, fault.rule().nth which operation failed).
template <typename Attempt>
std::uint64_t ForEachFaultPoint(FaultOps ops, int error, Attempt&& attempt,
                                std::uint64_t max_runs = 1000000) {
  for (std::uint64_t n = 1; n <= max_runs; ++n) {
    const ScopedFault fault(FaultRule::FailNth(ops, n, error));
    attempt(fault);
    if (!fault.fired()) return n - 1;
  }
  return max_runs;
}

}  // namespace tidemark::fault
