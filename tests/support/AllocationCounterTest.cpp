// Placed beside the counter so every test program checks that its counter works.
#include <gtest/gtest.h>

#include <memory>
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
