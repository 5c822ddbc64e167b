#include "tests/support/AllocationCounter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

namespace {

thread_local bool counting = false;
thread_local std::size_t allocations = 0;

void* allocate(std::size_t size) {
    if (counting) ++allocations;
    if (size == 0) size = 1;
    if (void* p = std::malloc(size)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t align) {
    if (counting) ++allocations;
    auto alignment = static_cast<std::size_t>(align);
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    if (rounded == 0) rounded = alignment;
    if (void* p = std::aligned_alloc(alignment, rounded)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t align) {
    return allocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return allocateAligned(size, align);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace tarnwell::test {

AllocationCounter::AllocationCounter() : start(allocations), wasCounting(counting) {
    counting = true;
}

AllocationCounter::~AllocationCounter() {
    counting = wasCounting;
}

std::size_t AllocationCounter::count() const {
    return allocations - start;
}

namespace {

// This thread's read and write calls so far, by one read of its own.
long ioCalls() {
    char text[512];
    const int fd = open("/proc/thread-self/io", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return -1;
    text[n] = '\0';
    long total = 0;
    for (const char* field : {"syscr: ", "syscw: "}) {
        const char* at = std::strstr(text, field);
        if (at == nullptr) return -1;
        total += std::strtol(at + std::strlen(field), nullptr, 10);
    }
    return total;
}

}  // namespace

FileIoCounter::FileIoCounter() : start(ioCalls()) {}

long FileIoCounter::count() const {
    const long now = ioCalls();
    return start < 0 || now < 0 ? -1 : now - start - looks++;
}

}  // namespace tarnwell::test
