#include "effect/ParameterDefaults.h"

#include <algorithm>

namespace {

void setRange(float (&values)[1024], int first, int last, float value) {
    std::fill(values + first, values + last + 1, value);
}

}  // namespace

void fillDefaultParameterValues(float (&values)[1024]) {
    std::fill(values, values + 1024, 0.0f);

    values[3] = 0.51752919f;  // Path: "B1 > B2 > B3 > Delay"

    for (int block = 0; block < 3; ++block) {
        const int base = 4 + 34 * block;
        values[base + 2] = 1.0f;                       // Filter Freq
        values[base + 5] = 0.5f;                       // Filter Gain (0 dB)
        values[base + 6] = 0.3f;                       // Comb Freq
        values[base + 7] = 0.2f;                       // Comb Feed
        values[base + 10] = 0.6f;                      // Shaper Frequency
        values[base + 11] = 0.5f;                      // Shaper Amount
        values[base + 12] = 0.5f;                      // Shaper Symmetry
        values[base + 14] = 0.6f;                      // Shaper LowFI Frequency
        values[base + 21] = 1.0f;                      // Room Mod
        values[base + 25] = 0.5f;                      // Pan
        values[base + 26] = 0.8f;                      // Volume (0 dB)
        setRange(values, base + 28, base + 33, 0.5f);  // XY assignment amounts (none)

        const int modes = 126 + 8 * block;
        values[modes + 5] = 1.0f;  // Gater Steps: 16
        values[modes + 6] = 0.5f;  // Gater Loop Mode
        values[modes + 7] = 0.5f;  // Gater Speed: x1

        const int grain = 600 + 9 * block;
        values[grain + 0] = 0.8f;                      // Write Size
        values[grain + 1] = 0.2f;                      // Update Rate
        setRange(values, grain + 2, grain + 5, 0.5f);  // Shape, Read Size, Semi-tune, Fine-tune
    }

    values[109] = 1.0f;                // Delay Equal Feed
    setRange(values, 110, 113, 0.5f);  // Delay Left, Right, Feedback, Cross Feedback
    values[114] = 1.0f;                // Delay LP Filter (open)
    values[116] = 0.5f;                // Delay Mix
    values[118] = 0.5f;                // Follower Boost (0 dB)
    values[119] = 0.3f;                // Follower Smooth
    values[120] = 0.75f;               // Follower Threshold
    values[121] = 0.33f;               // Follower Hold
    setRange(values, 122, 125, 0.5f);  // modulation amounts (none)
    setRange(values, 156, 161, 0.5f);  // XY Speed and XY Speed Mod Amount
    setRange(values, 220, 315, 1.0f);  // every gater step on
}
