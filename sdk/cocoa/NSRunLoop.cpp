#include "sdk/cocoa/NSRunLoop.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "sdk/cocoa/WindowServer.h"

namespace {

class SteadyClock : public NSRunLoop::Clock {
public:
    double now() override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    void waitUntil(double until) override {
        const double left = until - now();
        if (left > 0.0) poll(nullptr, 0, static_cast<int>(std::min(std::ceil(left * 1000.0), 3.6e6)));
    }
};

SteadyClock steadyClock;

}  // namespace

NSTimer::NSTimer(double seconds, Action firing, NSObject* userInfo, bool repeating, double firstDue)
    : interval(seconds > 0.0 ? seconds : 0.0001),
      action(std::move(firing)),
      info(userInfo),
      repeats(repeating),
      due(firstDue) {}

NSTimer* NSTimer::scheduledTimerWithTimeInterval(double seconds, Action action, NSObject* userInfo,
                                                 bool repeats) {
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    auto* timer =
        new NSTimer(seconds, std::move(action), userInfo, repeats, loop.now() + std::max(seconds, 0.0));
    loop.add(timer);
    timer->autorelease();  // the run loop keeps it
    return timer;
}

void NSTimer::invalidate() {
    if (!valid) return;
    valid = false;
    NSRunLoop::mainRunLoop().remove(this);
}

void NSTimer::fire() {
    if (valid && action) action(this);
}

NSRunLoop& NSRunLoop::mainRunLoop() {
    static NSRunLoop loop;
    return loop;
}

NSRunLoop::NSRunLoop() : clock(&steadyClock) {}

void NSRunLoop::setClock(Clock* replacement) {
    clock = replacement ? replacement : &steadyClock;
}

void NSRunLoop::add(NSTimer* timer) {
    timer->retain();
    timers.push_back(timer);
}

void NSRunLoop::remove(NSTimer* timer) {
    const auto found = std::find(timers.begin(), timers.end(), timer);
    if (found == timers.end()) return;
    timers.erase(found);
    timer->release();
}

void NSRunLoop::fireDueTimers() {
    const double now = clock->now();
    // A timer may schedule or invalidate timers while it fires: walk a copy, keep them alive.
    // An invalidated timer leaves the list at once.
    std::vector<NSTimer*> due;
    for (NSTimer* t : timers)
        if (t->valid && t->due <= now) due.push_back(static_cast<NSTimer*>(t->retain()));
    for (NSTimer* t : due) {
        if (t->repeats) {
            const double behind = std::floor((now - t->due) / t->interval);
            t->due += (behind + 1.0) * t->interval;
        }
        t->fire();
        if (!t->repeats) t->invalidate();
        t->release();
    }
}

void NSRunLoop::runOnce(double limit) {
    tarnwell::cocoa::WindowServer& server = tarnwell::cocoa::windowServer();
    fireDueTimers();
    server.dispatchEvents();
    NSAutoreleasePool::drainBase();
    if (stopRequested) return;
    double next = limit;
    for (NSTimer* t : timers)
        if (t->valid) next = std::min(next, t->due);
    if (server.hasEvents())
        server.waitForEvents(next - clock->now());
    else
        clock->waitUntil(next);
}

void NSRunLoop::runUntilDate(double limit) {
    stopRequested = 0;
    while (!stopRequested && clock->now() < limit) runOnce(limit);
    // What came due at the limit itself still belongs to this run.
    if (!stopRequested) {
        fireDueTimers();
        NSAutoreleasePool::drainBase();
    }
}

void NSRunLoop::runUntil(const std::function<bool()>& done) {
    stopRequested = 0;
    while (!stopRequested && !done()) runOnce(clock->now() + 3600.0);
}
