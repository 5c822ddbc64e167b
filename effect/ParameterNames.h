#pragma once

#include "effect/ParameterLayout.h"

// Names of the parameter slots, of the 23 modulation slots of each Block and of the 90
// modulation destinations. Some of them follow a Block's current type and mode, so the caller
// passes those in; the functions read nothing else.

// Every name has at most this many characters; a buffer of NAME_BUFFER_SIZE bytes always holds
// one with its terminator, and the functions never write more than that.
inline constexpr int NAME_MAX_LENGTH = 30;
inline constexpr int NAME_BUFFER_SIZE = NAME_MAX_LENGTH + 1;

// What one Block's names depend on: its type (0 Off .. 6 Grain) and the option numbers of its
// filter mode (0..36) and shaper mode (0..5).
struct BlockModes {
    int type = 0;
    int filterMode = 0;
    int shaperMode = 0;
};

struct BlockNaming {
    BlockModes block[BLOCK_COUNT];
};

// Block slots: 0..5 the type's variable targets, 6..14 and 21..22 the same for every type,
// 15..17 and 18..20 the targets of the XY pad's X and Y axes.
inline constexpr int BLOCK_SLOT_XY_FIRST = 15;

// The name of a parameter index; empty for the unnamed slots and for indices outside 1..791.
// The six XY assignment slots of a Block are named after the long-form slot names 15..20.
void parameterName(int index, const BlockNaming& blocks, char* text);

// The name of Block slot (block, slot) for that Block's type and modes: "Block 1 " or, in the
// short form, "B1 " followed by the slot text. An unknown slot, Block or type gives "-".
void blockSlotName(int block, int slot, bool shortForm, const BlockNaming& blocks, char* text);

// The name of modulation destination 0..89: the Block destinations from blockSlotName, the
// others as MOD_DESTINATION_STR holds them (in both forms). Outside 0..89 it gives "-".
void destinationName(int destination, bool shortForm, const BlockNaming& blocks, char* text);

// A Block destination k (0..22, counted from the Block's first destination) lists Gater Off
// before Gater On and Mix before Volume, the slots the other way round; this maps k to its
// slot (and back, the exchange being its own inverse).
constexpr int blockSlotOfDestination(int k) {
    switch (k) {
        case 9:
            return 10;
        case 10:
            return 9;
        case 13:
            return 14;
        case 14:
            return 13;
        default:
            return k;
    }
}
