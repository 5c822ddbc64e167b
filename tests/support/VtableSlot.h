#pragma once

// The vtable slot a virtual member function occupies, read from its member pointer as the
// Itanium C++ ABI lays it out (ARM keeps the virtual mark in the adjustment instead).

#include <cstdint>
#include <cstring>

namespace tarnwell::test {

template <class MemberFunction>
long vtableSlot(MemberFunction function) {
    struct {
        intptr_t ptr;
        intptr_t adjust;
    } rep;
    static_assert(sizeof(rep) == sizeof(function));
    std::memcpy(&rep, &function, sizeof(rep));
    const auto pointerSize = static_cast<intptr_t>(sizeof(void*));
#if defined(__aarch64__) || defined(__arm__)
    return (rep.adjust & 1) ? static_cast<long>(rep.ptr / pointerSize) : -1;
#else
    return (rep.ptr & 1) ? static_cast<long>((rep.ptr - 1) / pointerSize) : -1;
#endif
}

}  // namespace tarnwell::test
