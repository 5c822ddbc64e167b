#pragma once

#include <string>

#include "effect/ParameterNames.h"

// String-returning wrappers so the tests can compare names directly.
namespace test {

inline BlockNaming allBlocks(int type, int filterMode = 0, int shaperMode = 0) {
    BlockNaming naming;
    for (BlockModes& m : naming.block) m = {type, filterMode, shaperMode};
    return naming;
}

inline std::string name(int index, const BlockNaming& blocks = allBlocks(1)) {
    char text[128];
    parameterName(index, blocks, text);
    return text;
}

inline std::string slotName(int block, int slot, bool shortForm, const BlockNaming& blocks) {
    char text[NAME_BUFFER_SIZE];
    blockSlotName(block, slot, shortForm, blocks, text);
    return text;
}

inline std::string destination(int d, bool shortForm, const BlockNaming& blocks) {
    char text[NAME_BUFFER_SIZE];
    destinationName(d, shortForm, blocks, text);
    return text;
}

inline std::string blockPrefix(int b) {
    return "Block " + std::to_string(b + 1) + " ";
}

}  // namespace test
