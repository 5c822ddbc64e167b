#pragma once

// A value shared between threads without a lock: the host, the editor and MIDI write while
// the render thread reads. Every load and store is a relaxed atomic, so no read is ever torn
// and there is no data race, yet it compiles to the same plain move as a float or a byte.
// It reads and assigns like the plain value it holds.

#include <atomic>

template <typename T>
class Relaxed {
    static_assert(std::atomic<T>::is_always_lock_free, "a shared value must be lock-free");

public:
    constexpr Relaxed() noexcept : value(T{}) {}
    constexpr Relaxed(T initial) noexcept : value(initial) {}
    Relaxed(const Relaxed& other) noexcept : value(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept {
        store(other.load());
        return *this;
    }
    Relaxed& operator=(T v) noexcept {
        store(v);
        return *this;
    }

    operator T() const noexcept { return load(); }
    T load() const noexcept { return value.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value.store(v, std::memory_order_relaxed); }

private:
    std::atomic<T> value;
};
