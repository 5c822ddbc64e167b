#include "sdk/cocoa/NSObject.h"

#include <cstdio>

namespace {

// The calling thread's pools, innermost last; entry 0 is the base pool.
thread_local std::vector<std::vector<NSObject*>> pools(1);

void releaseAll(std::vector<NSObject*>& pool) {
    // Releasing may autorelease more into the same pool: take the list first.
    while (!pool.empty()) {
        std::vector<NSObject*> taken;
        taken.swap(pool);
        for (NSObject* object : taken) object->release();
    }
}

}  // namespace

NSObject::~NSObject() = default;

NSObject* NSObject::retain() {
    count.fetch_add(1, std::memory_order_relaxed);
    return this;
}

void NSObject::release() {
    if (count.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

NSObject* NSObject::autorelease() {
    pools.back().push_back(this);
    return this;
}

std::string NSObject::description() const {
    char text[48];
    std::snprintf(text, sizeof text, "<NSObject: %p>", static_cast<const void*>(this));
    return text;
}

NSAutoreleasePool::NSAutoreleasePool() : depth(pools.size()) {
    pools.emplace_back();
}

NSAutoreleasePool::~NSAutoreleasePool() {
    // Inner pools left undrained go with this one.
    while (pools.size() > depth) {
        releaseAll(pools.back());
        pools.pop_back();
    }
}

void NSAutoreleasePool::drain() {
    releaseAll(pools[depth]);
}

void NSAutoreleasePool::drainBase() {
    releaseAll(pools.front());
}
