#pragma once

// The main run loop and its repeating timers. Everything here belongs to the main thread (the
// one that runs the loop): timers are scheduled, fired and invalidated there, and window
// events are dispatched there. Each turn fires the timers that are due, dispatches waiting
// window events, drains the autorelease pool, and then sleeps until the next timer is due or
// an event arrives.
//
// A timer holds its target and user info weakly (an object invalidates its timers when it
// goes); the run loop holds each scheduled timer until it is invalidated. A repeating timer
// that falls behind fires once and then keeps to its grid of intervals.

#include <functional>
#include <vector>

#include "sdk/cocoa/NSObject.h"

class TARNWELL_COCOA_API NSTimer : public NSObject {
public:
    using Action = std::function<void(NSTimer*)>;

    // A timer on the main run loop whose first firing is `seconds` from now.
    static NSTimer* scheduledTimerWithTimeInterval(double seconds, Action action, NSObject* userInfo,
                                                   bool repeats);
    // The same, sending target->selector(timer).
    template <typename T>
    static NSTimer* scheduledTimerWithTimeInterval(double seconds, T* target, void (T::*selector)(NSTimer*),
                                                   NSObject* userInfo, bool repeats) {
        return scheduledTimerWithTimeInterval(
            seconds, [target, selector](NSTimer* timer) { (target->*selector)(timer); }, userInfo, repeats);
    }

    void invalidate();
    bool isValid() const { return valid; }
    void fire();
    double timeInterval() const { return interval; }
    NSObject* userInfo() const { return info; }
    double fireDate() const { return due; }

private:
    friend class NSRunLoop;
    NSTimer(double seconds, Action firing, NSObject* userInfo, bool repeating, double firstDue);
    ~NSTimer() override = default;

    double interval;
    Action action;
    NSObject* info;
    bool repeats;
    bool valid = true;
    double due;
};

class TARNWELL_COCOA_API NSRunLoop {
public:
    // What the loop reads the time from and how it waits; tests supply one that steps time.
    class Clock {
    public:
        virtual ~Clock() = default;
        virtual double now() = 0;  // seconds
        // Returns by `until`, or earlier when a signal arrives.
        virtual void waitUntil(double until) = 0;
    };

    static NSRunLoop& mainRunLoop();

    // Turns until `limit` (a time on the loop's clock) is reached or stop() is called.
    void runUntilDate(double limit);
    // Turns until done() is true (checked after every turn) or stop() is called.
    void runUntil(const std::function<bool()>& done);
    // One turn, waiting at most until limit.
    void runOnce(double limit);
    // The current run returns after this turn (callable from a signal handler).
    void stop() { stopRequested = 1; }
    // Whether the current run is stopping (stop was called since it began).
    bool isStopping() const { return stopRequested != 0; }

    double now() const { return clock->now(); }
    // Null restores the steady clock.
    void setClock(Clock* replacement);
    std::size_t timerCount() const { return timers.size(); }

private:
    friend class NSTimer;
    NSRunLoop();
    void add(NSTimer* timer);
    void remove(NSTimer* timer);
    void fireDueTimers();

    Clock* clock;
    std::vector<NSTimer*> timers;  // retained
    volatile int stopRequested = 0;
};
