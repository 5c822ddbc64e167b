#pragma once

// A large buffer that starts silent without being cleared: it is taken from fresh anonymous
// pages, which read as zero and become resident only when first written. A module that never
// runs costs neither the time to clear its buffer nor the memory.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

// The zero pages must be a valid value of the element.
template <typename T>
inline constexpr bool kSilentElement =
    std::is_trivially_default_constructible_v<T>&& std::is_trivially_destructible_v<T>;

template <typename T>
class SilentBuffer {
    static_assert(kSilentElement<T>);

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

// A ring of count elements that starts silent, with its pages mapped twice, back to back: element
// i + count is element i, so that from the second copy's start (at()) a read up to one ring back
// needs no wrap. Where the pages cannot be mapped twice the copies are two buffers, and whoever
// writes an element past the first copy also writes it count elements back (mirrored() tells).
template <typename T>
class SilentRing {
    static_assert(kSilentElement<T>);

public:
    // count * sizeof(T) must be a whole number of pages.
    explicit SilentRing(std::size_t count) : size(count) {
        const int fd = memfd_create("tarnwell-ring", MFD_CLOEXEC);
        void* both = mmap(nullptr, 2 * bytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (both == MAP_FAILED) {
            if (fd >= 0) close(fd);
            throw std::bad_alloc();
        }
        data = static_cast<T*>(both);
        if (fd >= 0 && ftruncate(fd, static_cast<off_t>(bytes())) == 0 &&
            mmap(data, bytes(), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED &&
            mmap(data + size, bytes(), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED)
            twice = true;
        else if (mmap(data, 2 * bytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                      0) == MAP_FAILED)  // two copies of fresh anonymous pages, kept alike by the writer
            data = nullptr;
        if (fd >= 0) close(fd);
        if (data == nullptr) {
            munmap(both, 2 * bytes());
            throw std::bad_alloc();
        }
    }
    ~SilentRing() { munmap(data, 2 * bytes()); }
    SilentRing(const SilentRing&) = delete;
    SilentRing& operator=(const SilentRing&) = delete;

    T* get() const { return data; }        // the first copy
    T* at() const { return data + size; }  // the second copy
    bool mirrored() const { return !twice; }

private:
    std::size_t bytes() const { return size * sizeof(T); }

    T* data = nullptr;
    std::size_t size;
    bool twice = false;
};
