#include <gtest/gtest.h>

#include "dsp/DspRandom.h"

// The comb takes its four draws per call in one step, and skips them when no flip can happen:
// the values and the generator's next state must be those of single draws, or every shaper and
// comb after it would hear different noise.
TEST(DspRandom, BatchedDrawsAndSkipsMatchSingleDraws) {
    for (std::uint32_t seed : {1u, 0x9e3779b9u, 0xffffffffu}) {
        DspRandom::setSeed(seed);
        float single[4];
        for (float& u : single) u = DspRandom::drawUnit();
        const std::uint32_t after = DspRandom::seed();

        DspRandom::setSeed(seed);
        float batch[4];
        DspRandom::drawUnits(batch);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(batch[k], single[k]) << seed << " draw " << k;
        EXPECT_EQ(DspRandom::seed(), after) << seed;

        DspRandom::setSeed(seed);
        DspRandom::skip<4>();
        EXPECT_EQ(DspRandom::seed(), after) << seed;
    }
}
