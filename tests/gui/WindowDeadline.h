#pragma once

// A window test's own deadline. A test that waits on a real window (a modal dialog, a pop-up, a
// command's process) hangs when events stop reaching it; past its deadline the test program
// says which test gave up and what it was waiting for, and ends, instead of sitting out the
// runner's time-out.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace tarnwell::test {

class WindowDeadline {
public:
    WindowDeadline(int seconds, const char* waiting) : limit(seconds), stage(waiting) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        name = test ? std::string(test->test_suite_name()) + "." + test->name() : "a window test";
        watcher = std::thread([this] {
            std::unique_lock hold(lock);
            if (done.wait_for(hold, std::chrono::seconds(limit), [this] { return finished; })) return;
            std::fprintf(stderr, "%s: gave up after %d s waiting for %s\n", name.c_str(), limit,
                         stage.c_str());
            std::fflush(stderr);
            std::_Exit(1);
        });
    }
    ~WindowDeadline() {
        {
            std::lock_guard hold(lock);
            finished = true;
        }
        done.notify_one();
        watcher.join();
    }
    WindowDeadline(const WindowDeadline&) = delete;
    WindowDeadline& operator=(const WindowDeadline&) = delete;

    // What the test waits for from now on, as the message past the deadline names it.
    void waitingFor(const char* what) {
        std::lock_guard hold(lock);
        stage = what;
    }

private:
    const int limit;
    std::string name, stage;
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::thread watcher;
};

}  // namespace tarnwell::test
