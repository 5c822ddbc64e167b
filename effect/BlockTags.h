#pragma once

// The parameters that make up each Block, in one fixed order: the Block's own sound settings,
// then its XY pad. It is the unit of the Block commands, the Block and XY preset files (which
// store values in this order, so a file loads into any Block) and the Block undo.

#include "effect/ParameterLayout.h"

#include <array>
#include <cstdint>

inline constexpr int BLOCK_TAG_COUNT = 167;

// Entry ranges of a row.
inline constexpr int BLOCK_GATER_FIRST = 28;  // Gater Swing, Smooth, Steps, Loop, Speed, 32 steps
inline constexpr int BLOCK_GATER_LAST = 64;
inline constexpr int BLOCK_XY_AMOUNT_FIRST = 79;  // the six XY amounts, then the XY part
inline constexpr int BLOCK_XY_FIRST = 85;         // XY settings, Smooth, 32 X and 32 Y points
inline constexpr int BLOCK_XY_COUNT = BLOCK_TAG_COUNT - BLOCK_XY_FIRST;

namespace blocktags {

using Row = std::array<int32_t, BLOCK_TAG_COUNT>;

// Block 1's row; the other Blocks' entries lie a fixed stride per group further on.
constexpr Row firstRow() {
    Row row{};
    int n = 0;
    auto add = [&](int from, int to) {
        for (int i = from; i <= to; ++i) row[n++] = i;
    };
    add(4, 4);      // Bypass
    add(126, 127);  // Type, Filter Mode
    add(5, 9);      // Filter
    add(128, 128);  // Comb Mode
    add(10, 12);    // Comb
    add(216, 216);  // Comb Random
    add(129, 129);  // Shaper Mode
    add(13, 21);    // Shaper
    add(130, 130);  // Shaper Low-Fi Filter
    add(22, 25);    // Room
    add(26, 27);    // Gater Swing, Smooth
    add(131, 133);  // Gater Steps, Loop Mode, Speed
    add(220, 251);  // Gater steps, left then right
    add(600, 608);  // Grain
    add(627, 627);  // Grain Link
    add(28, 37);    // Spread, Pan, Volume, Mix, the six XY amounts
    for (int i : {150, 153, 156, 159, 162, 168, 171, 174, 177, 180, 183, 186, 189, 192, 195, 198, 201})
        row[n++] = i;  // XY settings
    add(165, 165);     // XY Smooth
    add(330, 361);     // path X
    add(458, 489);     // path Y
    return row;
}

constexpr int32_t stride(int32_t first) {
    if (first >= 4 && first <= 37) return BLOCK_SECTION_SIZE;
    if (first >= 126 && first <= 133) return BLOCK_MODE_SIZE;
    if (first >= 220 && first <= 251) return GATER_SIDE_COUNT * GATER_STEPS_PER_SIDE;
    if (first >= 600 && first <= 608) return GRAIN_SECTION_SIZE;
    if (first >= 330 && first <= 489) return XY_PATH_POINTS;
    return 1;  // Comb Random, Grain Link, the XY settings
}

constexpr std::array<Row, BLOCK_COUNT> rows() {
    const Row first = firstRow();
    std::array<Row, BLOCK_COUNT> all{};
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int e = 0; e < BLOCK_TAG_COUNT; ++e) all[b][e] = first[e] + stride(first[e]) * b;
    return all;
}

}  // namespace blocktags

// BLOCK_TAGS[b] lists Block b + 1.
inline constexpr std::array<blocktags::Row, BLOCK_COUNT> BLOCK_TAGS = blocktags::rows();
