#pragma once
// The largest single allocation made with operator new since the last reset, so tests can check
// that a size a peer announces never turns into memory by itself.
#include <cstddef>

namespace obextest {

void ResetLargestAllocation();
std::size_t LargestAllocation();

} // namespace obextest
