// Placed beside the counter so every test program checks that its counter works.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/AllocationCounter.h"

TEST(AllocationCounter, CountsOnlyWhileAlive) {
    auto before = std::make_unique<int>(1);
    tarnwell::test::AllocationCounter counter;
    EXPECT_EQ(counter.count(), 0u);
    std::vector<int> v(100);
    auto p = std::make_unique<double[]>(8);
    EXPECT_EQ(counter.count(), 2u);
    v[0] = *before;
    p[0] = v[0];
    EXPECT_EQ(p[0], 1.0);
}

TEST(FileIoCounter, CountsThisThreadsReadsAndWrites) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    char byte = 'x';
    std::atomic<bool> go{false};
    std::thread other([&] {  // started before counting: starting a thread may read files itself
        while (!go) std::this_thread::yield();
        EXPECT_EQ(write(ends[1], &byte, 1), 1);
    });
    tarnwell::test::FileIoCounter counter;
    EXPECT_EQ(counter.count(), 0);
    ASSERT_EQ(write(ends[1], &byte, 1), 1);
    ASSERT_EQ(read(ends[0], &byte, 1), 1);
    go = true;
    other.join();  // another thread's write is not this thread's
    EXPECT_EQ(counter.count(), 2);
    close(ends[0]);
    close(ends[1]);
}
