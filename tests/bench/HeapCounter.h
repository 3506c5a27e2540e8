#pragma once
// Live and peak bytes of the process's C heap (see HeapCounter.cpp; linked only into the memory probe).
#include <cstddef>

namespace mellodeck::bench {

size_t HeapLiveBytes();
size_t HeapPeakBytes();
// Starts a new peak from what is live now.
void ResetHeapPeak();

} // namespace mellodeck::bench
