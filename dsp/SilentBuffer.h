#pragma once

// A large buffer that starts silent without being cleared: it is taken from fresh anonymous
// pages, which read as zero and become resident only when first written. A module that never
// runs costs neither the time to clear its buffer nor the memory.

#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <type_traits>

template <typename T>
class SilentBuffer {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>,
                  "the zero pages must be a valid value of T");

public:
    explicit SilentBuffer(std::size_t count) : size(count) {
        void* pages = mmap(nullptr, bytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) throw std::bad_alloc();
        data = static_cast<T*>(pages);
    }
    ~SilentBuffer() { munmap(data, bytes()); }
    SilentBuffer(const SilentBuffer&) = delete;
    SilentBuffer& operator=(const SilentBuffer&) = delete;

    T* get() const { return data; }
    T& operator[](std::size_t i) const { return data[i]; }

private:
    std::size_t bytes() const { return size * sizeof(T); }

    T* data = nullptr;
    std::size_t size;
};
