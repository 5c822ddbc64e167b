#pragma once

// The root of the AppKit stand-ins: objects counted the way AppKit counts them. An object
// starts with one count (its creator's); retain and release move it, and the last release
// deletes it, so the destructor is the object's dealloc. autorelease hands one count to the
// innermost pool of the calling thread; the main run loop drains a pool on every turn.

#include <atomic>
#include <string>
#include <vector>

#define TARNWELL_COCOA_API __attribute__((visibility("default")))

class TARNWELL_COCOA_API NSObject {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    NSObject* retain();
    void release();
    NSObject* autorelease();
    unsigned long retainCount() const { return count.load(std::memory_order_relaxed); }
    virtual std::string description() const;

protected:
    virtual ~NSObject();

private:
    std::atomic<unsigned long> count{1};
};

// Objects autoreleased while a pool is the innermost one of its thread are released when it
// goes (or is drained). Without any pool they go to the thread's base pool, which the main run
// loop drains on every turn.
class TARNWELL_COCOA_API NSAutoreleasePool {
public:
    NSAutoreleasePool();
    ~NSAutoreleasePool();
    NSAutoreleasePool(const NSAutoreleasePool&) = delete;
    NSAutoreleasePool& operator=(const NSAutoreleasePool&) = delete;

    void drain();
    // Releases what the calling thread's base pool holds.
    static void drainBase();

private:
    std::size_t depth;
};

struct NSPoint {
    double x = 0.0;
    double y = 0.0;
};
struct NSSize {
    double width = 0.0;
    double height = 0.0;
};
// Views are flipped: the origin is the top-left corner and y grows downwards.
struct NSRect {
    NSPoint origin;
    NSSize size;
};
inline NSRect NSMakeRect(double x, double y, double width, double height) {
    return {{x, y}, {width, height}};
}
