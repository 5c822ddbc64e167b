#pragma once

// Counts calls of the global operator new made by the current thread while a counter is alive.
// Linked into every test program; the render-thread tests wrap processing in one and expect 0.

#include <cstddef>

namespace tarnwell::test {

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    // Allocations made on this thread since construction.
    std::size_t count() const;

private:
    std::size_t start;
    bool wasCounting;
};

}  // namespace tarnwell::test
