// A seam for allocation failures in the effect tests: this binary replaces
// the global operator new, which fails (std::bad_alloc, or null for the
// nothrow forms) when a countdown armed on the calling thread runs out.
// Other threads, and this one while disarmed, allocate as usual.
#pragma once

#include <cstdint>

namespace tidemark::testing {

// Makes the `nth` allocation from now on this thread fail (1: the next);
// 0 disarms. Fires once.
void FailNthAllocation(std::uint64_t nth);
// Whether the armed failure has fired since it was armed.
bool AllocationFailureFired();

}  // namespace tidemark::testing
