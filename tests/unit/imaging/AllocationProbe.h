#pragma once
// Records the largest single operator new request made while a probe is armed, so tests can show that
// a decoder rejects an oversized picture before allocating room for it.
#include <cstddef>

namespace mellodeck::test {

class AllocationProbe {
public:
    AllocationProbe();  // arms the probe and resets the record
    ~AllocationProbe(); // disarms it
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;
    size_t Largest() const;
};

} // namespace mellodeck::test
