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

// Counts the read and write calls (files, pipes, sockets) the current thread makes while the
// counter is alive, as the kernel reports them in /proc/thread-self/io. Render-thread tests
// expect 0 beside the allocation count.
class FileIoCounter {
public:
    FileIoCounter();
    // Calls made on this thread since construction, the counter's own reads not included.
    long count() const;

private:
    long start;
    mutable long looks = 1;  // reads of the counter's own, each counted from the next look
};

}  // namespace tarnwell::test
